// The dice itself: four digits, the generator that rolls them and the line
// that shows them.  Plain C++ with no window system (on Windows it borrows
// only USER32's text formatter), so it builds and is tested natively as well
// as for Windows; this header is all the front end sees of it.
#ifndef DICE_DICE_H
#define DICE_DICE_H

#include <stdint.h>

// The four digits on show, first to fourth; all 0 until the first roll.
extern int32_t DiceDigits[4];

// The display line, rewritten by every FormatDigits.
extern char szLine[256];

// A 32-bit linear congruential generator.  SeedRandom sets the state and
// drops one draw; NextRandom returns 0..32767.
void SeedRandom(uint32_t seed);
int NextRandom(void);

// Seconds since 1970-01-01 00:00:00 UTC from the calendar clock, or -1 when
// the clock fails.  Always 64 bits wide, so it keeps counting after 2038.
int64_t ReadClock(void);

// The seed for a clock reading: its low 32 bits.  A failed clock (-1) thus
// seeds with 0xFFFFFFFF.
uint32_t SeedFromTime(int64_t seconds);

// Rolls all four digits for the given clock reading; RollDigits reads the
// clock itself.  Rolls within one second give the same digits.
void RollDigitsAt(int64_t seconds);
void RollDigits(void);

// Writes " d, d, d, d" into szLine and returns its length in characters.
int FormatDigits(void);

#endif
