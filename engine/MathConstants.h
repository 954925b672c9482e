#pragma once

#include <cfloat>

// The transform and the window tables must come out bit for bit the same on every machine: that needs
// plain IEEE double arithmetic with every intermediate rounded to double (SSE2 on i386, not x87).
static_assert(FLT_EVAL_METHOD == 0, "build with -msse2 -mfpmath=sse: intermediates must be plain doubles");

// Angle and root constants shared by the transform and the window functions.
//
// They are deliberately the 11-decimal approximations, not the full-precision values: the twiddle
// tables and the window coefficients are defined in terms of these exact doubles, so every user must
// take them from here and never from <cmath> or a longer literal.

constexpr double TWO_PI_APPROX = 6.28318530718;
constexpr double PI_APPROX = 3.14159265359;
constexpr double SQRT2_APPROX = 1.41421356237;

// The angle multiples used by the window functions for 2a, 3a and 4a. They are the doubles that
// k * TWO_PI_APPROX rounds to, written out so the angle is formed as i * constant / D.
constexpr double TWO_PI_APPROX_X2 = 12.56637061436;
constexpr double TWO_PI_APPROX_X3 = 18.849555921540002;
constexpr double TWO_PI_APPROX_X4 = 25.13274122872;

static_assert(TWO_PI_APPROX_X2 == 2.0 * TWO_PI_APPROX, "2 * 2pi constant drifted");
static_assert(TWO_PI_APPROX_X3 == 3.0 * TWO_PI_APPROX, "3 * 2pi constant drifted");
static_assert(TWO_PI_APPROX_X4 == 4.0 * TWO_PI_APPROX, "4 * 2pi constant drifted");
