// The control for the planted-DLL test: a program without the dice's
// precautions, which imports COMCTL32 by name as most programs do.  Started
// from the folder the test plants its comctl32.dll in, it must load that
// one; if it does not, planting has no effect on the host and the test
// would show nothing.
#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InitCommonControls();
    return 0;
}
