// The dice's main window: its class, its creation and its window procedure.
// WinMain (main.cpp) registers, creates and runs the loop; everything the
// window does happens in WndProc.
#ifndef WIN_DICE_WINDOW_H
#define WIN_DICE_WINDOW_H

#include <windows.h>

// Menu commands and the status bar's child identifier.
#define IDM_EXIT 40001
#define IDM_USAGE 40002
#define IDM_ABOUT 40003
#define IDC_STATUSBAR 1

// Outer size of the main window, frame and menu bar included.
#define DICE_WINDOW_WIDTH 230
#define DICE_WINDOW_HEIGHT 150

// Set once while the window is created; released by the platform with it.
extern HWND hStatus;
extern HMENU hMenuBar;
extern HMENU hFileMenu;
extern HMENU hHelpMenu;

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// RegisterClassA's result (0 on failure) and CreateWindowExA's (NULL on failure).
ATOM RegisterDiceClass(HINSTANCE hInstance);
HWND CreateDiceWindow(HINSTANCE hInstance);

#endif
