#include "system_dlls.h"

#include <string.h>

// GetProcAddress's result as the function type it really is.
template <typename Function>
static bool Find(HMODULE module, const char *name, Function *function)
{
    *function = reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, name)));
    return *function != NULL;
}

void LoadDllsFromSystemFolderOnly(void)
{
    // Looked up rather than imported: SetDefaultDllDirectories arrived with
    // Windows 8 (and an update to 7), SetDllDirectoryA with XP SP1, and the
    // program must start on older Windows too.
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    BOOL(WINAPI * setDefaultDllDirectories)(DWORD);
    BOOL(WINAPI * setDllDirectory)(LPCSTR);
    if (Find(kernel32, "SetDefaultDllDirectories", &setDefaultDllDirectories))
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    else if (Find(kernel32, "SetDllDirectoryA", &setDllDirectory))
        setDllDirectory("");  // at least the working folder leaves the search
}

BOOL LoadCommonControls(CommonControls *functions)
{
    char path[MAX_PATH];
    const char name[] = "\\comctl32.dll";
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + sizeof name > MAX_PATH)
        return FALSE;
    memcpy(path + length, name, sizeof name);

    HMODULE comctl32 = LoadLibraryA(path);
    if (!comctl32)
        return FALSE;
    return Find(comctl32, "InitCommonControls", &functions->InitCommonControls) &&
           Find(comctl32, "CreateStatusWindowA", &functions->CreateStatusWindowA);
}
