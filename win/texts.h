// Every text the program shows, as Shift_JIS (code page 932) bytes for the
// A functions.  Written as octal escapes so that the bytes do not depend on
// the compiler's idea of the source file's encoding.
#ifndef WIN_TEXTS_H
#define WIN_TEXTS_H

// The About box's first line, which the version resource shows as well.
#define DICE_COPYRIGHT "Copyright (C) 2026 VELDRANO Dice Project"

// The resource compiler reads this file for the line above only.
#ifndef RC_INVOKED
static const char szClassName[] = "VELDRANO";
// VELDRANO用サイコロ (dice for VELDRANO)
static const char szTitle[] = "VELDRANO\227p\203T\203C\203R\203\215";
// どれかキーを押すとスタート (press any key to start)
static const char szStatusText[] = "\202\307\202\352\202\251\203L\201[\202\360\211\237\202\267\202\306\203X\203^\201[\203g";
static const char szFileMenu[] = "FILE(&F)";
static const char szHelpMenu[] = "HELP(&H)";
// 終了(&X) (exit)
static const char szExitItem[] = "\217I\227\271(&X)";
// 使い方(&U) (how to use)
static const char szUsageItem[] = "\216g\202\242\225\373(&U)";
static const char szAboutItem[] = "About(&A)";
// 終了してもよろしいですか (all right to quit?)
static const char szQuitQuestion[] = "\217I\227\271\202\265\202\304\202\340\202\346\202\353\202\265\202\242\202\305\202\267\202\251";
// 確認 (confirmation)
static const char szQuitCaption[] = "\212m\224F";
// どれかキーを押すとスタート!! (press any key to start)
static const char szUsageText[] = "\202\307\202\352\202\251\203L\201[\202\360\211\237\202\267\202\306\203X\203^\201[\203g!!";
// 使い方 (how to use)
static const char szUsageCaption[] = "\216g\202\242\225\373";
// three lines: copyright, VELDRANO用サイコロソフト (dice software for VELDRANO), web address
static const char szAboutText[] = DICE_COPYRIGHT "\nVELDRANO\227p\203T\203C\203R\203\215\203\134\203t\203g\nhttps://veldrano.example/";
static const char szAboutCaption[] = "About";
#endif

#endif
