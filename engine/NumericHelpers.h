#pragma once

#include <emmintrin.h>

#include <cmath>
#include <cstdint>

// Small numeric helpers for mapping transform bins and levels onto display positions. Pure, no state,
// callable from any thread.

// (1 - t) a + t b.
inline double lerp(double a, double b, double t) { return (1.0 - t) * a + t * b; }

// Where v lies between lo and hi: (v - lo) / (hi - lo); 0 when hi equals lo.
inline double normalise(double lo, double v, double hi) {
    if (hi == lo) return 0.0;
    return (v - lo) / (hi - lo);
}

// A finite value within the 32-bit range, truncated toward zero; the sign of zero is kept, as with
// std::trunc, without its library call.
inline double truncateInRange(double value) { return std::copysign(double(int32_t(value)), value); }

// Quadratic Bezier with its first control value at 0: 2t(1 - t) p1 + t^2 p2.
inline double quadBezier(double p1, double p2, double t) { return 2.0 * t * (1.0 - t) * p1 + t * t * p2; }

// Cubic Bezier: (1 - t)^3 p0 + 3 (1 - t)^2 t p1 + 3 (1 - t) t^2 p2 + t^3 p3.
inline double cubicBezier(double p0, double p1, double p2, double p3, double t) {
    const double u = 1.0 - t;
    return u * u * u * p0 + 3.0 * u * u * t * p1 + 3.0 * u * t * t * p2 + t * t * t * p3;
}

// The element of values[first .. last] (inclusive) with the largest magnitude, with its sign. Scans
// upward from a result of 0 and replaces it only on a strictly larger magnitude, so the first of equal
// magnitudes wins; an all-zero range, or last < first, gives 0. A NaN is never taken.
//
// Done in two scans that give the same element: the largest magnitude, two bins at a time, then the
// first bin that has it. Whether one bin is larger than the ones before is as good as random along a
// spectrum: a branch on it per bin mispredicts more than the whole scan costs.
inline double absPeak(const double* values, int32_t first, int32_t last) {
    if (last < first) return 0.0;
    const __m128d signBits = _mm_set1_pd(-0.0);
    __m128d largest = _mm_setzero_pd();
    int32_t i = first;
    for (; i < last; i += 2)  // the old largest stays where a magnitude is NaN
        largest = _mm_max_pd(_mm_andnot_pd(signBits, _mm_loadu_pd(values + i)), largest);
    if (i == last) largest = _mm_max_pd(_mm_andnot_pd(signBits, _mm_load_sd(values + i)), largest);
    const double peakMagnitude = _mm_cvtsd_f64(_mm_max_sd(_mm_unpackhi_pd(largest, largest), largest));
    if (!(peakMagnitude > 0.0)) return 0.0;
    for (i = first; std::fabs(values[i]) != peakMagnitude; ++i) {}
    return values[i];
}
