#include "dice_window.h"

#include <commctrl.h>

#include "dice.h"
#include "system_dlls.h"
#include "texts.h"

HWND hStatus;
HMENU hMenuBar;
HMENU hFileMenu;
HMENU hHelpMenu;

ATOM RegisterDiceClass(HINSTANCE hInstance)
{
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    // There is no menu resource of this name: the window starts without a
    // menu and OnCreate builds the menu bar.
    wc.lpszMenuName = szClassName;
    wc.lpszClassName = szClassName;
    return RegisterClassA(&wc);
}

HWND CreateDiceWindow(HINSTANCE hInstance)
{
    return CreateWindowExA(0, szClassName, szTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           CW_USEDEFAULT, CW_USEDEFAULT, DICE_WINDOW_WIDTH, DICE_WINDOW_HEIGHT,
                           NULL, NULL, hInstance, NULL);
}

// The menu bar, in the order it is built: each entry goes into its menu at
// its position, as a drop-down (submenu set) or as a command (id set).
struct MenuEntry {
    HMENU *menu;
    UINT position;
    HMENU *submenu;
    UINT id;
    const char *text;
};
static const MenuEntry menuEntries[] = {
    {&hMenuBar, 0, &hFileMenu, 0, szFileMenu},
    {&hMenuBar, 1, &hHelpMenu, 0, szHelpMenu},
    {&hFileMenu, 0, NULL, IDM_EXIT, szExitItem},
    {&hHelpMenu, 0, NULL, IDM_USAGE, szUsageItem},
    {&hHelpMenu, 1, NULL, IDM_ABOUT, szAboutItem},
};

// FALSE when the system's common controls are missing: the window is then
// not created, rather than calling into nothing.
static BOOL OnCreate(HWND hwnd)
{
    CommonControls comctl;
    if (!LoadCommonControls(&comctl))
        return FALSE;
    comctl.InitCommonControls();
    hStatus = comctl.CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM,
                                         szStatusText, hwnd, IDC_STATUSBAR);

    hMenuBar = CreateMenu();
    hFileMenu = CreatePopupMenu();
    hHelpMenu = CreatePopupMenu();

    // One record serves every entry; fMask says which of its fields count.
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fType = MFT_STRING;
    for (const MenuEntry &entry : menuEntries) {
        item.fMask = MIIM_TYPE | (entry.submenu ? MIIM_SUBMENU : MIIM_ID);
        item.hSubMenu = entry.submenu ? *entry.submenu : NULL;
        item.wID = entry.id;
        item.dwTypeData = (LPSTR)entry.text;
        InsertMenuItemA(*entry.menu, entry.position, TRUE, &item);
    }

    SetMenu(hwnd, hMenuBar);
    return TRUE;
}

static void OnPaint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    int length = FormatDigits();
    TextOutA(hdc, 10, 10, szLine, length);
    EndPaint(hwnd, &ps);
}

static void OnKeyDown(HWND hwnd)
{
    RollDigits();
    InvalidateRect(hwnd, NULL, TRUE);
}

static void OnClose(HWND hwnd)
{
    if (MessageBoxA(hwnd, szQuitQuestion, szQuitCaption, MB_YESNO | MB_ICONQUESTION) == IDYES)
        DestroyWindow(hwnd);
}

// Returns FALSE for identifiers that are not the window's own commands.
static BOOL OnCommand(HWND hwnd, UINT id)
{
    switch (id) {
    case IDM_EXIT:
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        return TRUE;
    case IDM_USAGE:
        MessageBoxA(hwnd, szUsageText, szUsageCaption, MB_OK);
        return TRUE;
    case IDM_ABOUT:
        MessageBoxA(hwnd, szAboutText, szAboutCaption, MB_OK);
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    // -1 makes CreateWindowExA destroy the window and return NULL.
    case WM_CREATE:  return OnCreate(hwnd) ? 0 : -1;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    // The status bar places itself along the new bottom edge.
    case WM_SIZE:    SendMessageA(hStatus, WM_SIZE, wParam, lParam); return 0;
    case WM_PAINT:   OnPaint(hwnd); return 0;
    case WM_CLOSE:   OnClose(hwnd); return 0;
    // Only WM_KEYDOWN rolls: F10 and Alt combinations arrive as
    // WM_SYSKEYDOWN and go on to the menu bar.
    case WM_KEYDOWN: OnKeyDown(hwnd); return 0;
    case WM_COMMAND:
        if (OnCommand(hwnd, LOWORD(wParam)))
            return 0;
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
