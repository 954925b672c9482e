#pragma once

#include "engine/RealFft.h"

#include <cstdint>

// RealFft's transform of up to four blocks of one size at once, one block per SIMD lane of doubles: two
// lanes per SSE2 register, or four per AVX register where the processor has AVX (asked at run time;
// the build itself assumes only SSE2). Every lane does exactly the operations of RealFft::transform in
// the same order, with the same tables and constants, so each block comes out bit for bit as the scalar
// transform makes it. Only the order in which independent butterflies run differs: large transforms
// are split into sub-transforms small enough for the cache, and those of 4 and 8 points are done whole
// on values in registers.
//
// Layout: the blocks lie in groups of lanesOf(path) blocks, each group lanes * n doubles with its blocks
// interleaved: block b's sample i is at x[offsetOf(path, n, b) + i * lanesOf(path)]. Lanes of the last
// group beyond the blocks given are scratch: the transform fills them with zeros first. `blocks` blocks
// take capacity(path, n, blocks) doubles at x; 32-byte alignment of x is fastest.
//
// Threads: [any-thread]. The functions keep no state; the RealFft is only read, so one thread may use it
// while no other resizes it (RealFft's own rule).
namespace laneFft {

enum class Path { Sse2, Avx };

constexpr int kMaxBlocks = 4;

// True when the processor and the operating system run AVX instructions. Worked out once.
bool avxAvailable();

// The widest path this processor runs.
Path fastestPath();

constexpr int lanesOf(Path path) { return path == Path::Avx ? 4 : 2; }

constexpr int32_t offsetOf(Path path, int32_t n, int block) {
    const int lanes = lanesOf(path);
    return (block / lanes) * lanes * n + block % lanes;
}

constexpr int32_t capacity(Path path, int32_t n, int blocks) {
    const int lanes = lanesOf(path);
    return (blocks + lanes - 1) / lanes * lanes * n;
}

// Transforms `blocks` (1 .. kMaxBlocks) blocks of fft.size() points at x in place, each exactly as
// fft.transform would. Does nothing when fft is not ready, blocks is out of range, or path is Avx on a
// processor without it. Allocates nothing.
void transform(const RealFft& fft, double* x, int blocks, Path path);

}  // namespace laneFft
