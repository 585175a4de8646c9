// Drives the real dice window in this process on the Win32 API and reads
// back what the platform reports: texts, menus, sizes, painted pixels,
// message boxes and WinMain's results.  Message boxes are answered from a
// WH_CBT hook.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <random>
#include <string>
#include <vector>

#include "dice_window.h"
#include "window_helpers.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

namespace {

// Removes a pending WM_QUIT and returns its code, or -2 when there is none.
int TakeQuitCode()
{
    MSG msg;
    if (PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) return (int)msg.wParam;
    return -2;
}

// What a message box showed, as the CBT hook saw it on activation.
struct SeenBox {
    HWND owner;
    std::string caption, text;
    std::vector<int> buttons;  // the visible buttons' ids, in window order
    HICON icon;                // the visible icon, or NULL
};
std::vector<SeenBox> boxes;
std::atomic<int> boxesShown{0};  // boxes.size(), for another thread to watch
std::atomic<int> boxAnswer{IDNO};  // taken when the box has that button, else OK
HHOOK cbtHook;

// Reads a message box's visible buttons and icon into `seen`.
void ReadBoxControls(HWND box, SeenBox &seen)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        LONG style = GetWindowLongA(child, GWL_STYLE);
        char cls[32];
        GetClassNameA(child, cls, sizeof cls);
        if (!(style & WS_VISIBLE)) continue;
        if (!lstrcmpiA(cls, "Button"))
            seen.buttons.push_back(GetDlgCtrlID(child));
        else if (!lstrcmpiA(cls, "Static") && (style & SS_TYPEMASK) == SS_ICON)
            seen.icon = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
    }
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    char cls[32];
    if (code == HCBT_ACTIVATE && GetClassNameA((HWND)wParam, cls, sizeof cls) && !strcmp(cls, "#32770")) {
        HWND box = (HWND)wParam;
        char text[512] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message's static
        SeenBox seen = {GetWindow(box, GW_OWNER), WindowText(box), text, {}, NULL};
        ReadBoxControls(box, seen);
        boxes.push_back(seen);
        boxesShown++;
        int answer = GetDlgItem(box, boxAnswer) ? boxAnswer.load() : IDOK;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), (LPARAM)GetDlgItem(box, answer));
    }
    return CallNextHookEx(cbtHook, code, wParam, lParam);
}

bool LineIsPaintedSoon(HWND hwnd, const char *line)
{
    return PumpUntil([&] { return LineIsPainted(hwnd, line); });
}

// Digits no roll gives, so that a roll shows even in the second of the
// last one.
void MarkDigits()
{
    for (int32_t &digit : DiceDigits) digit = -7;
}
bool MarkerDigitsKept()
{
    return DiceDigits[0] == -7 && DiceDigits[1] == -7 && DiceDigits[2] == -7 && DiceDigits[3] == -7;
}

// Each test leaves the digits as it found them.
class DiceWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterDiceClass(GetModuleHandleA(NULL));
        cbtHook = SetWindowsHookExA(WH_CBT, CbtProc, NULL, GetCurrentThreadId());
    }
    static void TearDownTestSuite() { UnhookWindowsHookEx(cbtHook); }

    void SetUp() override
    {
        memcpy(digitsBefore, DiceDigits, sizeof digitsBefore);
        boxes.clear();
        boxAnswer = IDNO;
        hwnd = CreateDiceWindow(GetModuleHandleA(NULL));
        ASSERT_NE(hwnd, (HWND)NULL);
        SetForegroundWindow(hwnd);
        PumpUntil([] { return false; }, 100);
    }
    void TearDown() override
    {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
        TakeQuitCode();
        memcpy(DiceDigits, digitsBefore, sizeof digitsBefore);
    }

    // The marker digits, painted.
    void ShowMarkerDigits()
    {
        MarkDigits();
        InvalidateRect(hwnd, NULL, TRUE);
        UpdateWindow(hwnd);
    }

    // Rolls with one key press and returns the line of that second,
    // retrying when the clock ticks over during the press.
    std::string PressKey()
    {
        for (;;) {
            int64_t before = ReadClock();
            SendMessageA(hwnd, WM_KEYDOWN, 'A', 1);
            if (ReadClock() != before) continue;
            return LineOfSecond(before);
        }
    }

    HWND hwnd = NULL;
    int32_t digitsBefore[4];
};

TEST_F(DiceWindow, KeyDownRollsAndRepaintsTheLineSysKeyDoesNot)
{
    // Nothing has rolled in this process yet: the window shows four zeros.
    ASSERT_TRUE(LineIsPaintedSoon(hwnd, " 0, 0, 0, 0"));

    std::string line = PressKey();
    EXPECT_TRUE(LineIsPaintedSoon(hwnd, line.c_str())) << "expected " << line;
    // A second press in the same second paints the same digits.
    EXPECT_TRUE(LineIsPaintedSoon(hwnd, PressKey().c_str()));

    // Alt+X and F10 arrive as WM_SYSKEYDOWN: no roll, nothing to repaint.
    ShowMarkerDigits();
    SendMessageA(hwnd, WM_SYSKEYDOWN, 'X', 0x20000001);
    SendMessageA(hwnd, WM_SYSKEYDOWN, VK_F10, 1);
    EXPECT_TRUE(MarkerDigitsKept());
    EXPECT_FALSE(GetUpdateRect(hwnd, NULL, FALSE));

    char status[256] = "";
    SendMessageA(hStatus, SB_GETTEXTA, 0, (LPARAM)status);
    EXPECT_EQ(std::string(status), Sjis("どれかキーを押すとスタート")) << "the status bar never changes";
}

TEST_F(DiceWindow, HasItsTitleSizeStyleStatusBarAndMenus)
{
    EXPECT_EQ(WindowText(hwnd), Sjis("VELDRANO用サイコロ"));
    char cls[32];
    GetClassNameA(hwnd, cls, sizeof cls);
    EXPECT_STREQ(cls, "VELDRANO");
    EXPECT_EQ(GetClassLongPtrA(hwnd, GCL_STYLE), 3u) << "CS_HREDRAW | CS_VREDRAW";
    EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND), (ULONG_PTR)GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HICON), (ULONG_PTR)LoadIconA(NULL, IDI_APPLICATION));
    EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HCURSOR), (ULONG_PTR)LoadCursorA(NULL, IDC_ARROW));
    WNDCLASSA wc = {};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(NULL), "VELDRANO", &wc));
    EXPECT_STREQ(wc.lpszMenuName, "VELDRANO");
    // The whole style: the platform adds WS_CLIPSIBLINGS to every top-level
    // window, and nothing else may be there.
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_EQ(style & ~WS_CLIPSIBLINGS, 0x10CF0000) << std::hex << style;
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    RECT frame;
    GetWindowRect(hwnd, &frame);
    EXPECT_EQ(frame.right - frame.left, 230);
    EXPECT_EQ(frame.bottom - frame.top, 150);

    EXPECT_EQ(GetParent(hStatus), hwnd);
    EXPECT_EQ(GetDlgCtrlID(hStatus), 1);
    GetClassNameA(hStatus, cls, sizeof cls);
    EXPECT_STREQ(cls, STATUSCLASSNAMEA);
    style = GetWindowLongA(hStatus, GWL_STYLE);
    EXPECT_EQ(style & 0x50000103, 0x50000103) << std::hex << style;

    // Menu bar, in display order: text, then the drop-down's command ids.
    struct Item { const char *text; UINT id; };
    struct Drop { const char *text; HMENU menu; std::vector<Item> items; } drops[] = {
        {"FILE(&F)", hFileMenu, {{"終了(&X)", 40001}}},
        {"HELP(&H)", hHelpMenu, {{"使い方(&U)", 40002}, {"About(&A)", 40003}}},
    };
    HMENU bar = GetMenu(hwnd);
    ASSERT_EQ(bar, hMenuBar);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    auto check = [](HMENU menu, int position, const char *utf8, UINT id, HMENU sub) {
        char text[128] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(menu, position, TRUE, &info));
        EXPECT_EQ(std::string(text), Sjis(utf8));
        EXPECT_EQ(info.fType, (UINT)MFT_STRING) << utf8;
        EXPECT_EQ(info.fState, 0u) << utf8;
        EXPECT_EQ(info.hSubMenu, sub) << utf8;
        if (!sub) {
            EXPECT_EQ(info.wID, id) << utf8;
        }
    };
    for (int i = 0; i < 2; i++) {
        check(bar, i, drops[i].text, 0, drops[i].menu);
        ASSERT_EQ(GetMenuItemCount(drops[i].menu), (int)drops[i].items.size());
        for (size_t j = 0; j < drops[i].items.size(); j++)
            check(drops[i].menu, (int)j, drops[i].items[j].text, drops[i].items[j].id, NULL);
    }
}

TEST_F(DiceWindow, StatusBarAndLineFollowAResize)
{
    ShowMarkerDigits();  // a resize repaints them, and does not roll
    for (SIZE size : {SIZE{400, 300}, SIZE{260, 170}}) {
        SetWindowPos(hwnd, NULL, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        RECT client, bar;
        GetClientRect(hwnd, &client);
        GetWindowRect(hStatus, &bar);
        MapWindowPoints(NULL, hwnd, (POINT *)&bar, 2);
        EXPECT_EQ(bar.left, 0);
        EXPECT_EQ(bar.right, client.right) << "status bar spans the new width";
        EXPECT_EQ(bar.bottom, client.bottom) << "status bar sits on the new bottom edge";
        EXPECT_TRUE(LineIsPaintedSoon(hwnd, "-7,-7,-7,-7"));
    }
}

TEST_F(DiceWindow, EveryWayOutAsksAndOnlyYesQuits)
{
    ShowMarkerDigits();

    // Close button, system menu and Alt+F4 come as WM_CLOSE or SC_CLOSE.
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    SendMessageA(hwnd, WM_COMMAND, kExitCommand, 0);
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageA(hwnd, WM_SYSKEYDOWN, VK_F4, 0x20000001);
    PumpUntil([] { return boxes.size() >= 4; }, 3000);
    ASSERT_EQ(boxes.size(), 4u);
    for (const SeenBox &box : boxes) {
        EXPECT_EQ(box.owner, hwnd);
        EXPECT_EQ(box.caption, Sjis("確認"));
        EXPECT_EQ(box.text, Sjis("終了してもよろしいですか"));
        EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
        EXPECT_EQ(box.icon, LoadIconA(NULL, IDI_QUESTION)) << "the question icon";
    }
    EXPECT_TRUE(IsWindow(hwnd)) << "No keeps the window";
    EXPECT_TRUE(MarkerDigitsKept()) << "No keeps the digits";
    EXPECT_EQ(TakeQuitCode(), -2);
    EXPECT_TRUE(LineIsPaintedSoon(hwnd, "-7,-7,-7,-7"));

    boxAnswer = IDYES;
    SendMessageA(hwnd, WM_COMMAND, kExitCommand, 0);
    EXPECT_FALSE(IsWindow(hwnd)) << "Yes destroys the window";
    EXPECT_EQ(TakeQuitCode(), 0);
}

TEST_F(DiceWindow, UsageAndAboutShowTheirTexts)
{
    ShowMarkerDigits();
    SendMessageA(hwnd, WM_COMMAND, kUsageCommand, 0);
    SendMessageA(hwnd, WM_COMMAND, kAboutCommand, 0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, Sjis("使い方"));
    EXPECT_EQ(boxes[0].text, Sjis("どれかキーを押すとスタート!!"));
    EXPECT_EQ(boxes[1].caption, "About");
    EXPECT_EQ(boxes[1].text, Sjis("Copyright (C) 2026 VELDRANO Dice Project\n"
                                  "VELDRANO用サイコロソフト\n"
                                  "https://veldrano.example/"));
    for (const SeenBox &box : boxes) {
        EXPECT_EQ(box.owner, hwnd);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(box.icon, (HICON)NULL) << "no icon";
    }
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(MarkerDigitsKept()) << "the boxes rolled";

    SendMessageA(hwnd, WM_COMMAND, 12345, 0);
    EXPECT_EQ(boxes.size(), 2u) << "an identifier not the window's own shows nothing";
}

// Random keyboard, mouse and menu input from a fixed seed, so that a
// failure replays: no crash, no hang, the line always well formed, and every
// message box one that the input asked for, answered and gone.
TEST_F(DiceWindow, SurvivesRandomInputFromAFixedSeed)
{
    const unsigned seed = 20261208;
    std::mt19937 random(seed);
    const UINT commands[] = {kExitCommand, kUsageCommand, kAboutCommand, 0, 1, 40000, 40004, 65535};
    const UINT mouse[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
                          WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEWHEEL};
    size_t expectedBoxes = 0;
    for (int event = 0; event < 1000; event++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", event " << event);
        int kind = random() % 4;
        WPARAM key = 0x08 + random() % 0x80;
        LPARAM point = MAKELPARAM(random() % 260, random() % 180);
        if (kind == 0) {
            SendMessageA(hwnd, WM_KEYDOWN, key, 1);
        } else if (kind == 1) {
            // Alt with a key other than F4, which would ask to quit.
            SendMessageA(hwnd, WM_SYSKEYDOWN, key == VK_F4 ? VK_F5 : key, 0x20000001);
        } else if (kind == 2) {
            int32_t shown[4];
            memcpy(shown, DiceDigits, sizeof shown);
            ShowMarkerDigits();
            SendMessageA(hwnd, mouse[random() % 7], random() % 2 ? MK_LBUTTON : 0, point);
            ASSERT_TRUE(MarkerDigitsKept()) << "the mouse rolled";
            memcpy(DiceDigits, shown, sizeof shown);
            InvalidateRect(hwnd, NULL, TRUE);
        } else {
            UINT id = commands[random() % 8];
            if (id >= 40001 && id <= 40003) expectedBoxes++;
            SendMessageA(hwnd, WM_COMMAND, id, 0);
        }
        ASSERT_TRUE(IsWindow(hwnd));
        ASSERT_EQ(boxes.size(), expectedBoxes);
        int length = FormatDigits();
        ASSERT_EQ(length, 11);
        for (int i = 0; i < 4; i++) {
            ASSERT_TRUE(szLine[i * 3] == ' ' && szLine[i * 3 + 1] >= '0' && szLine[i * 3 + 1] <= '9');
            ASSERT_TRUE(i == 3 || szLine[i * 3 + 2] == ',');
        }
    }
    PumpUntil([] { return false; }, 200);  // let anything pending arrive
    HWND box = FindWindowA("#32770", NULL);
    EXPECT_FALSE(box && GetWindowThreadProcessId(box, NULL) == GetCurrentThreadId())
        << "a message box was left open";
    EXPECT_TRUE(LineIsPaintedSoon(hwnd, szLine));
}

// WinMain itself, in this process: a class that is already registered, or
// a window that cannot be created, makes it return -1 without a word; a
// whole run returns the quit code 0.
class Start : public DiceWindow {
protected:
    void SetUp() override { boxes.clear(); }
    void TearDown() override {}
};

bool IsMainWindowCreation(int code, WPARAM wParam)
{
    char cls[32];
    return code == HCBT_CREATEWND && GetClassNameA((HWND)wParam, cls, sizeof cls) && !strcmp(cls, "VELDRANO");
}

HWND createdMain;
LRESULT CALLBACK CloseOnCreate(int code, WPARAM wParam, LPARAM lParam)
{
    if (IsMainWindowCreation(code, wParam)) {
        createdMain = (HWND)wParam;
        PostMessageA(createdMain, WM_CLOSE, 0, 0);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

LRESULT CALLBACK RefuseCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (IsMainWindowCreation(code, wParam)) return 1;  // CreateWindowExA returns NULL
    return CallNextHookEx(NULL, code, wParam, lParam);
}

TEST_F(Start, FailsWithMinusOneWhenTheClassExistsAndRunsToZero)
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    // A WinMain that ran its loop after all would end at once with this
    // code instead of hanging; one that returns leaves it queued.
    PostQuitMessage(77);
    EXPECT_EQ(WinMain(instance, NULL, (LPSTR) "", SW_SHOWNORMAL), -1) << "the class exists";
    ASSERT_TRUE(UnregisterClassA("VELDRANO", instance));
    HHOOK refuser = SetWindowsHookExA(WH_CBT, RefuseCreation, NULL, GetCurrentThreadId());
    EXPECT_EQ(WinMain(instance, NULL, (LPSTR) "", SW_SHOWNORMAL), -1) << "no window";
    UnhookWindowsHookEx(refuser);
    EXPECT_EQ(TakeQuitCode(), 77) << "a failed start ran the message loop";
    EXPECT_TRUE(boxes.empty()) << "a failed start shows nothing";

    ASSERT_TRUE(UnregisterClassA("VELDRANO", instance));
    HHOOK closer = SetWindowsHookExA(WH_CBT, CloseOnCreate, NULL, GetCurrentThreadId());
    boxAnswer = IDYES;
    EXPECT_EQ(WinMain(instance, NULL, (LPSTR) "--ignored argument", SW_HIDE), 0);
    UnhookWindowsHookEx(closer);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, createdMain);
    EXPECT_FALSE(IsWindow(createdMain));
}

// Keys as a user types them: through the system's input (SendInput, with the
// window in front) into WinMain's own loop, whose TranslateMessage turns
// Alt+letter into the WM_SYSCHAR that opens a menu.  A typist thread types
// and watches while this thread runs WinMain; the CBT hook answers the
// boxes.  A plain key goes first, as the control: if it does not roll, the
// host takes no typed input, and the test says so rather than pass.
enum Effect { kMenuBarActive, kOpensMenu, kBringsBox };
struct Stroke {
    const char *name;
    std::vector<WORD> keys;  // pressed in this order, released in reverse
    Effect effect;
};
// Each sequence starts at the window with no menu open and ends in a box.
const std::vector<std::vector<Stroke>> menuSequences = {
    {{"Alt+F", {VK_MENU, 'F'}, kOpensMenu}, {"X", {'X'}, kBringsBox}},
    {{"Alt+H", {VK_MENU, 'H'}, kOpensMenu}, {"U", {'U'}, kBringsBox}},
    {{"Alt+H", {VK_MENU, 'H'}, kOpensMenu}, {"A", {'A'}, kBringsBox}},
    {{"F10", {VK_F10}, kMenuBarActive}, {"Enter", {VK_RETURN}, kOpensMenu}, {"Enter", {VK_RETURN}, kBringsBox}},
    {{"Alt+F4", {VK_MENU, VK_F4}, kBringsBox}},
};

std::atomic<HWND> typedMain{NULL};
DWORD windowThread;
std::vector<std::string> typistFailures;

LRESULT CALLBACK MarkOnCreate(int code, WPARAM wParam, LPARAM lParam)
{
    if (IsMainWindowCreation(code, wParam)) {
        MarkDigits();
        typedMain = (HWND)wParam;
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// Whether the window's thread has a window of the class: "#32768", shown,
// for a menu that is open; "#32770", shown or not, for a message box that
// has not yet returned.
struct Held { const char *cls; bool shownOnly, found; };
BOOL CALLBACK FindHeld(HWND hwnd, LPARAM param)
{
    Held *held = (Held *)param;
    char cls[32];
    if ((!held->shownOnly || IsWindowVisible(hwnd)) && GetClassNameA(hwnd, cls, sizeof cls) &&
        !strcmp(cls, held->cls)) {
        held->found = true;
        return FALSE;
    }
    return TRUE;
}
bool ThreadHas(const char *cls, bool shownOnly)
{
    Held held = {cls, shownOnly, false};
    EnumThreadWindows(windowThread, FindHeld, (LPARAM)&held);
    return held.found;
}
bool MenuIsOpen() { return ThreadHas("#32768", true); }

// Whether the window's thread is in menu mode, as after F10.
bool InMenuMode()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(windowThread, &info) && (info.flags & GUI_INMENUMODE);
}

// Presses and releases the keys through the system's input; false, with
// the reason, when the host takes none.
bool Type(const std::vector<WORD> &keys, std::string &refusal)
{
    std::vector<INPUT> inputs;
    for (int up = 0; up < 2; up++) {
        for (size_t i = 0; i < keys.size(); i++) {
            WORD key = up ? keys[keys.size() - 1 - i] : keys[i];
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = key;
            input.ki.wScan = (WORD)MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            inputs.push_back(input);
        }
    }
    UINT sent = SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
    if (sent == inputs.size()) return true;
    refusal = "this host refuses injected input (SendInput sent " + std::to_string(sent) + " of " +
              std::to_string(inputs.size()) + " key events, error " + std::to_string(GetLastError()) +
              "), so no key was pressed as a user presses it";
    return false;
}

void TypeAll(HWND hwnd)
{
    auto fail = [](const std::string &what) { typistFailures.push_back(what); };
    SetForegroundWindow(hwnd);
    if (!PumpUntil([&] { return GetForegroundWindow() == hwnd; }))
        return fail("this host did not bring the window to the front, so typed keys would reach another "
                    "window: no key was pressed");
    std::string refusal;
    if (!Type({'A'}, refusal)) return fail(refusal);
    if (!PumpUntil([] { return !MarkerDigitsKept(); }))
        return fail("a plain key typed into the window did not roll: this host takes no typed input, so the "
                    "menu keys were not tried");

    // Ready: the window in front, no menu open and the last box gone.
    auto ready = [&] {
        return GetForegroundWindow() == hwnd && !InMenuMode() && !MenuIsOpen() && !ThreadHas("#32770", false);
    };
    for (const std::vector<Stroke> &sequence : menuSequences) {
        if (!PumpUntil(ready))
            return fail("before " + std::string(sequence[0].name) +
                        ": the window was not in front with no menu or box open");
        MarkDigits();  // this thread's write: the window's thread is waiting for input
        std::string keys;
        for (const Stroke &stroke : sequence) {
            keys += (keys.empty() ? "" : ", then ") + std::string(stroke.name);
            int shown = boxesShown;
            if (!Type(stroke.keys, refusal)) return fail(refusal);
            if (stroke.effect == kOpensMenu && !PumpUntil(MenuIsOpen))
                return fail(keys + " opened no menu");
            if (stroke.effect == kMenuBarActive && !PumpUntil(InMenuMode))
                return fail(keys + " did not make the menu bar active");
            if (stroke.effect == kBringsBox && !PumpUntil([&] { return boxesShown > shown; }))
                return fail(keys + " brought no message box");
            if (!MarkerDigitsKept()) fail(keys + " rolled the dice");
        }
        if (!IsWindow(hwnd)) return fail("the window closed after " + keys + ", answered with No or OK");
    }
}

// Types, then quits with Alt+F4 and Yes; or, where typing failed, closes
// the window without keys so that WinMain returns.
DWORD WINAPI Typist(LPVOID)
{
    HWND hwnd = NULL;
    if (!PumpUntil([&] { return (hwnd = typedMain) != NULL; }, 10000)) {
        typistFailures.push_back("WinMain showed no window");
        PostThreadMessageA(windowThread, WM_QUIT, 99, 0);
        return 0;
    }
    TypeAll(hwnd);
    boxAnswer = IDYES;
    std::string refusal;
    if (typistFailures.empty()) {
        if (Type({VK_MENU, VK_F4}, refusal) && PumpUntil([&] { return !IsWindow(hwnd); })) return 0;
        typistFailures.push_back("Alt+F4 answered with Yes did not close the window");
    }
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    if (!PumpUntil([&] { return !IsWindow(hwnd); })) PostThreadMessageA(windowThread, WM_QUIT, 99, 0);
    return 0;
}

TEST_F(Start, MenuKeysTypedAsAUserWorkTheMenusAndNeverRoll)
{
    int32_t digitsBefore[4];
    memcpy(digitsBefore, DiceDigits, sizeof digitsBefore);
    HINSTANCE instance = GetModuleHandleA(NULL);
    UnregisterClassA("VELDRANO", instance);  // WinMain registers it
    typedMain = NULL;
    typistFailures.clear();
    boxAnswer = IDNO;
    windowThread = GetCurrentThreadId();
    HHOOK marker = SetWindowsHookExA(WH_CBT, MarkOnCreate, NULL, windowThread);
    HANDLE typist = CreateThread(NULL, 0, Typist, NULL, 0, NULL);
    int exitCode = WinMain(instance, NULL, (LPSTR) "", SW_SHOWNORMAL);
    UnhookWindowsHookEx(marker);
    EXPECT_EQ(WaitForSingleObject(typist, 10000), WAIT_OBJECT_0);
    CloseHandle(typist);
    memcpy(DiceDigits, digitsBefore, sizeof digitsBefore);

    for (const std::string &failure : typistFailures)
        ADD_FAILURE() << failure;
    std::vector<std::string> captions;
    for (const SeenBox &box : boxes)
        captions.push_back(box.caption);
    EXPECT_EQ(captions, (std::vector<std::string>{Sjis("確認"), Sjis("使い方"), "About", Sjis("確認"), Sjis("確認"),
                                                  Sjis("確認")}))
        << "the boxes of Alt+F X, Alt+H U, Alt+H A, F10 Enter Enter, Alt+F4, and Alt+F4 to quit";
    EXPECT_EQ(exitCode, 0);
}

}  // namespace
