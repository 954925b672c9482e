#include "common/FullScale.h"

#include <emmintrin.h>

#include <cmath>

void toFullScaleBlock(const float* samples, int32_t* out, int count) {
    // Four at a time in single precision: scaling by 2^31 is as exact in floats as in doubles, and the
    // conversion rounds that same value the same way. NaN becomes +0 before converting. From 2^31 up
    // (1.0 and beyond) the conversion gives 0x80000000, and adding the all-ones mask of those lanes
    // turns it into INT32_MAX; -2^31 and below are clamped to -2^31 first.
    const __m128 scale = _mm_set1_ps(2147483648.0f), bottom = _mm_set1_ps(-2147483648.0f);
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128 scaled = _mm_mul_ps(_mm_loadu_ps(samples + i), scale);
        const __m128 number = _mm_and_ps(scaled, _mm_cmpord_ps(scaled, scaled));
        const __m128 over = _mm_cmpge_ps(number, scale);
        const __m128i converted = _mm_cvtps_epi32(_mm_max_ps(number, bottom));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_add_epi32(converted, _mm_castps_si128(over)));
    }
    for (; i < count; ++i) out[i] = toFullScale(double(samples[i]));
}

void toFullScaleBlock(const double* samples, size_t stride, int32_t* out, int count) {
    for (int i = 0; i < count; ++i) out[i] = toFullScale(samples[size_t(i) * stride]);
}

double levelToDb(int32_t x) {
    if (x == 0) return -66.66;
    return 20.0 * std::log10(std::fabs(double(x)) / 2147483647.0);
}
