#include "floor_window.h"

static LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN: InvalidateRect(hwnd, NULL, TRUE); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

ATOM RegisterFloorClass(HINSTANCE hInstance)
{
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = hInstance;
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = "FLOOR";
    return RegisterClassA(&wc);
}

HWND CreateFloorWindow(HINSTANCE hInstance)
{
    return CreateWindowExA(0, "FLOOR", "floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                           CW_USEDEFAULT, 230, 150, NULL, NULL, hInstance, NULL);
}
