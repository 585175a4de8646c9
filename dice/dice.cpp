#include "dice.h"

#include <time.h>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>  // wsprintfA
#else
#include <stdio.h>
#endif

int32_t DiceDigits[4];
char szLine[256];

static uint32_t randomState;

int NextRandom(void)
{
    randomState = randomState * 22695477u + 1u;  // wraps modulo 2^32
    return (int)((randomState >> 16) & 0x7FFF);
}

void SeedRandom(uint32_t seed)
{
    randomState = seed;
    NextRandom();  // the first draw after seeding is dropped
}

// mingw's time_t is 32 bits unless asked otherwise and would stop at
// 2038-01-19, so Windows reads the 64-bit clock by name.
#if defined(_WIN32)
typedef __time64_t ClockSeconds;
static ClockSeconds ReadCalendarClock(void) { return _time64(NULL); }
#else
typedef time_t ClockSeconds;
static ClockSeconds ReadCalendarClock(void) { return time(NULL); }
#endif
static_assert(sizeof(ClockSeconds) >= 8, "the calendar clock must be 64 bits wide");

int64_t ReadClock(void)
{
    return (int64_t)ReadCalendarClock();
}

uint32_t SeedFromTime(int64_t seconds)
{
    return (uint32_t)seconds;  // low 32 bits; -1 becomes 0xFFFFFFFF
}

void RollDigitsAt(int64_t seconds)
{
    SeedRandom(SeedFromTime(seconds));
    for (int i = 0; i < 4; i++)
        DiceDigits[i] = NextRandom() % 10;
}

void RollDigits(void)
{
    RollDigitsAt(ReadClock());
}

// The general case: any values, by the printf rules.  Windows formats with
// USER32's wsprintfA, which the program loads anyway; the C runtime's
// snprintf would bring its own helpers into the program file.
static int FormatAnyDigits(void)
{
#if defined(_WIN32)
    // wsprintfA has no size argument; it stops at 1,024 characters, and
    // four 32-bit values with three commas take at most 47.
    static_assert(sizeof szLine >= 48, "szLine must hold the longest line");
    return wsprintfA(szLine, "%2d,%2d,%2d,%2d",
                     (int)DiceDigits[0], (int)DiceDigits[1],
                     (int)DiceDigits[2], (int)DiceDigits[3]);
#else
    int length = snprintf(szLine, sizeof szLine, "%2d,%2d,%2d,%2d",
                          (int)DiceDigits[0], (int)DiceDigits[1],
                          (int)DiceDigits[2], (int)DiceDigits[3]);
    if (length < 0)
        length = 0;
    if (length >= (int)sizeof szLine)
        length = (int)sizeof szLine - 1;
    return length;
#endif
}

int FormatDigits(void)
{
    // Every roll gives digits 0..9, and "%2d" makes each of them a space
    // and the digit.  Writing that directly takes a few nanoseconds where
    // snprintf takes a hundred; the printf path stays for values no roll
    // makes.
    char *out = szLine;
    for (int i = 0; i < 4; i++) {
        uint32_t digit = (uint32_t)DiceDigits[i];
        if (digit > 9)
            return FormatAnyDigits();
        if (i > 0)
            *out++ = ',';
        *out++ = ' ';
        *out++ = (char)('0' + digit);
    }
    *out = '\0';
    return (int)(out - szLine);
}
