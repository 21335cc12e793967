#pragma once
// The process-wide pseudo-random generator behind the strip's wave. It is never seeded,
// so every run of the program draws the same sequence: a 32-bit state that starts at 0;
// each draw first sets state := state * 134775813 + 1 (mod 2^32) and then yields the
// upper 32 bits of the 64-bit product state * n, a number from 0 to n - 1.
#include <cstdint>

int32_t StripRandom(int32_t n);

// Puts the generator back into its start state, as in a fresh process. For tests.
void ResetStripRandomForTesting();
