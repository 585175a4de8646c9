#include "dice_window.h"
#include "system_dlls.h"

// Keeps later DLL loads to the system folder, registers the class, creates
// the window and runs the loop; nothing else.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    LoadDllsFromSystemFolderOnly();
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
