// A stand-in for a system DLL, of the kind a web page may leave in
// Downloads; built as comctl32.dll and as uxtheme.dll.  Once loaded it
// leaves a file named after itself beside itself (comctl32-was-loaded);
// its status bar function makes no status bar.
#include <windows.h>

#include <string.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 32];
        GetModuleFileNameA(instance, path, MAX_PATH);
        strcpy(strrchr(path, '.'), "-was-loaded");
        CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    }
    return TRUE;
}

// Exported under the names programs import them by (planted_dll.def).
extern "C" void WINAPI InitCommonControls(void) {}

extern "C" HWND WINAPI CreateStatusWindowA(LONG, LPCSTR, HWND, UINT)
{
    return NULL;
}

extern "C" BOOL WINAPI IsThemeActive(void)
{
    return FALSE;
}
