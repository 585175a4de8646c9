#include "floor_window.h"

#if defined(FLOOR_LOADS_COMCTL32)
#include <commctrl.h>
#endif

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
#if defined(FLOOR_LOADS_COMCTL32)
    // Only loads the common controls, as the dice must for its status bar,
    // to show what that alone costs at start.
    InitCommonControls();
#endif
    if (!RegisterFloorClass(hInstance) || !CreateFloorWindow(hInstance))
        return -1;
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
