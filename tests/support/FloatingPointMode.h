// The calling thread's floating-point mode, as a host would check that a call left it alone: the
// x87 control word and the MXCSR without its exception flags.
#pragma once

#include <cstdint>

struct FloatingPointMode {
    uint16_t x87 = 0;
    uint32_t sse = 0;
    bool operator==(const FloatingPointMode& o) const { return x87 == o.x87 && sse == o.sse; }
};

inline FloatingPointMode currentFloatingPointMode() {
    FloatingPointMode mode;
    __asm__ volatile("fnstcw %0" : "=m"(mode.x87));
    __asm__ volatile("stmxcsr %0" : "=m"(mode.sse));
    mode.sse &= ~0x3Fu;
    return mode;
}
