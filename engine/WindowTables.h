// The window function of every code with a formula at each of the four transform sizes, computed once
// per process by fillWindow (so bit for bit what fillWindow writes) and kept in static storage. An
// instance points at the table it needs instead of computing thousands of cosines when the size or
// the window changes: that happens on the audio thread, where a flat-top window of 8192 points alone
// took about 5 ms.
//
// Threads: prepareWindowTables [main-thread] (every instance calls it when it is made: the first call
// builds all the tables, about 15 000 points of each of the ten windows; any other caller meanwhile
// waits for it); windowTable [any-thread] once prepareWindowTables has returned (from then on it
// only reads).
#pragma once

#include <cstdint>

// Builds the tables once per process.
void prepareWindowTables();

// The table of size code sizeCode (0..3: 1024..8192 points) for window code code; null for a code
// without a formula (0, 4, 12 and above, negative) or a size code outside 0..3.
const double* windowTable(int32_t code, int32_t sizeCode);

// kMaxFftSize zeros: the coefficients of an instance before its first window.
const double* noWindowTable();
