// Audio samples in -1 .. 1 as the engine's full-scale 32-bit samples, as every host of the analyzer
// converts them: scaled by 2^31, rounded to nearest (ties to even), clamped to INT32_MIN .. INT32_MAX;
// NaN gives 0.
//
// Threads: [any-thread].
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

// sample * 2^31 rounded to nearest even (the default MXCSR mode) and clamped to the int32 range, NaN
// as 0. Clamping before the rounding gives what rounding and then clamping would: the bounds are whole.
inline int32_t toFullScale(double sample) {
    const __m128d scaled = _mm_mul_sd(_mm_set_sd(sample), _mm_set_sd(2147483648.0));
    const __m128d number = _mm_and_pd(scaled, _mm_cmpord_sd(scaled, scaled));  // NaN -> +0
    const __m128d clamped = _mm_max_sd(_mm_min_sd(number, _mm_set_sd(2147483647.0)), _mm_set_sd(-2147483648.0));
    return _mm_cvtsd_si32(clamped);
}

// toFullScale over a block: count samples into out. The double form reads every stride-th value (an
// interleaved channel).
void toFullScaleBlock(const float* samples, int32_t* out, int count);
void toFullScaleBlock(const double* samples, size_t stride, int32_t* out, int count);

// A level as the marker read-outs show it: 20 log10 (|x| / full scale) in dB; -66.66 for 0.
double levelToDb(int32_t x);
