// win_bench DICE.EXE FLOOR.EXE [ROW...]
// Measures the dice against the floor under the same platform and prints
// one table; ROWs are rows measured elsewhere (size, core), printed first.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "dice_window.h"
#include "floor_window.h"

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

void Row(const char *what, Stats dice, Stats floor, const char *unit, const char *target)
{
    printf("| %s | %.0f %s (%.0f..%.0f) | %.0f %s (%.0f..%.0f) | %.2fx | %s |\n", what, dice.median, unit,
           dice.min, dice.max, floor.median, unit, floor.min, floor.max, dice.median / floor.median, target);
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

// Launches EXE `runs` times: seconds from creation to the first idle after
// the first paint, and private KiB after start and after 10,000 keys (the
// last run only).
void Launch(const char *exe, int runs, std::vector<double> &starts, double &startKiB, double &rolledKiB)
{
    for (int run = 0; run < runs; run++) {
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
        starts.push_back((Now() - begin) * 1000);
        if (run == runs - 1) {
            Window window = {process.dwProcessId, NULL};
            EnumWindows(FindTopWindow, (LPARAM)&window);
            startKiB = PrivateBytes(process.hProcess) / 1024.0;
            for (int i = 0; window.found && i < 10000; i++)
                SendMessageA(window.found, WM_KEYDOWN, 'A', 1);
            rolledKiB = PrivateBytes(process.hProcess) / 1024.0;
        }
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, 5000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

// Milliseconds for 10,000 key presses, each followed by the repaint it causes.
std::vector<double> KeyRuns(HWND hwnd, int runs)
{
    std::vector<double> times;
    for (int run = 0; run < runs; run++) {
        double begin = Now();
        for (int i = 0; i < 10000; i++) {
            SendMessageA(hwnd, WM_KEYDOWN, 'A', 1);
            UpdateWindow(hwnd);
        }
        times.push_back((Now() - begin) * 1000);
    }
    return times;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: win_bench DICE.EXE FLOOR.EXE [ROW...]\n");
        return 2;
    }
    printf("| measure | dice: median (min..max) | floor: median (min..max) | ratio | target |\n");
    printf("|---|---|---|---|---|\n");
    for (int i = 3; i < argc; i++) printf("%s\n", argv[i]);

    const int launches = 20;
    std::vector<double> diceStarts, floorStarts;
    double diceKiB[2], floorKiB[2];
    Launch(argv[1], launches, diceStarts, diceKiB[0], diceKiB[1]);
    Launch(argv[2], launches, floorStarts, floorKiB[0], floorKiB[1]);
    Row("start to first idle, 20 launches", Summarise(diceStarts), Summarise(floorStarts), "ms", "<= 1.10x");

    HINSTANCE instance = GetModuleHandleA(NULL);
    RegisterDiceClass(instance);
    RegisterFloorClass(instance);
    HWND dice = CreateDiceWindow(instance), floor = CreateFloorWindow(instance);
    Stats diceKeys = Summarise(KeyRuns(dice, 5)), floorKeys = Summarise(KeyRuns(floor, 5));
    Row("10,000 keys with repaint, 5 runs", diceKeys, floorKeys, "ms", "<= 1.25x");

    Stats one = {diceKiB[0], diceKiB[0], diceKiB[0]}, floorOne = {floorKiB[0], floorKiB[0], floorKiB[0]};
    Row("private memory after start", one, floorOne, "KiB", "-");
    Stats rolled = {diceKiB[1], diceKiB[1], diceKiB[1]}, floorRolled = {floorKiB[1], floorKiB[1], floorKiB[1]};
    Row("private memory after 10,000 keys", rolled, floorRolled, "KiB", "-");
    return 0;
}
