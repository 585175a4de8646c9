// What both kinds of window test share: the window's fixed numbers as this
// test program knows them, the expected texts, a message pump with a time
// limit, and a check of the painted digit line.
#ifndef TESTS_WIN_WINDOW_HELPERS_H
#define TESTS_WIN_WINDOW_HELPERS_H

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "dice.h"

// The menu commands' identifiers, which other programs may send.
const UINT kExitCommand = 40001;
const UINT kUsageCommand = 40002;
const UINT kAboutCommand = 40003;

// The expected Shift_JIS bytes, made from UTF-8 by the platform's own
// converters rather than copied from the program.
inline std::string Sjis(const char *utf8)
{
    wchar_t wide[256];
    char bytes[512];
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 256);
    WideCharToMultiByte(932, 0, wide, -1, bytes, sizeof bytes, NULL, NULL);
    return bytes;
}

inline std::string WindowText(HWND hwnd)
{
    char text[512] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// Pumps this thread's messages until done() holds or the time is up.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs = 5000)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {  // keep it for the test to see
                PostQuitMessage((int)msg.wParam);
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
    }
}

// Compares the client area at (10, 10) with the line drawn by TextOutA in
// the default font on white, plus a margin that must stay white.
inline bool LineIsPainted(HWND hwnd, const char *line)
{
    HDC windowDc = GetDC(hwnd);
    int length = lstrlenA(line);
    SIZE extent;
    GetTextExtentPoint32A(windowDc, line, length, &extent);
    int width = extent.cx + 30, height = extent.cy + 4;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels[2];
    for (int i = 0; i < 2; i++) {
        HDC memDc = CreateCompatibleDC(windowDc);
        HBITMAP bitmap = CreateCompatibleBitmap(windowDc, width, height);
        HGDIOBJ old = SelectObject(memDc, bitmap);
        if (i == 0) {
            BitBlt(memDc, 0, 0, width, height, windowDc, 10, 10, SRCCOPY);
        } else {
            RECT all = {0, 0, width, height};
            FillRect(memDc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
            TextOutA(memDc, 0, 0, line, length);
        }
        SelectObject(memDc, old);
        pixels[i].resize(width * height);
        GetDIBits(memDc, bitmap, 0, height, pixels[i].data(), &info, DIB_RGB_COLORS);
        DeleteObject(bitmap);
        DeleteDC(memDc);
    }
    ReleaseDC(hwnd, windowDc);
    return pixels[0] == pixels[1];
}

inline std::string ExpectedLine(int d0, int d1, int d2, int d3)
{
    char line[32];
    wsprintfA(line, "%2d,%2d,%2d,%2d", d0, d1, d2, d3);
    return line;
}

// The line a roll in the given second shows, worked out without disturbing
// the digits of a window in this process.
inline std::string LineOfSecond(int64_t second)
{
    int32_t shown[4];
    memcpy(shown, DiceDigits, sizeof shown);
    RollDigitsAt(second);
    std::string line = ExpectedLine(DiceDigits[0], DiceDigits[1], DiceDigits[2], DiceDigits[3]);
    memcpy(DiceDigits, shown, sizeof shown);
    return line;
}

inline bool RunsUnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != NULL;
}

#endif
