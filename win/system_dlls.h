// Windows' own DLLs, and only Windows' own.  The program is often run from
// a folder that others can write to, such as Downloads, and Windows looks
// for a DLL that is not one of its KnownDLLs in the program's folder first.
// So the program file imports only KnownDLLs (KERNEL32, USER32, GDI32,
// msvcrt), takes COMCTL32 from the system folder by its full path, and
// keeps every later load by name out of the program's and the working
// folder.
#ifndef WIN_SYSTEM_DLLS_H
#define WIN_SYSTEM_DLLS_H

#include <windows.h>

// Lets DLLs that are loaded by name from now on come from the system folder
// only.  WinMain calls it before anything else.
void LoadDllsFromSystemFolderOnly(void);

// COMCTL32's functions that make the status bar.
struct CommonControls {
    void(WINAPI *InitCommonControls)(void);
    HWND(WINAPI *CreateStatusWindowA)(LONG style, LPCSTR text, HWND parent, UINT id);
};

// Loads the system folder's COMCTL32.  FALSE when it cannot be loaded or
// lacks one of the functions: then none of them may be called.
BOOL LoadCommonControls(CommonControls *functions);

#endif
