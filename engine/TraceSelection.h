// What each trace shows: one input, or the sum or difference of two, by the trace's selection code.
//
//   1 off ("NULL"), 2..5 A, B, C, D, 6..11 A+B A+C A+D B+C B+D C+D, 12..17 A-B A-C A-D B-C B-D C-D;
//   18 and above fill nothing (the trace keeps its previous values).
//
// Pure functions; [any-thread].
#pragma once

#include <cmath>
#include <cstdint>

constexpr double LEVEL_MAX = 2147483647.0;
constexpr double LEVEL_MIN = -2147483648.0;

enum class Combination { None, Single, Sum, Difference };

struct TraceSelection {
    Combination combination = Combination::None;
    int first = 0;  // input 0..3 (A..D)
    int second = 0;  // second input of a sum or difference
};

inline TraceSelection selectionFor(int32_t code) {
    static const int pairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    if (code >= 2 && code <= 5) return {Combination::Single, code - 2, 0};
    if (code >= 6 && code <= 11) return {Combination::Sum, pairs[code - 6][0], pairs[code - 6][1]};
    if (code >= 12 && code <= 17) return {Combination::Difference, pairs[code - 12][0], pairs[code - 12][1]};
    return {};
}

inline double clampLevel(double value) {
    if (value > LEVEL_MAX) return LEVEL_MAX;
    if (value < LEVEL_MIN) return LEVEL_MIN;
    return value;
}

// Fills out[0 .. count - 1] from the rows of the inputs a selection needs. Sums and differences are
// formed in double precision and clamped to the 32-bit range; with absoluteDifferences a difference
// is made positive after clamping. Returns false (and writes nothing) for a selection without inputs.
template <typename Sample>
bool fillTrace(const TraceSelection& selection, const Sample* const rows[4], int count, bool absoluteDifferences,
               double* out) {
    const Sample* a = rows[selection.first];
    const Sample* b = rows[selection.second];
    switch (selection.combination) {
    case Combination::Single:
        for (int i = 0; i < count; ++i) out[i] = double(a[i]);
        return true;
    case Combination::Sum:
        for (int i = 0; i < count; ++i) out[i] = clampLevel(double(a[i]) + double(b[i]));
        return true;
    case Combination::Difference:
        if (absoluteDifferences) {
            for (int i = 0; i < count; ++i) out[i] = std::fabs(clampLevel(double(a[i]) - double(b[i])));
        } else {
            for (int i = 0; i < count; ++i) out[i] = clampLevel(double(a[i]) - double(b[i]));
        }
        return true;
    case Combination::None: break;
    }
    return false;
}
