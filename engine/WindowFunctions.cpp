#include "engine/WindowFunctions.h"

#include "engine/MathConstants.h"

#include <cmath>

namespace {

// Writes coefficient(i, D) for i = 0 .. count - 1 with D = count - 1 as a double.
template <typename Coefficient>
void fillEach(double* table, int32_t count, Coefficient coefficient) {
    if (count <= 0) return;
    if (count == 1) {
        table[0] = 1.0;
        return;
    }
    const double d = count - 1;
    for (int32_t i = 0; i < count; ++i) table[i] = coefficient(static_cast<double>(i), d);
}

// The four-term cosine sum a0 - a1 cos(x) + a2 cos(2x) - a3 cos(3x) at x = 2 pi i / D, evaluated term
// by term from the left (the order keeps the results bit for bit).
double cosineSum(double i, double d, double a0, double a1, double a2, double a3) {
    return a0 - a1 * std::cos(i * TWO_PI_APPROX / d) + a2 * std::cos(i * TWO_PI_APPROX_X2 / d) -
           a3 * std::cos(i * TWO_PI_APPROX_X3 / d);
}

}  // namespace

void fillHann(double* table, int32_t count) {
    fillEach(table, count, [](double i, double d) { return (1.0 - std::cos(i * TWO_PI_APPROX / d)) * 0.5; });
}

void fillHamming(double* table, int32_t count) {
    fillEach(table, count, [](double i, double d) { return 0.53836 - 0.46164 * std::cos(i * TWO_PI_APPROX / d); });
}

// x is sampled symmetrically with both ends on the table: x = 2i/D - 1, so w[0] and w[count - 1] sit at
// x = -1 and x = +1 (both about 0) and the table is symmetric about its middle.
void fillBohman(double* table, int32_t count) {
    fillEach(table, count, [](double i, double d) {
        const double ax = std::fabs(2.0 * i / d - 1.0);
        return (1.0 - ax) * std::cos(PI_APPROX * ax) + std::sin(PI_APPROX * ax) / PI_APPROX;
    });
}

void fillBartlett(double* table, int32_t count) {
    fillEach(table, count, [](double i, double d) { return 1.0 - std::fabs(2.0 * i / d - 1.0); });
}

void fillBlackman(double* table, int32_t count) {
    fillEach(table, count, [](double i, double d) {
        return 0.42 - 0.5 * std::cos(i * TWO_PI_APPROX / d) + 0.08 * std::cos(i * TWO_PI_APPROX_X2 / d);
    });
}

void fillBlackmanHarris(double* table, int32_t count) {
    fillEach(table, count, [](double i, double d) { return cosineSum(i, d, 0.35875, 0.48829, 0.14128, 0.01168); });
}

void fillBlackmanNuttall(double* table, int32_t count) {
    fillEach(table, count,
             [](double i, double d) { return cosineSum(i, d, 0.3635819, 0.4891775, 0.1365995, 0.0106411); });
}

void fillNuttall(double* table, int32_t count) {
    fillEach(table, count, [](double i, double d) { return cosineSum(i, d, 0.355768, 0.487396, 0.144232, 0.012604); });
}

void fillFlatTop(double* table, int32_t count) {
    fillEach(table, count, [](double i, double d) {
        return 1.0 - 1.93 * std::cos(i * TWO_PI_APPROX / d) + 1.29 * std::cos(i * TWO_PI_APPROX_X2 / d) -
               0.388 * std::cos(i * TWO_PI_APPROX_X3 / d) + 0.032 * std::cos(i * TWO_PI_APPROX_X4 / d);
    });
}

void fillCosine(double* table, int32_t count) {
    fillEach(table, count, [](double i, double d) { return std::sin(i * PI_APPROX / d); });
}

bool fillWindow(double* table, int32_t count, int32_t code) {
    switch (code) {
    case WINDOW_HANN: fillHann(table, count); return true;
    case WINDOW_HAMMING: fillHamming(table, count); return true;
    case WINDOW_BOHMAN: fillBohman(table, count); return true;
    case WINDOW_BARTLETT: fillBartlett(table, count); return true;
    case WINDOW_BLACKMAN: fillBlackman(table, count); return true;
    case WINDOW_BLACKMAN_HARRIS: fillBlackmanHarris(table, count); return true;
    case WINDOW_BLACKMAN_NUTTALL: fillBlackmanNuttall(table, count); return true;
    case WINDOW_NUTTALL: fillNuttall(table, count); return true;
    case WINDOW_FLAT_TOP: fillFlatTop(table, count); return true;
    case WINDOW_COSINE: fillCosine(table, count); return true;
    default: return false;  // no window, or a code without a formula: table untouched
    }
}
