// The floating-point mode the module computes in, whatever mode the calling thread is in.
//
// A host may run with floating-point exceptions unmasked (debug builds and some languages do), or
// with another rounding or precision. A guard saves the thread's x87 environment and MXCSR, computes
// in the default mode (every exception masked, round to nearest, the x87 at double-extended
// precision), on the audio path also with denormals flushed to zero and read as zero, and gives the
// thread back exactly the state it had, its exception flags included, when it goes.
//
// Threads: [any-thread]; a guard belongs to the thread that made it.
#pragma once

#include <cstdint>

class FloatingPointGuard {
public:
    enum Denormals { kKeepDenormals, kFlushDenormals };

    explicit FloatingPointGuard(Denormals denormals = kKeepDenormals) noexcept {
#if defined(__i386__) || defined(__x86_64__)
        // fnstenv also masks every x87 exception; the control word then sets the rest of the mode.
        const uint16_t x87Default = 0x037F;  // all masked, 64-bit mantissa, round to nearest
        uint32_t mine = 0x1F80;  // all masked, round to nearest, flags clear
        if (denormals == kFlushDenormals) mine |= 0x8040;  // flush to zero, denormals are zero
        __asm__ volatile("fnstenv %0" : "=m"(x87_));
        __asm__ volatile("fldcw %0" : : "m"(x87Default));
        __asm__ volatile("stmxcsr %0" : "=m"(mxcsr_));
        __asm__ volatile("ldmxcsr %0" : : "m"(mine));
#else
        (void)denormals;
#endif
    }

    ~FloatingPointGuard() {
#if defined(__i386__) || defined(__x86_64__)
        __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr_));
        __asm__ volatile("fldenv %0" : : "m"(x87_));
#endif
    }

    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

private:
#if defined(__i386__) || defined(__x86_64__)
    unsigned char x87_[28];  // the x87 environment: control, status and tag words, last instruction
    uint32_t mxcsr_ = 0;
#endif
};
