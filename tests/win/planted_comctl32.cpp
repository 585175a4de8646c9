// A stand-in comctl32.dll of the kind a web page may leave in Downloads.
// Once loaded it leaves a file named comctl32-was-loaded beside itself; its
// status bar function makes no status bar.
#include <windows.h>

#include <string.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 32];
        GetModuleFileNameA(instance, path, MAX_PATH);
        strcpy(strrchr(path, '\\') + 1, "comctl32-was-loaded");
        CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    }
    return TRUE;
}

// Exported under the names programs import them by (the link drops
// stdcall's @n).
extern "C" __declspec(dllexport) void WINAPI InitCommonControls(void) {}

extern "C" __declspec(dllexport) HWND WINAPI CreateStatusWindowA(LONG, LPCSTR, HWND, UINT)
{
    return NULL;
}
