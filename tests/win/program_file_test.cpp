// Starts the program file that users run, as another process: finds its
// window, drives it with posted messages, answers its message boxes and
// reads its exit code.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <stddef.h>
#include <stdio.h>
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
    if (GetEnvironmentVariableA("DICE_EXPECT_WOW64", NULL, 0)) {
        BOOL wow64 = FALSE;
        IsWow64Process(process.hProcess, &wow64);
        EXPECT_TRUE(wow64) << "the program file does not run under WoW64";
    }

    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(AnswerBox(process.dwProcessId, IDYES), Sjis("確認")) << "closing asks first";
    EXPECT_EQ(WaitForExit(process.hProcess), 0u);
}

// Wine looks for a DLL in the program's folder first, as Windows does for
// every DLL that is not a KnownDLL, only when told to prefer the native
// file.  Sets Wine's order for these DLLs in programs named
// veldrano-dice.exe: "native,builtin", or "" for none at all; NULL goes
// back to Wine's own.  Windows needs no such hint.
void SetWineDllOrder(std::initializer_list<const char *> dlls, const char *order)
{
    const char *app = "Software\\Wine\\AppDefaults\\veldrano-dice.exe";
    std::string overrides = app + std::string("\\DllOverrides");
    if (!order) {
        RegDeleteKeyA(HKEY_CURRENT_USER, overrides.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, app);
        return;
    }
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, overrides.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL),
              ERROR_SUCCESS);
    for (const char *dll : dlls)
        RegSetValueExA(key, dll, 0, REG_SZ, (const BYTE *)order, lstrlenA(order) + 1);
    RegCloseKey(key);
}

// Run from a folder others can write to, such as Downloads, the program
// must load no DLL left beside it: neither the comctl32.dll it uses nor a
// uxtheme.dll that Windows' own code loads by name once the window exists.
// Each stand-in leaves a file when loaded.
TEST(ProgramFile, LoadsNoDllFromItsOwnFolder)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = temp + std::string("veldrano-dice-downloads"), exe = folder + "\\veldrano-dice.exe";
    CreateDirectoryA(folder.c_str(), NULL);
    ASSERT_TRUE(CopyFileA(ProgramFilePath().c_str(), exe.c_str(), FALSE));
    std::vector<std::string> files = {exe};
    for (const char *dll : {"comctl32", "uxtheme"}) {
        std::string planted = folder + "\\" + dll + ".dll", loaded = folder + "\\" + dll + "-was-loaded";
        DeleteFileA(loaded.c_str());
        ASSERT_TRUE(CopyFileA(BesideTest(("planted\\" + std::string(dll) + ".dll").c_str()).c_str(),
                              planted.c_str(), FALSE));
        files.insert(files.end(), {planted, loaded});
    }

    if (RunsUnderWine()) SetWineDllOrder({"comctl32", "uxtheme"}, "native,builtin");
    PROCESS_INFORMATION process = StartProgramFile("", exe);
    HWND main = WaitForProcessWindow(process.dwProcessId, "VELDRANO");
    ASSERT_NE(main, (HWND)NULL) << "no window from " << exe;
    HWND status = FindWindowExA(main, NULL, STATUSCLASSNAMEA, NULL);
    EXPECT_TRUE(status && IsWindowVisible(status)) << "no status bar";
    EXPECT_NE(GetMenu(main), (HMENU)NULL) << "no menu bar";
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(AnswerBox(process.dwProcessId, IDYES), Sjis("確認"));
    EXPECT_EQ(WaitForExit(process.hProcess), 0u);
    for (const char *loaded : {"comctl32-was-loaded", "uxtheme-was-loaded"})
        EXPECT_EQ(GetFileAttributesA((folder + "\\" + loaded).c_str()), INVALID_FILE_ATTRIBUTES)
            << "the planted DLL was loaded: " << loaded;

    // Without COMCTL32 the start fails as any failed start does.
    if (RunsUnderWine()) {
        SetWineDllOrder({"comctl32"}, "");
        process = StartProgramFile("", exe);
        EXPECT_EQ(WaitForExit(process.hProcess), 0xFFFFFFFFu) << "-1 when the system's COMCTL32 is missing";
        SetWineDllOrder({}, NULL);
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

    const char *known[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"};
    const IMAGE_DATA_DIRECTORY &imports = directory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(imports.VirtualAddress, 0u) << "no imports";
    for (auto *entry = (const IMAGE_IMPORT_DESCRIPTOR *)(base + imports.VirtualAddress); entry->Name; entry++) {
        const char *dll = (const char *)(base + entry->Name);
        EXPECT_TRUE(std::any_of(std::begin(known), std::end(known), [&](const char *k) { return !lstrcmpiA(k, dll); }))
            << "imports " << dll << ", which is not one of the KnownDLLs on the list";
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

// On a system whose code page is not 932 the program's manifest asks for
// the ja-JP one, so its Shift_JIS texts still read right as UTF-16.
// DICE_ENGLISH_LAUNCHER is a command that starts a program file in a
// process of code page 1252; under Wine it is a Unix command, which gives
// back no process handle, so the window tells the process.
TEST(ProgramFile, ReadsRightUnderAnEnglishLocale)
{
    char launcher[1024];
    if (!GetEnvironmentVariableA("DICE_ENGLISH_LAUNCHER", launcher, sizeof launcher))
        GTEST_SKIP() << "DICE_ENGLISH_LAUNCHER is not set: nothing starts a program under an English locale";
    std::string command = std::string(launcher) + " \"" + ProgramFilePath() + "\"";
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
