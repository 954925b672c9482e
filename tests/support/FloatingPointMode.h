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

// Unmasks (or masks again) the traps of invalid operations, division by zero and overflow in both
// units, as a host built that way runs; pending flags are cleared first.
inline void unmaskFloatingPointTraps(bool unmask) {
    uint16_t x87 = 0;
    uint32_t sse = 0;
    __asm__ volatile("fnstcw %0" : "=m"(x87));
    x87 = unmask ? uint16_t(x87 & ~0x0Du) : uint16_t(x87 | 0x0Du);
    __asm__ volatile("fnclex");
    __asm__ volatile("fldcw %0" : : "m"(x87));
    __asm__ volatile("stmxcsr %0" : "=m"(sse));
    sse &= ~0x3Fu;
    sse = unmask ? sse & ~0x680u : sse | 0x680u;
    __asm__ volatile("ldmxcsr %0" : : "m"(sse));
}
