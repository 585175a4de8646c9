#include "dice.h"

#include <stdio.h>
#include <time.h>

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

int FormatDigits(void)
{
    int length = snprintf(szLine, sizeof szLine, "%2d,%2d,%2d,%2d",
                          (int)DiceDigits[0], (int)DiceDigits[1],
                          (int)DiceDigits[2], (int)DiceDigits[3]);
    if (length < 0)
        length = 0;
    if (length >= (int)sizeof szLine)
        length = (int)sizeof szLine - 1;
    return length;
}
