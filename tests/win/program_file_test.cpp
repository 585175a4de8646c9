// Starts the program file that users run, as another process: finds its
// window, drives it with posted messages, answers its message boxes and
// reads its exit code.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "window_helpers.h"

namespace {

struct ProcessWindow { DWORD pid; const char *cls; HWND found; };
BOOL CALLBACK FindProcessWindow(HWND hwnd, LPARAM param)
{
    ProcessWindow *want = (ProcessWindow *)param;
    DWORD pid = 0;
    char cls[32];
    GetWindowThreadProcessId(hwnd, &pid);
    bool ofProcess = want->pid ? pid == want->pid : pid != GetCurrentProcessId();
    if (ofProcess && GetClassNameA(hwnd, cls, sizeof cls) && !strcmp(cls, want->cls) &&
        IsWindowVisible(hwnd)) {
        want->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible window of the class in the process, or with pid 0 in any
// process but this one.
HWND WaitForProcessWindow(DWORD pid, const char *cls)
{
    ProcessWindow want = {pid, cls, NULL};
    PumpUntil([&] {
        EnumWindows(FindProcessWindow, (LPARAM)&want);
        return want.found != NULL;
    }, 15000);
    return want.found;
}

// A file in this test program's folder.
std::string BesideTest(const char *name)
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    strcpy(strrchr(path, '\\') + 1, name);
    return path;
}

std::string ProgramFilePath()
{
    return BesideTest("veldrano-dice.exe");
}

// Starts a program file, by default the one beside this test program; the
// thread handle is closed at once.
PROCESS_INFORMATION StartProgramFile(const char *arguments, const std::string &path = ProgramFilePath())
{
    std::string commandLine = "\"" + path + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(CreateProcessA(path.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                               &process))
        << path;
    CloseHandle(process.hThread);
    return process;
}

// Answers the program's next message box with the given button; returns
// the box's caption, or "" when none came.
std::string AnswerBox(DWORD pid, int button)
{
    HWND box = WaitForProcessWindow(pid, "#32770");
    if (!box) return "";
    std::string caption = WindowText(box);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
    PumpUntil([&] { return !IsWindow(box); }, 5000);
    return caption;
}

// Waits for the process to end and closes its handle.
DWORD WaitForExit(HANDLE process)
{
    EXPECT_EQ(WaitForSingleObject(process, 15000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    GetExitCodeProcess(process, &exitCode);
    if (exitCode == STILL_ACTIVE) TerminateProcess(process, 1);
    CloseHandle(process);
    return exitCode;
}

TEST(ProgramFile, StartsShowsItsWindowAndQuitsWithZero)
{
    PROCESS_INFORMATION process = StartProgramFile("--any /arguments");
    HWND main = WaitForProcessWindow(process.dwProcessId, "VELDRANO");
    ASSERT_NE(main, (HWND)NULL) << "no window from the program file";
    EXPECT_EQ(WindowText(main), Sjis("VELDRANO用サイコロ"));
    // A 64-bit Windows, every Windows 11, runs the 32-bit program under
    // WoW64; a 32-bit Windows, and any Windows a 64-bit build, without.
    SYSTEM_INFO host;
    GetNativeSystemInfo(&host);
    bool host64 = host.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                  host.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64 ||
                  host.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
    BOOL wow64 = FALSE;
    IsWow64Process(process.hProcess, &wow64);
    EXPECT_EQ(wow64 != FALSE, host64 && sizeof(void *) == 4)
        << "WoW64 for a " << sizeof(void *) * 8 << "-bit program on a host of processor architecture "
        << host.wProcessorArchitecture;

    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(AnswerBox(process.dwProcessId, IDYES), Sjis("確認")) << "closing asks first";
    EXPECT_EQ(WaitForExit(process.hProcess), 0u);
}

// Wine looks for a DLL in the program's folder first, as Windows does for
// every DLL that is not a KnownDLL, only when told to prefer the native
// file.  Sets Wine's order for these DLLs in programs of the given name:
// "native,builtin", or "" for none at all; NULL goes back to Wine's own.
// Windows needs no such hint.
void SetWineDllOrder(const char *program, std::initializer_list<const char *> dlls, const char *order)
{
    std::string app = "Software\\Wine\\AppDefaults\\" + std::string(program);
    std::string overrides = app + "\\DllOverrides";
    if (!order) {
        RegDeleteKeyA(HKEY_CURRENT_USER, overrides.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, app.c_str());
        return;
    }
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, overrides.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL),
              ERROR_SUCCESS);
    for (const char *dll : dlls)
        RegSetValueExA(key, dll, 0, REG_SZ, (const BYTE *)order, lstrlenA(order) + 1);
    RegCloseKey(key);
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The file of `dll` that the control program reported it got, or "".
std::string ControlGot(const std::string &report, const char *dll)
{
    char text[4 * MAX_PATH] = "";
    HANDLE file = CreateFileA(report.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    DWORD length = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, text, sizeof text - 1, &length, NULL);
        CloseHandle(file);
    }
    std::string lines(text, length), start = std::string(dll) + "\t";
    size_t at = lines.find(start);
    if (at == std::string::npos) return "";
    at += start.size();
    return lines.substr(at, lines.find('\r', at) - at);
}

bool IsListed(const std::vector<std::string> &list, const char *dll)
{
    return std::any_of(list.begin(), list.end(), [&](const std::string &k) { return !lstrcmpiA(k.c_str(), dll); });
}

// The DLLs that this host's registry lists as KnownDLLs; none where it
// keeps no such list (Wine).
std::vector<std::string> HostKnownDlls()
{
    std::vector<std::string> dlls;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs", 0,
                      KEY_QUERY_VALUE, &key))
        return dlls;
    for (DWORD i = 0;; i++) {
        char name[256], data[MAX_PATH] = "";
        DWORD nameLength = sizeof name, dataLength = sizeof data - 1, type;
        LONG status = RegEnumValueA(key, i, name, &nameLength, NULL, &type, (BYTE *)data, &dataLength);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status == ERROR_SUCCESS && type == REG_SZ) dlls.push_back(data);
    }
    RegCloseKey(key);
    return dlls;
}

// Run from a folder others can write to, such as Downloads, the program
// must load no DLL left beside it: neither the comctl32.dll it uses nor a
// uxtheme.dll that Windows' own code loads by name once the window exists.
// Each stand-in leaves a file when loaded.
//
// The control, a program that imports UXTHEME and COMCTL32 by name, is
// started from the same folder first.  It must load the planted uxtheme.dll
// on every host: UXTHEME is no KnownDLL and no side-by-side assembly, so
// Windows looks for it in the program's folder first, and Wine does when
// told to prefer the native file.  Otherwise planting shows nothing here.
// COMCTL32 is another matter on Windows: a program without a manifest gets
// it from the side-by-side store, never from its folder, so there the test
// only prints which file the control got.  Under Wine, which has no such
// store, the control must load the planted comctl32.dll too.
TEST(ProgramFile, LoadsNoDllFromItsOwnFolder)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = temp + std::string("veldrano-dice-downloads"), exe = folder + "\\veldrano-dice.exe";
    std::string control = folder + "\\imports_by_name.exe", report = folder + "\\imports_by_name.txt";
    CreateDirectoryA(folder.c_str(), NULL);
    ASSERT_TRUE(CopyFileA(ProgramFilePath().c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(BesideTest("planted\\imports_by_name.exe").c_str(), control.c_str(), FALSE));
    std::vector<std::string> files = {exe, control, report};
    for (const char *dll : {"comctl32", "uxtheme"}) {
        std::string planted = folder + "\\" + dll + ".dll", loaded = folder + "\\" + dll + "-was-loaded";
        DeleteFileA(loaded.c_str());
        ASSERT_TRUE(CopyFileA(BesideTest(("planted\\" + std::string(dll) + ".dll").c_str()).c_str(),
                              planted.c_str(), FALSE));
        files.insert(files.end(), {planted, loaded});
    }

    if (RunsUnderWine()) {
        SetWineDllOrder("veldrano-dice.exe", {"comctl32", "uxtheme"}, "native,builtin");
        SetWineDllOrder("imports_by_name.exe", {"comctl32", "uxtheme"}, "native,builtin");
    }
    DeleteFileA(report.c_str());
    PROCESS_INFORMATION process = StartProgramFile("", control);
    EXPECT_EQ(WaitForExit(process.hProcess), 0u) << control;
    std::string uxtheme = ControlGot(report, "uxtheme.dll"), comctl32 = ControlGot(report, "comctl32.dll");
    if (!FileExists(folder + "\\uxtheme-was-loaded")) {
        if (IsListed(HostKnownDlls(), "uxtheme.dll"))
            FAIL() << "uxtheme.dll is one of this host's KnownDLLs, which Windows never looks for in a "
                      "program's folder: planting shows nothing on this host, so this test shows nothing";
        FAIL() << "a program that imports UXTHEME by name did not load the planted uxtheme.dll (the stand-in "
                  "never ran; the program got '"
               << uxtheme << "'): planting shows nothing on this host, so this test shows nothing";
    }
    if (RunsUnderWine()) {
        EXPECT_TRUE(FileExists(folder + "\\comctl32-was-loaded"))
            << "a program that imports COMCTL32 by name did not load the planted comctl32.dll (it got '"
            << comctl32 << "'): planting shows nothing under this Wine";
    } else {
        printf("[   NOTE   ] a program that imports COMCTL32 by name got %s\n", comctl32.c_str());
    }
    for (const char *loaded : {"comctl32-was-loaded", "uxtheme-was-loaded"})
        DeleteFileA((folder + "\\" + loaded).c_str());

    process = StartProgramFile("", exe);
    HWND main = WaitForProcessWindow(process.dwProcessId, "VELDRANO");
    ASSERT_NE(main, (HWND)NULL) << "no window from " << exe;
    HWND status = FindWindowExA(main, NULL, STATUSCLASSNAMEA, NULL);
    EXPECT_TRUE(status && IsWindowVisible(status)) << "no status bar";
    EXPECT_NE(GetMenu(main), (HMENU)NULL) << "no menu bar";
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(AnswerBox(process.dwProcessId, IDYES), Sjis("確認"));
    EXPECT_EQ(WaitForExit(process.hProcess), 0u);
    for (const char *loaded : {"comctl32-was-loaded", "uxtheme-was-loaded"})
        EXPECT_FALSE(FileExists(folder + "\\" + loaded)) << "the planted DLL was loaded: " << loaded;

    // Without COMCTL32 the start fails as any failed start does.
    if (RunsUnderWine()) {
        SetWineDllOrder("veldrano-dice.exe", {"comctl32"}, "");
        process = StartProgramFile("", exe);
        EXPECT_EQ(WaitForExit(process.hProcess), 0xFFFFFFFFu) << "-1 when the system's COMCTL32 is missing";
        SetWineDllOrder("veldrano-dice.exe", {}, NULL);
        SetWineDllOrder("imports_by_name.exe", {}, NULL);
    }
    for (const std::string &file : files)
        DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
}

// What the program file promises about itself, read from its headers as
// Windows maps it, so that it holds for any toolchain and on a Windows host:
// it imports only KnownDLLs, which Windows never looks for in the program's
// folder, delay-loads none, and carries the flags that Windows' binary
// checkers ask for.
TEST(ProgramFile, ImportsOnlyKnownDllsAndIsHardened)
{
    HMODULE mapped = LoadLibraryExA(ProgramFilePath().c_str(), NULL, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(mapped, (HMODULE)NULL) << GetLastError();
    const BYTE *base = (const BYTE *)((ULONG_PTR)mapped & ~(ULONG_PTR)3);  // the low bits mark a resource mapping
    const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)(base + ((const IMAGE_DOS_HEADER *)base)->e_lfanew);
    ASSERT_EQ(nt->Signature, (DWORD)IMAGE_NT_SIGNATURE);
    ASSERT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR_MAGIC) << "not of this test program's bitness";
    const IMAGE_DATA_DIRECTORY *directory = nt->OptionalHeader.DataDirectory;

    // Windows' own list is the authority where the host keeps one.
    std::vector<std::string> known = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"};
    std::vector<std::string> hostKnown = HostKnownDlls();
    EXPECT_TRUE(RunsUnderWine() || !hostKnown.empty()) << "no KnownDLLs list in this Windows' registry";
    const IMAGE_DATA_DIRECTORY &imports = directory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(imports.VirtualAddress, 0u) << "no imports";
    for (auto *entry = (const IMAGE_IMPORT_DESCRIPTOR *)(base + imports.VirtualAddress); entry->Name; entry++) {
        const char *dll = (const char *)(base + entry->Name);
        EXPECT_TRUE(IsListed(known, dll)) << "imports " << dll << ", which is not one of the KnownDLLs on the list";
        EXPECT_TRUE(hostKnown.empty() || IsListed(hostKnown, dll))
            << "imports " << dll << ", which is not among this host's KnownDLLs";
    }
    EXPECT_EQ(directory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size, 0u) << "delay-loads a DLL";

    WORD flags = nt->OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) << "no ASLR";
    EXPECT_TRUE(directory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size &&
                !(nt->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED))
        << "no relocation table, so ASLR cannot move it";
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) << "not NX compatible";
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE) << "not terminal-server aware";
#if !defined(_WIN64)
    // 32-bit exception handlers live on the stack, where an overflow can
    // forge one: the file must have none (NO_SEH) or list its own (SafeSEH).
    const IMAGE_DATA_DIRECTORY &loadConfig = directory[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG];
    auto *config = (const IMAGE_LOAD_CONFIG_DIRECTORY32 *)(base + loadConfig.VirtualAddress);
    bool safeSeh = loadConfig.Size &&
                   config->Size >= offsetof(IMAGE_LOAD_CONFIG_DIRECTORY32, SEHandlerCount) + sizeof(DWORD) &&
                   config->SEHandlerTable;
    EXPECT_TRUE((flags & IMAGE_DLLCHARACTERISTICS_NO_SEH) || safeSeh) << "neither NO_SEH nor a SafeSEH table";
#endif
    FreeLibrary(mapped);
}

std::string GuidText(const GUID &id)
{
    char text[40];
    snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", (unsigned long)id.Data1,
             id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5],
             id.Data4[6], id.Data4[7]);
    return text;
}

// The manifest as Windows reads it at start: an activation context made
// from the program file's own resource, so that a manifest Windows would
// refuse fails here too.  It runs as the user who starts it, names Vista to
// 11, asks for GDI scaling and the ja-JP code page, and declares no DPI
// awareness and no dependency such as common controls 6.
TEST(ProgramFile, TellsWindowsWhatItIs)
{
    std::string path = ProgramFilePath();
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE context = CreateActCtxA(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "the manifest is refused, error " << GetLastError();

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel = {};
    EXPECT_TRUE(QueryActCtxW(0, context, NULL, RunlevelInformationInActivationContext, &runLevel, sizeof runLevel,
                             NULL));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER) << "run level";
    EXPECT_EQ(runLevel.UiAccess, 0u) << "UI access";

    // Windows 10 added MaxVersionTested to each element: 32 bytes, after an
    // 8-byte count, where older headers have 20 after 4.
    DWORD compatibility[128] = {};
    SIZE_T size = 0;
    EXPECT_TRUE(QueryActCtxW(0, context, NULL, CompatibilityInformationInActivationContext, compatibility,
                             sizeof compatibility, &size));
    DWORD count = compatibility[0];
    size_t first = 4, stride = 20;
    if (size >= 8 + count * 32) {
        first = 8;
        stride = 32;
    }
    std::vector<std::string> systems;
    for (DWORD i = 0; i < count && first + (i + 1) * stride <= sizeof compatibility; i++) {
        const BYTE *element = (const BYTE *)compatibility + first + i * stride;
        COMPATIBILITY_CONTEXT_ELEMENT read;
        memcpy(&read, element, sizeof read.Id + sizeof read.Type);
        if (read.Type == ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS) systems.push_back(GuidText(read.Id));
    }
    std::sort(systems.begin(), systems.end());
    EXPECT_EQ(systems, (std::vector<std::string>{
                           "1f676c76-80e1-4239-95bb-83d0f6d0da78",    // 8.1
                           "35138b9a-5d96-4fbd-8e2d-a2440225f93a",    // 7
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",    // 8
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",    // 10 and 11
                           "e2011457-1546-43c5-a5fe-008deee3d3f0"}))  // Vista
        << "supported systems";

    auto setting = [&](const wchar_t *year, const wchar_t *name) {
        std::wstring space = L"http://schemas.microsoft.com/SMI/" + std::wstring(year) + L"/WindowsSettings";
        wchar_t value[64] = L"";
        SIZE_T written = 0;
        if (!QueryActCtxSettingsW(0, context, space.c_str(), name, value, 64, &written)) return std::wstring(L"-");
        return std::wstring(value);
    };
    EXPECT_EQ(setting(L"2017", L"gdiScaling"), L"true");
    EXPECT_EQ(setting(L"2019", L"activeCodePage"), L"ja-JP");
    EXPECT_EQ(setting(L"2005", L"dpiAware"), L"-") << "the window's sizes are pixels";
    EXPECT_EQ(setting(L"2016", L"dpiAwareness"), L"-") << "the window's sizes are pixels";

    // The answer carries the paths after the record.
    DWORD detail[256] = {};
    EXPECT_TRUE(QueryActCtxW(0, context, NULL, ActivationContextDetailedInformation, detail, sizeof detail, &size));
    EXPECT_EQ(((ACTIVATION_CONTEXT_DETAILED_INFORMATION *)detail)->ulAssemblyCount, 1u)
        << "the program's own assembly and no dependency";
    ReleaseActCtx(context);
}

std::wstring Wide(const char *utf8)
{
    wchar_t wide[256];
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 256);
    return wide;
}

// The status bar's text as UTF-16.  SB_GETTEXTW carries a pointer that is
// not translated between processes, so the buffer lives in the program's.
std::wstring StatusTextW(HANDLE process, HWND status)
{
    wchar_t text[256] = L"";
    void *remote = VirtualAllocEx(process, NULL, sizeof text, MEM_COMMIT, PAGE_READWRITE);
    if (!remote) return L"(no buffer in the program's process)";
    SendMessageW(status, SB_GETTEXTW, 0, (LPARAM)remote);
    ReadProcessMemory(process, remote, text, sizeof text - sizeof(wchar_t), NULL);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return text;
}

// The system's code page, which the registry keeps; GetACP gives this test
// program's own, which its manifest sets.
UINT SystemCodePage()
{
    char value[16] = "";
    DWORD size = sizeof value;
    RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", "ACP", RRF_RT_REG_SZ,
                 NULL, value, &size);
    return (UINT)atoi(value);
}

// The build number as the kernel reports it; GetVersionEx's answer depends
// on the manifest.
DWORD WindowsBuild()
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    LONG(WINAPI * getVersion)(OSVERSIONINFOW *) = reinterpret_cast<LONG(WINAPI *)(OSVERSIONINFOW *)>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    if (getVersion) getVersion(&version);
    return version.dwBuildNumber;
}

// On a system whose code page is not 932 the program's manifest asks for
// the ja-JP one, so its Shift_JIS texts still read right as UTF-16.  On
// Windows the program starts in the host's own locale.  Under Wine,
// DICE_ENGLISH_LAUNCHER is a command that starts it in a process of code
// page 1252; it is a Unix command, which gives back no process handle, so
// the window tells the process.
TEST(ProgramFile, ReadsRightUnderAnEnglishLocale)
{
    std::string command = "\"" + ProgramFilePath() + "\"";
    char launcher[1024];
    if (!RunsUnderWine()) {
        if (SystemCodePage() == 932)
            GTEST_SKIP() << "the system's code page is 932: the texts read right without the manifest";
        if (WindowsBuild() < 20348)
            GTEST_SKIP() << "Windows before Server 2022 (build 20348) and 11 ignores a locale in activeCodePage";
    } else if (GetEnvironmentVariableA("DICE_ENGLISH_LAUNCHER", launcher, sizeof launcher)) {
        command = launcher + (" " + command);
    } else {
        GTEST_SKIP() << "DICE_ENGLISH_LAUNCHER is not set: nothing starts a program under an English locale";
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started))
        << command;
    if (started.hProcess) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    HWND main = WaitForProcessWindow(0, "VELDRANO");
    ASSERT_NE(main, (HWND)NULL) << "no window from " << command;
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                     PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(process, (HANDLE)NULL);

    wchar_t text[256] = L"";
    GetWindowTextW(main, text, 256);
    EXPECT_EQ(std::wstring(text), Wide("VELDRANO用サイコロ"));
    EXPECT_EQ(StatusTextW(process, FindWindowExA(main, NULL, STATUSCLASSNAMEA, NULL)),
              Wide("どれかキーを押すとスタート"));
    if (!RunsUnderWine()) {  // Wine reads no other process's menus
        text[0] = 0;
        GetMenuStringW(GetSubMenu(GetMenu(main), 0), 0, text, 256, MF_BYPOSITION);
        EXPECT_EQ(std::wstring(text), Wide("終了(&X)"));
    }

    PostMessageA(main, WM_CLOSE, 0, 0);
    HWND box = WaitForProcessWindow(pid, "#32770");
    ASSERT_NE(box, (HWND)NULL) << "closing asks first";
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    EXPECT_EQ(std::wstring(text), Wide("終了してもよろしいですか"));
    GetWindowTextW(box, text, 256);
    EXPECT_EQ(std::wstring(text), Wide("確認"));
    AnswerBox(pid, IDYES);
    EXPECT_EQ(WaitForExit(process), 0u);
}

// What another process holds.  Wine reports neither GDI nor USER object
// counts (0) nor PrivateUsage for another process; its PagefileUsage is the
// process's resident private memory, and on Windows the same commit charge
// as PrivateUsage.
struct Usage { DWORD user, gdi; SIZE_T privateBytes; };
Usage UsageOf(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS *)&memory, sizeof memory);
    return {GetGuiResources(process, GR_USEROBJECTS), GetGuiResources(process, GR_GDIOBJECTS),
            memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage};
}

// Whether the window shows the line that a roll in one of the seconds
// first..last gives, drawn as TextOutA draws it.
bool ShowsLineOfASecond(HWND hwnd, int64_t first, int64_t last)
{
    std::vector<std::string> lines;
    for (int64_t second = first; second <= last; second++)
        lines.push_back(LineOfSecond(second));
    return PumpUntil([&] {
        for (const std::string &line : lines)
            if (LineIsPainted(hwnd, line.c_str())) return true;
        return false;
    });
}

// The program file under a storm of input: it must answer throughout, hold
// its USER and GDI objects and memory level, and still quit with 0.
TEST(ProgramFile, WeathersAStormWithoutGrowingOrHanging)
{
    PROCESS_INFORMATION process = StartProgramFile("");
    DWORD pid = process.dwProcessId;
    HWND main = WaitForProcessWindow(pid, "VELDRANO");
    ASSERT_NE(main, (HWND)NULL);
    auto responsive = [&] {
        DWORD_PTR result;
        return SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
    };

    // Warm up every path once, then take the level to hold.
    SendMessageA(main, WM_KEYDOWN, 'A', 1);
    SetWindowPos(main, NULL, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(AnswerBox(pid, IDNO), Sjis("確認"));
    PostMessageA(main, WM_COMMAND, kUsageCommand, 0);
    ASSERT_EQ(AnswerBox(pid, IDOK), Sjis("使い方"));
    PostMessageA(main, WM_COMMAND, kAboutCommand, 0);
    ASSERT_EQ(AnswerBox(pid, IDOK), "About");
    ASSERT_TRUE(responsive());
    Usage level = UsageOf(process.hProcess);

    // Trust a counter only once it is seen to count: the memory counter
    // must follow 4 MiB written into the program's process.
    const SIZE_T probe = 4 << 20;
    std::vector<char> ones(probe, 1);
    void *block = VirtualAllocEx(process.hProcess, NULL, probe, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_TRUE(block && WriteProcessMemory(process.hProcess, block, ones.data(), probe, NULL));
    SIZE_T probed = UsageOf(process.hProcess).privateBytes;
    VirtualFreeEx(process.hProcess, block, 0, MEM_RELEASE);
    ASSERT_GE(probed, level.privateBytes + probe / 2) << "the memory counter does not count";
    // Windows counts a window's objects; Wine reports 0 for both.
    bool objectsCounted = level.user && level.gdi;
    if (!objectsCounted) {
        ASSERT_TRUE(RunsUnderWine()) << "no GDI or USER object count for a process with a window";
        printf("[   NOTE   ] this platform reports no GDI or USER object counts: not checked\n");
    }

    // Keys are posted in batches below the platform's queue limit; the quit
    // question after each batch comes only once the whole batch is handled,
    // and the line then shows the digits of a second within the batch.
    int questions = 0;
    for (int batch = 0; batch < 20; batch++) {
        int64_t first = ReadClock();
        for (int i = 0; i < 5000; i++)
            ASSERT_TRUE(PostMessageA(main, WM_KEYDOWN, '0' + i % 10, 1));
        ASSERT_TRUE(responsive()) << "during batch " << batch;
        PostMessageA(main, WM_CLOSE, 0, 0);
        ASSERT_EQ(AnswerBox(pid, IDNO), Sjis("確認")) << "after batch " << batch;
        questions++;
        EXPECT_TRUE(ShowsLineOfASecond(main, first, ReadClock())) << "after batch " << batch;
    }
    for (int i = 0; i < 1000; i++)
        SetWindowPos(main, NULL, 0, 0, 230 + i % 200, 150 + i % 100, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_TRUE(responsive()) << "after the resizes";

    for (; questions < 100; questions++) {
        PostMessageA(main, WM_CLOSE, 0, 0);
        ASSERT_EQ(AnswerBox(pid, IDNO), Sjis("確認")) << "question " << questions;
    }
    for (int i = 0; i < 100; i++) {
        PostMessageA(main, WM_COMMAND, i % 2 ? kAboutCommand : kUsageCommand, 0);
        ASSERT_EQ(AnswerBox(pid, IDOK), i % 2 ? "About" : Sjis("使い方")) << "box " << i;
    }
    ASSERT_TRUE(responsive());
    ASSERT_TRUE(IsWindow(main));

    Usage after = UsageOf(process.hProcess);
    if (objectsCounted) {
        EXPECT_LE(after.user, level.user) << "USER objects grew";
        EXPECT_LE(after.gdi, level.gdi) << "GDI objects grew";
    }
    // A little slack for heap pages the platform keeps after its own work.
    printf("[   NOTE   ] private memory %u KiB, after the storm %u KiB\n", (unsigned)(level.privateBytes / 1024),
           (unsigned)(after.privateBytes / 1024));
    EXPECT_LE(after.privateBytes, level.privateBytes + 512 * 1024) << "private bytes grew";

    PostMessageA(main, WM_COMMAND, kExitCommand, 0);
    EXPECT_EQ(AnswerBox(pid, IDYES), Sjis("確認"));
    EXPECT_EQ(WaitForExit(process.hProcess), 0u);
}

}  // namespace
