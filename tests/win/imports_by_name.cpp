// The control for the planted-DLL test: a program without the dice's
// precautions, which imports UXTHEME and COMCTL32 by name as most programs
// do.  Started from the folder the test plants its stand-ins in, it writes
// which file of each DLL it got into imports_by_name.txt beside itself, one
// line each: the DLL's name, a tab, the file's full path.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include <string.h>

#include <initializer_list>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Called, so that the linker keeps both imports.
    IsThemeActive();
    InitCommonControls();

    char report[MAX_PATH + 32];
    GetModuleFileNameA(NULL, report, MAX_PATH);
    strcpy(strrchr(report, '.'), ".txt");
    HANDLE file = CreateFileA(report, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    for (const char *dll : {"uxtheme.dll", "comctl32.dll"}) {
        char line[MAX_PATH + 32], path[MAX_PATH] = "";
        GetModuleFileNameA(GetModuleHandleA(dll), path, MAX_PATH);
        DWORD written;
        WriteFile(file, line, wsprintfA(line, "%s\t%s\r\n", dll, path), &written, NULL);
    }
    CloseHandle(file);
    return 0;
}
