#pragma once

#include <cstdint>

// Window functions that weight a captured block before the transform. Each fill function writes
// table[0 .. count - 1] with D = count - 1 and a = i * TWO_PI_APPROX / D; the angles 2a, 3a and 4a are
// formed as i * (k * 2pi constant) / D. No window is normalised for gain.
//
// Pure functions: no state, no allocation; callable from any thread ([main-thread] or [audio-thread]).
// count <= 0 writes nothing; count == 1 writes the single coefficient 1 (a one-point block is left as
// it is) instead of dividing by D = 0.

// Window codes as the panel's "Window" box publishes them (item id minus one).
enum WindowType : int32_t {
    WINDOW_NONE = 0,
    WINDOW_HANN = 1,
    WINDOW_HAMMING = 2,
    WINDOW_BOHMAN = 3,
    // 4 has no panel item and no formula.
    WINDOW_BARTLETT = 5,
    WINDOW_BLACKMAN = 6,
    WINDOW_BLACKMAN_HARRIS = 7,
    WINDOW_BLACKMAN_NUTTALL = 8,
    WINDOW_NUTTALL = 9,
    WINDOW_FLAT_TOP = 10,
    WINDOW_COSINE = 11,
};

// Fills the table with the window of the given code. Codes without a formula (0, 4, 12 and above,
// negative) leave the table untouched. Returns true when it wrote the table.
bool fillWindow(double* table, int32_t count, int32_t code);

void fillHann(double* table, int32_t count);  // (1 - cos a) * 0.5
void fillHamming(double* table, int32_t count);  // 0.53836 - 0.46164 cos a
void fillBohman(double* table, int32_t count);  // (1 - |x|) cos(pi |x|) + sin(pi |x|) / pi
void fillBartlett(double* table, int32_t count);  // 1 - |2i/D - 1|
void fillBlackman(double* table, int32_t count);  // 0.42 - 0.5 cos a + 0.08 cos 2a
void fillBlackmanHarris(double* table, int32_t count);
void fillBlackmanNuttall(double* table, int32_t count);
void fillNuttall(double* table, int32_t count);
void fillFlatTop(double* table, int32_t count);  // peaks at about 4.64
void fillCosine(double* table, int32_t count);  // sin(i * PI_APPROX / D)
