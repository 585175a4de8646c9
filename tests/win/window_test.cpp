// Drives the real dice window on the Win32 API and reads back what the
// platform reports: texts, menus, sizes, painted pixels, message boxes and
// exit codes.  Message boxes are answered from a WH_CBT hook.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "dice.h"
#include "dice_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

namespace {

// The expected Shift_JIS bytes, made from UTF-8 by the platform's own
// converters rather than copied from the program.
std::string Sjis(const char *utf8)
{
    wchar_t wide[256];
    char bytes[512];
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 256);
    WideCharToMultiByte(932, 0, wide, -1, bytes, sizeof bytes, NULL, NULL);
    return bytes;
}

std::string WindowText(HWND hwnd)
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

// Removes a pending WM_QUIT and returns its code, or -2 when there is none.
int TakeQuitCode()
{
    MSG msg;
    if (PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) return (int)msg.wParam;
    return -2;
}

// What a message box showed, as the CBT hook saw it on activation.
struct SeenBox {
    HWND owner;
    std::string caption, text;
    std::vector<int> buttons;  // the visible buttons' ids, in window order
    HICON icon;                // the visible icon, or NULL
};
std::vector<SeenBox> boxes;
int boxAnswer = IDNO;  // taken when the box has that button, else OK
HHOOK cbtHook;

// Reads a message box's visible buttons and icon into `seen`.
void ReadBoxControls(HWND box, SeenBox &seen)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        LONG style = GetWindowLongA(child, GWL_STYLE);
        char cls[32];
        GetClassNameA(child, cls, sizeof cls);
        if (!(style & WS_VISIBLE)) continue;
        if (!lstrcmpiA(cls, "Button"))
            seen.buttons.push_back(GetDlgCtrlID(child));
        else if (!lstrcmpiA(cls, "Static") && (style & SS_TYPEMASK) == SS_ICON)
            seen.icon = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
    }
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    char cls[32];
    if (code == HCBT_ACTIVATE && GetClassNameA((HWND)wParam, cls, sizeof cls) && !strcmp(cls, "#32770")) {
        HWND box = (HWND)wParam;
        char text[512] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message's static
        SeenBox seen = {GetWindow(box, GW_OWNER), WindowText(box), text, {}, NULL};
        ReadBoxControls(box, seen);
        boxes.push_back(seen);
        int answer = GetDlgItem(box, boxAnswer) ? boxAnswer : IDOK;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), (LPARAM)GetDlgItem(box, answer));
    }
    return CallNextHookEx(cbtHook, code, wParam, lParam);
}

// Compares the client area at (10, 10) with the line drawn by TextOutA in
// the default font on white, plus a margin that must stay white.
bool LineIsPainted(HWND hwnd, const char *line)
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

bool LineIsPaintedSoon(HWND hwnd, const char *line)
{
    return PumpUntil([&] { return LineIsPainted(hwnd, line); });
}

std::string ExpectedLine(int d0, int d1, int d2, int d3)
{
    char line[32];
    wsprintfA(line, "%2d,%2d,%2d,%2d", d0, d1, d2, d3);
    return line;
}

// The line a roll in the given second shows, worked out without disturbing
// the digits of a window in this process.
std::string LineOfSecond(int64_t second)
{
    int32_t shown[4];
    memcpy(shown, DiceDigits, sizeof shown);
    RollDigitsAt(second);
    std::string line = ExpectedLine(DiceDigits[0], DiceDigits[1], DiceDigits[2], DiceDigits[3]);
    memcpy(DiceDigits, shown, sizeof shown);
    return line;
}

class DiceWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterDiceClass(GetModuleHandleA(NULL));
        cbtHook = SetWindowsHookExA(WH_CBT, CbtProc, NULL, GetCurrentThreadId());
    }
    static void TearDownTestSuite() { UnhookWindowsHookEx(cbtHook); }

    void SetUp() override
    {
        boxes.clear();
        boxAnswer = IDNO;
        hwnd = CreateDiceWindow(GetModuleHandleA(NULL));
        ASSERT_NE(hwnd, (HWND)NULL);
        SetForegroundWindow(hwnd);
        PumpUntil([] { return false; }, 100);
    }
    void TearDown() override
    {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
        TakeQuitCode();
    }

    // Rolls with one key press and returns the line of that second,
    // retrying when the clock ticks over during the press.
    std::string PressKey()
    {
        for (;;) {
            int64_t before = ReadClock();
            SendMessageA(hwnd, WM_KEYDOWN, 'A', 1);
            if (ReadClock() != before) continue;
            return LineOfSecond(before);
        }
    }

    HWND hwnd = NULL;
};

TEST_F(DiceWindow, KeyDownRollsAndRepaintsTheLineSysKeyDoesNot)
{
    // Nothing has rolled in this process yet: the window shows four zeros.
    ASSERT_TRUE(LineIsPaintedSoon(hwnd, " 0, 0, 0, 0"));

    std::string line = PressKey();
    EXPECT_TRUE(LineIsPaintedSoon(hwnd, line.c_str())) << "expected " << line;
    // A second press in the same second paints the same digits.
    EXPECT_TRUE(LineIsPaintedSoon(hwnd, PressKey().c_str()));

    // Alt+X and F10 arrive as WM_SYSKEYDOWN: no roll, nothing to repaint.
    int32_t marker[4] = {9, 8, 7, 6};
    memcpy(DiceDigits, marker, sizeof marker);
    UpdateWindow(hwnd);
    SendMessageA(hwnd, WM_SYSKEYDOWN, 'X', 0x20000001);
    SendMessageA(hwnd, WM_SYSKEYDOWN, VK_F10, 1);
    EXPECT_EQ(memcmp(DiceDigits, marker, sizeof marker), 0);
    EXPECT_FALSE(GetUpdateRect(hwnd, NULL, FALSE));

    char status[256] = "";
    SendMessageA(hStatus, SB_GETTEXTA, 0, (LPARAM)status);
    EXPECT_EQ(std::string(status), Sjis("どれかキーを押すとスタート")) << "the status bar never changes";
}

TEST_F(DiceWindow, HasItsTitleSizeStyleStatusBarAndMenus)
{
    EXPECT_EQ(WindowText(hwnd), Sjis("VELDRANO用サイコロ"));
    char cls[32];
    GetClassNameA(hwnd, cls, sizeof cls);
    EXPECT_STREQ(cls, "VELDRANO");
    EXPECT_EQ(GetClassLongPtrA(hwnd, GCL_STYLE), (ULONG_PTR)(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND), (ULONG_PTR)GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HICON), (ULONG_PTR)LoadIconA(NULL, IDI_APPLICATION));
    EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HCURSOR), (ULONG_PTR)LoadCursorA(NULL, IDC_ARROW));
    WNDCLASSA wc = {};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(NULL), "VELDRANO", &wc));
    EXPECT_STREQ(wc.lpszMenuName, "VELDRANO");
    // The whole style: the platform adds WS_CLIPSIBLINGS to every top-level
    // window, and nothing else may be there.
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_EQ(style & ~WS_CLIPSIBLINGS, 0x10CF0000) << std::hex << style;
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    RECT frame;
    GetWindowRect(hwnd, &frame);
    EXPECT_EQ(frame.right - frame.left, 230);
    EXPECT_EQ(frame.bottom - frame.top, 150);

    EXPECT_EQ(GetParent(hStatus), hwnd);
    EXPECT_EQ(GetDlgCtrlID(hStatus), IDC_STATUSBAR);
    GetClassNameA(hStatus, cls, sizeof cls);
    EXPECT_STREQ(cls, STATUSCLASSNAMEA);
    style = GetWindowLongA(hStatus, GWL_STYLE);
    EXPECT_EQ(style & 0x50000103, 0x50000103) << std::hex << style;

    // Menu bar, in display order: text, then the drop-down's command ids.
    struct Item { const char *text; UINT id; };
    struct Drop { const char *text; HMENU menu; std::vector<Item> items; } drops[] = {
        {"FILE(&F)", hFileMenu, {{"終了(&X)", IDM_EXIT}}},
        {"HELP(&H)", hHelpMenu, {{"使い方(&U)", IDM_USAGE}, {"About(&A)", IDM_ABOUT}}},
    };
    HMENU bar = GetMenu(hwnd);
    ASSERT_EQ(bar, hMenuBar);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    auto check = [](HMENU menu, int position, const char *utf8, UINT id, HMENU sub) {
        char text[128] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(menu, position, TRUE, &info));
        EXPECT_EQ(std::string(text), Sjis(utf8));
        EXPECT_EQ(info.fType, (UINT)MFT_STRING) << utf8;
        EXPECT_EQ(info.fState, 0u) << utf8;
        EXPECT_EQ(info.hSubMenu, sub) << utf8;
        if (!sub) {
            EXPECT_EQ(info.wID, id) << utf8;
        }
    };
    for (int i = 0; i < 2; i++) {
        check(bar, i, drops[i].text, 0, drops[i].menu);
        ASSERT_EQ(GetMenuItemCount(drops[i].menu), (int)drops[i].items.size());
        for (size_t j = 0; j < drops[i].items.size(); j++)
            check(drops[i].menu, (int)j, drops[i].items[j].text, drops[i].items[j].id, NULL);
    }
}

TEST_F(DiceWindow, StatusBarAndLineFollowAResize)
{
    std::string line = ExpectedLine(DiceDigits[0], DiceDigits[1], DiceDigits[2], DiceDigits[3]);
    for (SIZE size : {SIZE{400, 300}, SIZE{260, 170}}) {
        SetWindowPos(hwnd, NULL, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        RECT client, bar;
        GetClientRect(hwnd, &client);
        GetWindowRect(hStatus, &bar);
        MapWindowPoints(NULL, hwnd, (POINT *)&bar, 2);
        EXPECT_EQ(bar.left, 0);
        EXPECT_EQ(bar.right, client.right) << "status bar spans the new width";
        EXPECT_EQ(bar.bottom, client.bottom) << "status bar sits on the new bottom edge";
        EXPECT_TRUE(LineIsPaintedSoon(hwnd, line.c_str()));
    }
}

TEST_F(DiceWindow, EveryWayOutAsksAndOnlyYesQuits)
{
    std::string line = PressKey();
    int32_t before[4];
    memcpy(before, DiceDigits, sizeof before);

    // Close button, system menu and Alt+F4 come as WM_CLOSE or SC_CLOSE.
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    SendMessageA(hwnd, WM_COMMAND, IDM_EXIT, 0);
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageA(hwnd, WM_SYSKEYDOWN, VK_F4, 0x20000001);
    PumpUntil([] { return boxes.size() >= 4; }, 3000);
    ASSERT_EQ(boxes.size(), 4u);
    for (const SeenBox &box : boxes) {
        EXPECT_EQ(box.owner, hwnd);
        EXPECT_EQ(box.caption, Sjis("確認"));
        EXPECT_EQ(box.text, Sjis("終了してもよろしいですか"));
        EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
        EXPECT_EQ(box.icon, LoadIconA(NULL, IDI_QUESTION)) << "the question icon";
    }
    EXPECT_TRUE(IsWindow(hwnd)) << "No keeps the window";
    EXPECT_EQ(memcmp(DiceDigits, before, sizeof before), 0) << "No keeps the digits";
    EXPECT_EQ(TakeQuitCode(), -2);
    EXPECT_TRUE(LineIsPaintedSoon(hwnd, line.c_str()));

    boxAnswer = IDYES;
    SendMessageA(hwnd, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_FALSE(IsWindow(hwnd)) << "Yes destroys the window";
    EXPECT_EQ(TakeQuitCode(), 0);
}

TEST_F(DiceWindow, UsageAndAboutShowTheirTexts)
{
    SendMessageA(hwnd, WM_COMMAND, IDM_USAGE, 0);
    SendMessageA(hwnd, WM_COMMAND, IDM_ABOUT, 0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, Sjis("使い方"));
    EXPECT_EQ(boxes[0].text, Sjis("どれかキーを押すとスタート!!"));
    EXPECT_EQ(boxes[1].caption, "About");
    EXPECT_EQ(boxes[1].text, Sjis("Copyright (C) 2026 VELDRANO Dice Project\n"
                                  "VELDRANO用サイコロソフト\n"
                                  "https://veldrano.example/"));
    for (const SeenBox &box : boxes) {
        EXPECT_EQ(box.owner, hwnd);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(box.icon, (HICON)NULL) << "no icon";
    }
    EXPECT_TRUE(IsWindow(hwnd));

    SendMessageA(hwnd, WM_COMMAND, 12345, 0);
    EXPECT_EQ(boxes.size(), 2u) << "an identifier not the window's own shows nothing";
}

// Random keyboard, mouse and menu input from a fixed seed, so that a
// failure replays: no crash, no hang, the line always well formed, and every
// message box one that the input asked for, answered and gone.
TEST_F(DiceWindow, SurvivesRandomInputFromAFixedSeed)
{
    const unsigned seed = 20261208;
    std::mt19937 random(seed);
    const UINT commands[] = {IDM_EXIT, IDM_USAGE, IDM_ABOUT, 0, 1, 40000, 40004, 65535};
    const UINT mouse[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
                          WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEWHEEL};
    size_t expectedBoxes = 0;
    for (int event = 0; event < 1000; event++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", event " << event);
        int kind = random() % 4;
        WPARAM key = 0x08 + random() % 0x80;
        LPARAM point = MAKELPARAM(random() % 260, random() % 180);
        if (kind == 0) {
            SendMessageA(hwnd, WM_KEYDOWN, key, 1);
        } else if (kind == 1) {
            // Alt with a key other than F4, which would ask to quit.
            SendMessageA(hwnd, WM_SYSKEYDOWN, key == VK_F4 ? VK_F5 : key, 0x20000001);
        } else if (kind == 2) {
            // Digits no roll gives, so that a roll in the same second shows.
            int32_t shown[4], marker[4] = {-7, -7, -7, -7};
            memcpy(shown, DiceDigits, sizeof shown);
            memcpy(DiceDigits, marker, sizeof marker);
            SendMessageA(hwnd, mouse[random() % 7], random() % 2 ? MK_LBUTTON : 0, point);
            ASSERT_EQ(memcmp(DiceDigits, marker, sizeof marker), 0) << "the mouse rolled";
            memcpy(DiceDigits, shown, sizeof shown);
        } else {
            UINT id = commands[random() % 8];
            if (id == IDM_EXIT || id == IDM_USAGE || id == IDM_ABOUT) expectedBoxes++;
            SendMessageA(hwnd, WM_COMMAND, id, 0);
        }
        ASSERT_TRUE(IsWindow(hwnd));
        ASSERT_EQ(boxes.size(), expectedBoxes);
        int length = FormatDigits();
        ASSERT_EQ(length, 11);
        for (int i = 0; i < 4; i++) {
            ASSERT_TRUE(szLine[i * 3] == ' ' && szLine[i * 3 + 1] >= '0' && szLine[i * 3 + 1] <= '9');
            ASSERT_TRUE(i == 3 || szLine[i * 3 + 2] == ',');
        }
    }
    PumpUntil([] { return false; }, 200);  // let anything pending arrive
    HWND box = FindWindowA("#32770", NULL);
    EXPECT_FALSE(box && GetWindowThreadProcessId(box, NULL) == GetCurrentThreadId())
        << "a message box was left open";
    EXPECT_TRUE(LineIsPaintedSoon(hwnd, szLine));
}

// WinMain itself, in this process: a class that is already registered, or
// a window that cannot be created, makes it return -1 without a word; a
// whole run returns the quit code 0.
class Start : public DiceWindow {
protected:
    void SetUp() override { boxes.clear(); }
    void TearDown() override {}
};

bool IsMainWindowCreation(int code, WPARAM wParam)
{
    char cls[32];
    return code == HCBT_CREATEWND && GetClassNameA((HWND)wParam, cls, sizeof cls) && !strcmp(cls, "VELDRANO");
}

HWND createdMain;
LRESULT CALLBACK CloseOnCreate(int code, WPARAM wParam, LPARAM lParam)
{
    if (IsMainWindowCreation(code, wParam)) {
        createdMain = (HWND)wParam;
        PostMessageA(createdMain, WM_CLOSE, 0, 0);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

LRESULT CALLBACK RefuseCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (IsMainWindowCreation(code, wParam)) return 1;  // CreateWindowExA returns NULL
    return CallNextHookEx(NULL, code, wParam, lParam);
}

TEST_F(Start, FailsWithMinusOneWhenTheClassExistsAndRunsToZero)
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    // A WinMain that ran its loop after all would end at once with this
    // code instead of hanging; one that returns leaves it queued.
    PostQuitMessage(77);
    EXPECT_EQ(WinMain(instance, NULL, (LPSTR) "", SW_SHOWNORMAL), -1) << "the class exists";
    ASSERT_TRUE(UnregisterClassA("VELDRANO", instance));
    HHOOK refuser = SetWindowsHookExA(WH_CBT, RefuseCreation, NULL, GetCurrentThreadId());
    EXPECT_EQ(WinMain(instance, NULL, (LPSTR) "", SW_SHOWNORMAL), -1) << "no window";
    UnhookWindowsHookEx(refuser);
    EXPECT_EQ(TakeQuitCode(), 77) << "a failed start ran the message loop";
    EXPECT_TRUE(boxes.empty()) << "a failed start shows nothing";

    ASSERT_TRUE(UnregisterClassA("VELDRANO", instance));
    HHOOK closer = SetWindowsHookExA(WH_CBT, CloseOnCreate, NULL, GetCurrentThreadId());
    boxAnswer = IDYES;
    EXPECT_EQ(WinMain(instance, NULL, (LPSTR) "--ignored argument", SW_HIDE), 0);
    UnhookWindowsHookEx(closer);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, createdMain);
    EXPECT_FALSE(IsWindow(createdMain));
}

// The program file users run: start it, find its window, quit through the
// question and read its exit code.
struct ProcessWindow { DWORD pid; const char *cls; HWND found; };
BOOL CALLBACK FindProcessWindow(HWND hwnd, LPARAM param)
{
    ProcessWindow *want = (ProcessWindow *)param;
    DWORD pid = 0;
    char cls[32];
    GetWindowThreadProcessId(hwnd, &pid);
    bool ofProcess = want->pid ? pid == want->pid : pid != GetCurrentProcessId();
    if (ofProcess && GetClassNameA(hwnd, cls, sizeof cls) && !strcmp(cls, want->cls) &&
        IsWindowVisible(hwnd)) {
        want->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible window of the class in the process, or with pid 0 in any
// process but this one.
HWND WaitForProcessWindow(DWORD pid, const char *cls)
{
    ProcessWindow want = {pid, cls, NULL};
    PumpUntil([&] {
        EnumWindows(FindProcessWindow, (LPARAM)&want);
        return want.found != NULL;
    }, 15000);
    return want.found;
}

// The program file that sits beside this test program.
std::string ProgramFilePath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    strcpy(strrchr(path, '\\') + 1, "veldrano-dice.exe");
    return path;
}

// Starts it; the thread handle is closed at once.
PROCESS_INFORMATION StartProgramFile(const char *arguments)
{
    std::string path = ProgramFilePath();
    std::string commandLine = "\"" + path + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(CreateProcessA(path.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                               &process))
        << path;
    CloseHandle(process.hThread);
    return process;
}

// Answers the program's next message box with the given button; returns
// the box's caption, or "" when none came.
std::string AnswerBox(DWORD pid, int button)
{
    HWND box = WaitForProcessWindow(pid, "#32770");
    if (!box) return "";
    std::string caption = WindowText(box);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
    PumpUntil([&] { return !IsWindow(box); }, 5000);
    return caption;
}

// Waits for the process to end and closes its handle.
DWORD WaitForExit(HANDLE process)
{
    EXPECT_EQ(WaitForSingleObject(process, 15000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    GetExitCodeProcess(process, &exitCode);
    if (exitCode == STILL_ACTIVE) TerminateProcess(process, 1);
    CloseHandle(process);
    return exitCode;
}

TEST(ProgramFile, StartsShowsItsWindowAndQuitsWithZero)
{
    PROCESS_INFORMATION process = StartProgramFile("--any /arguments");
    HWND main = WaitForProcessWindow(process.dwProcessId, "VELDRANO");
    ASSERT_NE(main, (HWND)NULL) << "no window from the program file";
    EXPECT_EQ(WindowText(main), Sjis("VELDRANO用サイコロ"));

    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(AnswerBox(process.dwProcessId, IDYES), Sjis("確認")) << "closing asks first";
    EXPECT_EQ(WaitForExit(process.hProcess), 0u);
}

std::wstring Wide(const char *utf8)
{
    wchar_t wide[256];
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 256);
    return wide;
}

// The status bar's text as UTF-16.  SB_GETTEXTW carries a pointer that is
// not translated between processes, so the buffer lives in the program's.
std::wstring StatusTextW(HANDLE process, HWND status)
{
    wchar_t text[256] = L"";
    void *remote = VirtualAllocEx(process, NULL, sizeof text, MEM_COMMIT, PAGE_READWRITE);
    if (!remote) return L"(no buffer in the program's process)";
    SendMessageW(status, SB_GETTEXTW, 0, (LPARAM)remote);
    ReadProcessMemory(process, remote, text, sizeof text - sizeof(wchar_t), NULL);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return text;
}

// On a system whose code page is not 932 the program's manifest asks for
// the ja-JP one, so its Shift_JIS texts still read right as UTF-16.
// DICE_ENGLISH_LAUNCHER is a command that starts a program file in a
// process of code page 1252; under Wine it is a Unix command, which gives
// back no process handle, so the window tells the process.
TEST(ProgramFile, ReadsRightUnderAnEnglishLocale)
{
    char launcher[1024];
    if (!GetEnvironmentVariableA("DICE_ENGLISH_LAUNCHER", launcher, sizeof launcher))
        GTEST_SKIP() << "DICE_ENGLISH_LAUNCHER is not set: nothing starts a program under an English locale";
    std::string command = std::string(launcher) + " \"" + ProgramFilePath() + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started))
        << command;
    if (started.hProcess) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    HWND main = WaitForProcessWindow(0, "VELDRANO");
    ASSERT_NE(main, (HWND)NULL) << "no window from " << command;
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                     PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(process, (HANDLE)NULL);

    wchar_t text[256] = L"";
    GetWindowTextW(main, text, 256);
    EXPECT_EQ(std::wstring(text), Wide("VELDRANO用サイコロ"));
    EXPECT_EQ(StatusTextW(process, FindWindowExA(main, NULL, STATUSCLASSNAMEA, NULL)),
              Wide("どれかキーを押すとスタート"));

    PostMessageA(main, WM_CLOSE, 0, 0);
    HWND box = WaitForProcessWindow(pid, "#32770");
    ASSERT_NE(box, (HWND)NULL) << "closing asks first";
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    EXPECT_EQ(std::wstring(text), Wide("終了してもよろしいですか"));
    GetWindowTextW(box, text, 256);
    EXPECT_EQ(std::wstring(text), Wide("確認"));
    AnswerBox(pid, IDYES);
    EXPECT_EQ(WaitForExit(process), 0u);
}

// What another process holds.  Wine reports neither GDI nor USER object
// counts (0) nor PrivateUsage for another process; its PagefileUsage is the
// process's resident private memory, and on Windows the same commit charge
// as PrivateUsage.
struct Usage { DWORD user, gdi; SIZE_T privateBytes; };
Usage UsageOf(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS *)&memory, sizeof memory);
    return {GetGuiResources(process, GR_USEROBJECTS), GetGuiResources(process, GR_GDIOBJECTS),
            memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage};
}

bool RunsUnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != NULL;
}

// Whether the window shows the line that a roll in one of the seconds
// first..last gives, drawn as TextOutA draws it.
bool ShowsLineOfASecond(HWND hwnd, int64_t first, int64_t last)
{
    std::vector<std::string> lines;
    for (int64_t second = first; second <= last; second++)
        lines.push_back(LineOfSecond(second));
    return PumpUntil([&] {
        for (const std::string &line : lines)
            if (LineIsPainted(hwnd, line.c_str())) return true;
        return false;
    });
}

// The program file under a storm of input: it must answer throughout, hold
// its USER and GDI objects and memory level, and still quit with 0.
TEST(ProgramFile, WeathersAStormWithoutGrowingOrHanging)
{
    PROCESS_INFORMATION process = StartProgramFile("");
    DWORD pid = process.dwProcessId;
    HWND main = WaitForProcessWindow(pid, "VELDRANO");
    ASSERT_NE(main, (HWND)NULL);
    auto responsive = [&] {
        DWORD_PTR result;
        return SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
    };

    // Warm up every path once, then take the level to hold.
    SendMessageA(main, WM_KEYDOWN, 'A', 1);
    SetWindowPos(main, NULL, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(AnswerBox(pid, IDNO), Sjis("確認"));
    PostMessageA(main, WM_COMMAND, IDM_USAGE, 0);
    ASSERT_EQ(AnswerBox(pid, IDOK), Sjis("使い方"));
    PostMessageA(main, WM_COMMAND, IDM_ABOUT, 0);
    ASSERT_EQ(AnswerBox(pid, IDOK), "About");
    ASSERT_TRUE(responsive());
    Usage level = UsageOf(process.hProcess);

    // Trust a counter only once it is seen to count: the memory counter
    // must follow 4 MiB written into the program's process.
    const SIZE_T probe = 4 << 20;
    std::vector<char> ones(probe, 1);
    void *block = VirtualAllocEx(process.hProcess, NULL, probe, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_TRUE(block && WriteProcessMemory(process.hProcess, block, ones.data(), probe, NULL));
    SIZE_T probed = UsageOf(process.hProcess).privateBytes;
    VirtualFreeEx(process.hProcess, block, 0, MEM_RELEASE);
    ASSERT_GE(probed, level.privateBytes + probe / 2) << "the memory counter does not count";
    // Windows counts a window's objects; Wine reports 0 for both.
    bool objectsCounted = level.user && level.gdi;
    if (!objectsCounted) {
        ASSERT_TRUE(RunsUnderWine()) << "no GDI or USER object count for a process with a window";
        printf("[   NOTE   ] this platform reports no GDI or USER object counts: not checked\n");
    }

    // Keys are posted in batches below the platform's queue limit; the quit
    // question after each batch comes only once the whole batch is handled,
    // and the line then shows the digits of a second within the batch.
    int questions = 0;
    for (int batch = 0; batch < 20; batch++) {
        int64_t first = ReadClock();
        for (int i = 0; i < 5000; i++)
            ASSERT_TRUE(PostMessageA(main, WM_KEYDOWN, '0' + i % 10, 1));
        ASSERT_TRUE(responsive()) << "during batch " << batch;
        PostMessageA(main, WM_CLOSE, 0, 0);
        ASSERT_EQ(AnswerBox(pid, IDNO), Sjis("確認")) << "after batch " << batch;
        questions++;
        EXPECT_TRUE(ShowsLineOfASecond(main, first, ReadClock())) << "after batch " << batch;
    }
    for (int i = 0; i < 1000; i++)
        SetWindowPos(main, NULL, 0, 0, 230 + i % 200, 150 + i % 100, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(responsive()) << "after the resizes";

    for (; questions < 100; questions++) {
        PostMessageA(main, WM_CLOSE, 0, 0);
        ASSERT_EQ(AnswerBox(pid, IDNO), Sjis("確認")) << "question " << questions;
    }
    for (int i = 0; i < 100; i++) {
        PostMessageA(main, WM_COMMAND, i % 2 ? IDM_ABOUT : IDM_USAGE, 0);
        ASSERT_EQ(AnswerBox(pid, IDOK), i % 2 ? "About" : Sjis("使い方")) << "box " << i;
    }
    ASSERT_TRUE(responsive());
    ASSERT_TRUE(IsWindow(main));

    Usage after = UsageOf(process.hProcess);
    if (objectsCounted) {
        EXPECT_LE(after.user, level.user) << "USER objects grew";
        EXPECT_LE(after.gdi, level.gdi) << "GDI objects grew";
    }
    // A little slack for heap pages the platform keeps after its own work.
    printf("[   NOTE   ] private memory %u KiB, after the storm %u KiB\n", (unsigned)(level.privateBytes / 1024),
           (unsigned)(after.privateBytes / 1024));
    EXPECT_LE(after.privateBytes, level.privateBytes + 512 * 1024) << "private bytes grew";

    PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(AnswerBox(pid, IDYES), Sjis("確認"));
    EXPECT_EQ(WaitForExit(process.hProcess), 0u);
}

}  // namespace
