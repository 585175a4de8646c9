// win_bench DICE.EXE FLOOR.EXE FLOOR_COMCTL32.EXE [ROW...]
// Measures the dice against the floor under the same platform and prints
// one table; ROWs are rows measured elsewhere (size, core), printed first.
// FLOOR_COMCTL32 is the floor that also loads the common controls.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "dice_window.h"
#include "floor_window.h"
#include "texts.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return (double)count.QuadPart / frequency.QuadPart;
}

struct Stats { double median, min, max; };
Stats Summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

// The build these figures come from: this program's own.
const char *const kBuild = sizeof(void *) == 8 ? "x86-64, Wine" : "32-bit, Wine";

void Row(const char *what, Stats dice, Stats floor, const char *unit, const char *target)
{
    printf("| %s | %s | %.0f %s (%.0f..%.0f) | %.0f %s (%.0f..%.0f) | %.2fx | %s |\n", what, kBuild, dice.median,
           unit, dice.min, dice.max, floor.median, unit, floor.min, floor.max, dice.median / floor.median, target);
}

struct Window { DWORD pid; HWND found; };
BOOL CALLBACK FindTopWindow(HWND hwnd, LPARAM param)
{
    Window *want = (Window *)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == want->pid && IsWindowVisible(hwnd)) {
        want->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

SIZE_T PrivateBytes(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS *)&memory, sizeof memory);
    // Wine leaves PrivateUsage at 0 for other processes; the pagefile
    // commit is the same figure on Windows.
    return memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
}

// Launches EXE once: milliseconds from creation to the first idle after the
// first paint, and with `memory`, private KiB after start and after 10,000
// keys.
struct LaunchFigures { double startMs, startKiB, rolledKiB; };
LaunchFigures Launch(const char *exe, bool memory)
{
    LaunchFigures figures = {};
    char commandLine[MAX_PATH];
    lstrcpynA(commandLine, exe, MAX_PATH);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    double begin = Now();
    if (!CreateProcessA(exe, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "cannot start %s\n", exe);
        exit(1);
    }
    WaitForInputIdle(process.hProcess, 20000);
    figures.startMs = (Now() - begin) * 1000;
    if (memory) {
        Window window = {process.dwProcessId, NULL};
        EnumWindows(FindTopWindow, (LPARAM)&window);
        figures.startKiB = PrivateBytes(process.hProcess) / 1024.0;
        for (int i = 0; window.found && i < 10000; i++)
            SendMessageA(window.found, WM_KEYDOWN, 'A', 1);
        figures.rolledKiB = PrivateBytes(process.hProcess) / 1024.0;
    }
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return figures;
}

// Milliseconds for 10,000 key presses, each followed by the repaint it causes.
double KeyRun(HWND hwnd)
{
    double begin = Now();
    for (int i = 0; i < 10000; i++) {
        SendMessageA(hwnd, WM_KEYDOWN, 'A', 1);
        UpdateWindow(hwnd);
    }
    return (Now() - begin) * 1000;
}

// Five key runs in each window, the windows in turn.
std::vector<Stats> KeyRuns(std::vector<HWND> windows)
{
    std::vector<std::vector<double>> times(windows.size());
    for (int run = 0; run < 5; run++)
        for (size_t w = 0; w < windows.size(); w++)
            times[w].push_back(KeyRun(windows[w]));
    std::vector<Stats> stats;
    for (const std::vector<double> &t : times) stats.push_back(Summarise(t));
    return stats;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: win_bench DICE.EXE FLOOR.EXE FLOOR_COMCTL32.EXE [ROW...]\n");
        return 2;
    }
    printf("| measure | build | dice: median (min..max) | floor: median (min..max) | ratio | target |\n");
    printf("|---|---|---|---|---|---|\n");
    for (int i = 4; i < argc; i++) printf("%s\n", argv[i]);

    // One launch of each to warm the file cache, then all in turn, so that
    // drift in the machine's load falls on each alike.
    const int launches = 20;
    for (int exe = 1; exe <= 3; exe++)
        Launch(argv[exe], false);
    std::vector<double> diceStarts, floorStarts, comctlStarts;
    LaunchFigures dice = {}, floor = {};
    for (int run = 0; run < launches; run++) {
        bool last = run == launches - 1;
        dice = Launch(argv[1], last);
        floor = Launch(argv[2], last);
        diceStarts.push_back(dice.startMs);
        floorStarts.push_back(floor.startMs);
        comctlStarts.push_back(Launch(argv[3], false).startMs);
    }
    // The status bar needs COMCTL32, so the fair floor for start-up loads it
    // too (by import, as programs usually do); against the floor without it,
    // the rows below show what COMCTL32 alone costs.  Both floors carry the
    // program's manifest, which Windows processes at every start.
    Stats diceStart = Summarise(diceStarts), floorStart = Summarise(floorStarts);
    Stats comctlStart = Summarise(comctlStarts);
    Row("start to first idle, 20 launches, against the floor loading COMCTL32", diceStart, comctlStart, "ms",
        "<= 1.10x");
    Row("the same against the floor without COMCTL32", diceStart, floorStart, "ms", "(breakdown)");
    Row("the floor loading COMCTL32, against the floor without it", comctlStart, floorStart, "ms", "(breakdown)");

    HINSTANCE instance = GetModuleHandleA(NULL);
    RegisterDiceClass(instance);
    RegisterFloorClass(instance);
    HWND diceWindow = CreateDiceWindow(instance), floorWindow = CreateFloorWindow(instance);
    // The window's design costs a repaint of the status bar on every key:
    // without WS_CLIPCHILDREN, invalidating the whole client area takes the
    // status bar in too.  The fair floor for keys pays that as well: a
    // status bar with the same text along its bottom edge.
    HWND floorBarWindow = CreateFloorWindow(instance);
    InitCommonControls();
    CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, szStatusText, floorBarWindow, 1);
    std::vector<Stats> keys = KeyRuns({diceWindow, floorBarWindow, floorWindow});
    Row("10,000 keys with repaint, 5 runs, against the floor with a status bar", keys[0], keys[1], "ms", "<= 1.10x");
    Row("the same against the bare floor", keys[0], keys[2], "ms", "(breakdown)");
    Row("the floor with a status bar, against the bare floor", keys[1], keys[2], "ms", "(breakdown)");
    ShowWindow(hStatus, SW_HIDE);
    Row("the dice with its status bar hidden, against the bare floor", KeyRuns({diceWindow})[0], keys[2], "ms",
        "(breakdown)");
    ShowWindow(hStatus, SW_SHOW);

    Stats one = {dice.startKiB, dice.startKiB, dice.startKiB};
    Stats floorOne = {floor.startKiB, floor.startKiB, floor.startKiB};
    Row("private memory after start", one, floorOne, "KiB", "-");
    Stats rolled = {dice.rolledKiB, dice.rolledKiB, dice.rolledKiB};
    Stats floorRolled = {floor.rolledKiB, floor.rolledKiB, floor.rolledKiB};
    Row("private memory after 10,000 keys", rolled, floorRolled, "KiB", "-");
    return 0;
}
