#include "dice.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#if defined(_WIN32)
#include <windows.h>
#endif

#include <set>
#include <string>
#include <vector>

namespace {

std::vector<int> Digits()
{
    return {DiceDigits[0], DiceDigits[1], DiceDigits[2], DiceDigits[3]};
}

std::string Line()
{
    int length = FormatDigits();
    EXPECT_EQ(length, (int)strlen(szLine));
    return std::string(szLine, length);
}

// 2038-01-19 03:14:08 UTC, the first second a signed 32-bit count cannot hold.
const int64_t kFirstSecondAfter2038 = 2147483648LL;

// Seconds since 1970-01-01 00:00:00 UTC from the platform's UTC clock, read
// another way than ReadClock reads it.
int64_t PlatformUtcSeconds()
{
#if defined(_WIN32)
    FILETIME now;  // 100 ns units since 1601-01-01 UTC
    GetSystemTimeAsFileTime(&now);
    uint64_t ticks = ((uint64_t)now.dwHighDateTime << 32) | now.dwLowDateTime;
    return (int64_t)(ticks / 10000000 - 11644473600ULL);
#else
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
#endif
}

// Japan's time, nine hours ahead of UTC, for this process's C library.
void UseTimeZoneFarFromUtc()
{
#if defined(_WIN32)
    _putenv("TZ=JST-9");
    _tzset();
#else
    setenv("TZ", "JST-9", 1);
    tzset();
#endif
}

}  // namespace

// Runs first (tests run in the order they are defined): nothing has rolled yet.
TEST(DisplayLine, ShowsFourZerosBeforeAnyRoll)
{
    EXPECT_EQ(Line(), " 0, 0, 0, 0");
}

TEST(Generator, KnownSeedsGiveKnownDigits)
{
    struct { uint32_t seed; std::vector<int> digits; } cases[] = {
        {0, {6, 0, 2, 0}},
        {1, {0, 2, 0, 6}},
        {2, {2, 4, 7, 2}},
        {60, {4, 1, 1, 7}},
        {0xFFFFFFFFu, {1, 6, 4, 2}},
    };
    for (const auto &c : cases) {
        RollDigitsAt(c.seed);
        EXPECT_EQ(Digits(), c.digits) << "seed " << c.seed;
    }
}

TEST(Generator, DrawsStayInRangeAndDigitsAreDecimal)
{
    SeedRandom(0x80000000u);
    for (int i = 0; i < 100000; i++) {
        int r = NextRandom();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
    for (int64_t t = 0; t < 5000; t++) {
        RollDigitsAt(t * 7919);
        for (int d : Digits()) {
            ASSERT_GE(d, 0);
            ASSERT_LE(d, 9);
        }
    }
}

TEST(DisplayLine, IsElevenCharactersAfterRolls)
{
    RollDigitsAt(0);
    EXPECT_EQ(Line(), " 6, 0, 2, 0");
    RollDigitsAt(60);
    EXPECT_EQ(Line(), " 4, 1, 1, 7");
    for (int64_t t = 1700000000; t < 1700000100; t++) {
        RollDigitsAt(t);
        std::string line = Line();
        ASSERT_EQ(line.size(), 11u);
        for (int i = 0; i < 4; i++) {
            EXPECT_EQ(line[i * 3], ' ');
            EXPECT_EQ(line[i * 3 + 1], '0' + DiceDigits[i]);
            if (i < 3) {
                EXPECT_EQ(line[i * 3 + 2], ',');
            }
        }
    }
}

// The line follows the printf rules for "%2d" whatever the digits hold:
// every combination a roll can give, and values no roll gives.
TEST(DisplayLine, MatchesPrintfForAnyValues)
{
    char expected[256];
    auto check = [&](int a, int b, int c, int d) {
        DiceDigits[0] = a, DiceDigits[1] = b, DiceDigits[2] = c, DiceDigits[3] = d;
        snprintf(expected, sizeof expected, "%2d,%2d,%2d,%2d", a, b, c, d);
        ASSERT_EQ(Line(), expected) << a << " " << b << " " << c << " " << d;
    };
    for (int n = 0; n < 10000; n++)
        check(n / 1000, n / 100 % 10, n / 10 % 10, n % 10);
    const int odd[] = {INT32_MIN, -10, -1, 10, 99, 100, INT32_MAX};
    for (int value : odd)
        for (int place = 0; place < 4; place++) {
            int v[4] = {7, 7, 7, 7};
            v[place] = value;
            check(v[0], v[1], v[2], v[3]);
        }
    check(INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN);  // the longest line, 47 characters
}

TEST(Clock, RollsInTheSameSecondAgree)
{
    RollDigitsAt(1765000000);
    std::vector<int> first = Digits();
    RollDigitsAt(1765000000);
    EXPECT_EQ(Digits(), first);

    // The real clock: retry if the second ticked over between the two rolls.
    for (int attempt = 0; attempt < 3; attempt++) {
        int64_t before = ReadClock();
        RollDigits();
        first = Digits();
        RollDigits();
        if (ReadClock() != before) continue;
        EXPECT_EQ(Digits(), first);
        RollDigitsAt(before);
        EXPECT_EQ(Digits(), first) << "RollDigits must seed from the clock's second";
        return;
    }
    FAIL() << "the clock never stayed in one second";
}

// Whole seconds since 1970 in UTC: no milliseconds, no time-zone offset.
// The tests' environment sets TZ as well, so that the platform's own time
// zone is far from UTC too.
TEST(Clock, ReadsUtcSecondsWhateverTheTimeZone)
{
    UseTimeZoneFarFromUtc();
    time_t epoch = 0;
    ASSERT_EQ(localtime(&epoch)->tm_hour, 9) << "the time zone did not take";
    int64_t before = PlatformUtcSeconds();
    int64_t now = ReadClock();
    int64_t after = PlatformUtcSeconds();
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
}

TEST(Clock, KeepsRollingAfter2038)
{
    // Seeds are the low 32 bits, so the seconds before the wrap are unchanged...
    EXPECT_EQ(SeedFromTime(kFirstSecondAfter2038 - 1), 0x7FFFFFFFu);
    EXPECT_EQ(SeedFromTime(kFirstSecondAfter2038), 0x80000000u);
    EXPECT_EQ(SeedFromTime(0x100000005LL), 5u);

    // ...and the digits keep changing from second to second after it.
    std::set<std::vector<int>> seen;
    for (int64_t t = kFirstSecondAfter2038; t < kFirstSecondAfter2038 + 60; t++) {
        RollDigitsAt(t);
        seen.insert(Digits());
    }
    EXPECT_GT(seen.size(), 50u);
}

TEST(Clock, FailedClockRollsOneSixFourTwo)
{
    EXPECT_EQ(SeedFromTime(-1), 0xFFFFFFFFu);
    RollDigitsAt(-1);
    EXPECT_EQ(Digits(), (std::vector<int>{1, 6, 4, 2}));
    EXPECT_EQ(Line(), " 1, 6, 4, 2");
}
