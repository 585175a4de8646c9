#include "dice_window.h"

// Registers the class, creates the window and runs the loop; nothing else.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    if (!RegisterDiceClass(hInstance))
        return -1;
    if (!CreateDiceWindow(hInstance))
        return -1;

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
