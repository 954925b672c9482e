// Zero-width line rasterisation with the pixel rules of the X server's thin lines, clipped exactly.
//
// A segment from (x0, y0) to (x1, y1) covers max(|dx|, |dy|) pixels: the start point and every step
// along the major axis up to, but not including, the end point (GDI's LineTo, X11's CapNotLast).
// At step i the minor axis has moved round(i * dminor / dmajor) pixels, halves rounded away from the
// start point. This is what Xvfb draws for line width 0, measured in all eight octants.
//
// Clipping jumps straight to the part of the segment inside the w x h rectangle, so a segment that
// starts or ends hundreds of thousands of pixels away costs only the pixels it draws, and the pixels
// inside are exactly those the unclipped walk would give, for any 32-bit end points.
// [any-thread, pure functions]
#pragma once

#include <cstdint>
#include <cstdlib>

namespace platform {

namespace raster_detail {

// Segment lengths reach 2^32 - 1 along either axis, so a product of two of them needs 64 unsigned bits
// and twice that product 65: every formula below is arranged so that no intermediate exceeds
// (2^32 - 1)^2 < 2^64 unsigned, or 2^35 signed.

// The smallest step i with round-half-up(i * dMinor / dMajor) > k, for 0 <= k < dMinor:
// ceil((2 k + 1) dMajor / (2 dMinor)), computed as q + ceil((2 r + dMajor) / (2 dMinor)) from
// k dMajor = q dMinor + r.
inline int64_t firstStepBeyond(int64_t k, int64_t dMinor, int64_t dMajor) {
    const uint64_t product = uint64_t(k) * uint64_t(dMajor);
    const uint64_t q = product / uint64_t(dMinor), r = product % uint64_t(dMinor);
    const uint64_t twice = 2 * uint64_t(dMinor);
    return int64_t(q + (2 * r + uint64_t(dMajor) + twice - 1) / twice);
}

// The steps i in [first, last] for which start + sign * offset(i) lies in [0, size).
// offset(i) = i for the major axis (major = true), round-half-up(i * dMinor / dMajor) otherwise.
inline void limitSteps(int64_t start, int sign, int64_t size, bool major, int64_t dMinor, int64_t dMajor,
                       int64_t& first, int64_t& last) {
    // Offsets o allowed: start + sign * o in [0, size - 1].
    const int64_t lo = sign > 0 ? -start : start - (size - 1);
    const int64_t hi = sign > 0 ? size - 1 - start : start;
    if (major) {
        if (lo > first) first = lo;
        if (hi < last) last = hi;
        return;
    }
    // The minor offset grows from 0 to at most dMinor: bounds outside that range cut nothing, and a
    // range that misses it leaves no step.
    if (lo > dMinor || hi < 0) {
        last = first - 1;
        return;
    }
    if (lo > 0) {  // offset(i) >= lo  <=>  i >= firstStepBeyond(lo - 1)
        const int64_t iLo = firstStepBeyond(lo - 1, dMinor, dMajor);
        if (iLo > first) first = iLo;
    }
    if (hi < dMinor) {  // offset(i) <= hi  <=>  i < firstStepBeyond(hi)
        const int64_t iHi = firstStepBeyond(hi, dMinor, dMajor) - 1;
        if (iHi < last) last = iHi;
    }
}

}  // namespace raster_detail

// Calls plot(x, y) for every pixel of the segment inside [0, w) x [0, h), in drawing order.
template <class Plot>
void rasteriseSegment(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int w, int h, Plot&& plot) {
    using namespace raster_detail;
    const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
    const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const bool xMajor = adx >= ady;
    const int64_t dMajor = xMajor ? adx : ady, dMinor = xMajor ? ady : adx;
    if (dMajor == 0 || w <= 0 || h <= 0) return;

    const bool inside = x0 >= 0 && y0 >= 0 && x1 >= 0 && y1 >= 0 && x0 < w && x1 < w && y0 < h && y1 < h;
    if (inside) {
        // The common case needs no clipping and no division: 32-bit arithmetic from step 0.
        const int32_t denom = int32_t(2 * dMajor), step = int32_t(2 * dMinor);
        int32_t remainder = int32_t(dMajor), offset = 0;
        const int32_t n = int32_t(dMajor);
        for (int32_t i = 0; i < n; ++i) {
            if (xMajor)
                plot(x0 + sx * i, y0 + sy * offset);
            else
                plot(x0 + sx * offset, y0 + sy * i);
            remainder += step;
            if (remainder >= denom) {
                remainder -= denom;
                ++offset;
            }
        }
        return;
    }

    int64_t first = 0, last = dMajor - 1;
    if (xMajor) {
        limitSteps(x0, sx, w, true, dMinor, dMajor, first, last);
        limitSteps(y0, sy, h, false, dMinor, dMajor, first, last);
    } else {
        limitSteps(y0, sy, h, true, dMinor, dMajor, first, last);
        limitSteps(x0, sx, w, false, dMinor, dMajor, first, last);
    }
    if (first > last) return;

    // Walk from the first visible step with the exact remainder of 2 i dMinor + dMajor over 2 dMajor,
    // found from first dMinor = q dMajor + r: the offset is q, plus one when 2 r >= dMajor.
    const int64_t denom = 2 * dMajor;
    const uint64_t product = uint64_t(first) * uint64_t(dMinor);
    const int64_t q = int64_t(product / uint64_t(dMajor)), r = int64_t(product % uint64_t(dMajor));
    int64_t offset = 2 * r >= dMajor ? q + 1 : q;
    int64_t remainder = 2 * r >= dMajor ? 2 * r - dMajor : 2 * r + dMajor;
    for (int64_t i = first; i <= last; ++i) {
        if (xMajor)
            plot(int(x0 + sx * i), int(y0 + sy * offset));
        else
            plot(int(x0 + sx * offset), int(y0 + sy * i));
        remainder += 2 * dMinor;
        if (remainder >= denom) {
            remainder -= denom;
            ++offset;
        }
    }
}

}  // namespace platform
