#include "engine/LaneFft.h"

namespace {

// The lanes: GCC's vector types of doubles. Their +, -, *, / and unary minus are the IEEE operations
// lane by lane, and a double operand takes part in every lane as it is. Inside a function compiled for
// AVX a Lanes4 is one AVX register; elsewhere the build's SSE2 registers hold two lanes.
typedef double Lanes2 __attribute__((vector_size(16)));
typedef double Lanes4 __attribute__((vector_size(32)));

#define LANES_INLINE inline __attribute__((always_inline))

template <class V>
constexpr int kLanes = int(sizeof(V) / sizeof(double));

// The same types as they lie in a group: aligned as doubles, and allowed to alias them.
typedef double UnalignedLanes2 __attribute__((vector_size(16), aligned(8), may_alias));
typedef double UnalignedLanes4 __attribute__((vector_size(32), aligned(8), may_alias));

template <class V>
struct InMemory;
template <>
struct InMemory<Lanes2> {
    typedef UnalignedLanes2 type;
};
template <>
struct InMemory<Lanes4> {
    typedef UnalignedLanes4 type;
};

// The lanes at p, and point p of a group: the lanes consecutive doubles holding sample p of each block.
// (References, so that no function passes a vector by value: the AVX one would change the calling
// convention.)
template <class V>
LANES_INLINE typename InMemory<V>::type& at(double* p) {
    return *reinterpret_cast<typename InMemory<V>::type*>(p);
}

template <class V>
LANES_INLINE typename InMemory<V>::type& point(double* x, int32_t p) {
    return at<V>(x + p * kLanes<V>);
}

// What the butterflies read besides the data: the twiddle tables and the eighth-turn divisor.
struct Constants {
    RealFft::Twiddles twiddles;
    double sqrt2;
};

// --- The steps of RealFft::transform on whole points; each lane does what the scalar code does. ---

// 1. Bit-reversal permutation.
template <class V>
LANES_INLINE void swapPoints(double* x, RealFft::Permutation permutation) {
    for (int32_t p = 0; p < permutation.count; ++p) {
        const int32_t a = permutation.pairs[2 * p], b = permutation.pairs[2 * p + 1];
        const V t = point<V>(x, a);
        point<V>(x, a) = point<V>(x, b);
        point<V>(x, b) = t;
    }
}

// One general butterfly for family j with the twiddles of a (cc1, ss1) and 3a (cc3, ss3). Its points
// i1 = j - 1 and i2 = q - j + 1 are at `rising` and `falling`; i3, i5, i7 follow i1 and i4, i6, i8
// follow i2 a quarter (q points, `quarter` doubles) apart.
template <class V>
LANES_INLINE void generalButterfly(double* rising, double* falling, int32_t quarter, double cc1, double ss1, double cc3,
                                   double ss3) {
    double *const p1 = rising, *const p3 = p1 + quarter, *const p5 = p3 + quarter, *const p7 = p5 + quarter;
    double *const p2 = falling, *const p4 = p2 + quarter, *const p6 = p4 + quarter, *const p8 = p6 + quarter;
    const V x1 = at<V>(p1), x2 = at<V>(p2), x3 = at<V>(p3), x4 = at<V>(p4);
    const V x5 = at<V>(p5), x6 = at<V>(p6), x7 = at<V>(p7), x8 = at<V>(p8);
    const V t1 = x5 * cc1 + x6 * ss1;
    const V t2 = x6 * cc1 - x5 * ss1;
    const V t3 = x7 * cc3 + x8 * ss3;
    const V t4 = x8 * cc3 - x7 * ss3;
    const V t5 = t1 + t3;
    const V t6 = t2 + t4;
    const V u3 = t1 - t3;
    const V u2 = t2 - t4;
    at<V>(p1) = x1 + t5;
    at<V>(p4) = x1 - t5;
    at<V>(p8) = x4 + t6;
    at<V>(p5) = t6 - x4;
    at<V>(p7) = x3 - u3;
    at<V>(p6) = -x3 - u3;
    at<V>(p3) = x2 + u2;
    at<V>(p2) = x2 - u2;
}

// The L-shaped butterflies of length s on points 0 .. s - 1 have q = s/4 and r = s/8. The first family:
// the butterfly at offset 0 and, from s = 8 on, the eighth turn at offset r.
template <class V>
LANES_INLINE void firstFamily(double* x, int32_t s, const Constants& c) {
    const int32_t q = s / 4, r = s / 8;
    {
        const V x1 = point<V>(x, 0), x3 = point<V>(x, 2 * q), x4 = point<V>(x, 3 * q);
        const V t1 = x4 + x3;
        point<V>(x, 3 * q) = x4 - x3;
        point<V>(x, 2 * q) = x1 - t1;
        point<V>(x, 0) = x1 + t1;
    }
    if (q != 1) {
        const int32_t i1 = r, i2 = i1 + q, i3 = i2 + q, i4 = i3 + q;
        const V x1 = point<V>(x, i1), x2 = point<V>(x, i2), x3 = point<V>(x, i3), x4 = point<V>(x, i4);
        // x3 - x4: the scalar code's x3 + (-x4), which IEEE defines as the same.
        const V t1 = (x3 + x4) / c.sqrt2;
        const V t2 = (x3 - x4) / c.sqrt2;
        point<V>(x, i4) = x2 - t1;
        point<V>(x, i3) = -x2 - t1;
        point<V>(x, i2) = x1 - t2;
        point<V>(x, i1) = x1 + t2;
    }
}

// All L-shaped butterflies of length s: the first family, then the families j = 2 .. r.
template <class V>
LANES_INLINE void lShapedButterflies(double* x, int32_t s, int32_t k, const Constants& c) {
    firstFamily<V>(x, s, c);
    const int32_t q = s / 4, r = s / 8;
    // Entry j - 2 of each stage table (copied out of c: the stores to x may alias anything).
    const double *const cos1 = c.twiddles.cos1 + k, *const sin1 = c.twiddles.sin1 + k;
    const double *const cos3 = c.twiddles.cos3 + k, *const sin3 = c.twiddles.sin3 + k;
    double* rising = x + kLanes<V>;
    double* falling = x + (q - 1) * kLanes<V>;
    for (int32_t j = 2; j <= r; ++j, rising += kLanes<V>, falling -= kLanes<V>) {
        generalButterfly<V>(rising, falling, q * kLanes<V>, cos1[j - 2], sin1[j - 2], cos3[j - 2], sin3[j - 2]);
    }
}

// The whole sub-transform of 4 points at x: the length-two butterfly at 0 and the L-shaped one of
// length 4, on values held in registers.
template <class V>
LANES_INLINE void fourPoints(double* x) {
    const V x0 = point<V>(x, 0), x1 = point<V>(x, 1), x2 = point<V>(x, 2), x3 = point<V>(x, 3);
    const V a0 = x0 + x1;
    const V t1 = x3 + x2;
    point<V>(x, 0) = a0 + t1;
    point<V>(x, 1) = x0 - x1;
    point<V>(x, 2) = a0 - t1;
    point<V>(x, 3) = x3 - x2;
}

// The whole sub-transform of 8 points at x: the length-two butterflies at 0, 4 and 6, the L-shaped one
// of length 4 at 0, then that of length 8 (its first butterfly and the eighth turn).
template <class V>
LANES_INLINE void eightPoints(double* x, const Constants& c) {
    const V x0 = point<V>(x, 0), x1 = point<V>(x, 1), x4 = point<V>(x, 4), x5 = point<V>(x, 5);
    const V x6 = point<V>(x, 6), x7 = point<V>(x, 7);
    const V a0 = x0 + x1, a1 = x0 - x1, a4 = x4 + x5, a5 = x4 - x5, a6 = x6 + x7, a7 = x6 - x7;
    const V x2 = point<V>(x, 2), x3 = point<V>(x, 3);
    const V t1 = x3 + x2;
    const V b0 = a0 + t1, b3 = x3 - x2;
    point<V>(x, 2) = a0 - t1;
    const V u1 = a6 + a4;
    point<V>(x, 6) = a6 - a4;
    point<V>(x, 4) = b0 - u1;
    point<V>(x, 0) = b0 + u1;
    const V e1 = (a5 + a7) / c.sqrt2;
    const V e2 = (a5 - a7) / c.sqrt2;
    point<V>(x, 7) = b3 - e1;
    point<V>(x, 5) = -b3 - e1;
    point<V>(x, 3) = a1 - e2;
    point<V>(x, 1) = a1 + e2;
}

// 2. and 3. for a sub-transform of m points, stage by stage: the length-two butterflies, then the
// L-shaped stages s = 4 .. m with their blocks where the scalar transform's loops put them. From 16
// points on, the first stages are done as the sub-transforms of 8 and 4 points they make up: below
// each L block of 16 points one of 8 at its start and two of 4 at 8 and 12; below each L block of 32
// points two of 8 at 16 and 24.
template <class V>
LANES_INLINE void stageByStage(double* x, int32_t m, const Constants& c) {
    const int lanes = kLanes<V>;
    int32_t s = 4;
    if (m >= 16) {
        for (int32_t is = 0, id = 32; is < m; is = 2 * id - 16, id = 4 * id) {
            for (int32_t i = is; i < m; i += id) {
                eightPoints<V>(x + i * lanes, c);
                fourPoints<V>(x + (i + 8) * lanes);
                fourPoints<V>(x + (i + 12) * lanes);
            }
        }
        for (int32_t is = 0, id = 64; m >= 32 && is < m; is = 2 * id - 32, id = 4 * id) {
            for (int32_t i = is; i < m; i += id) {
                eightPoints<V>(x + (i + 16) * lanes, c);
                eightPoints<V>(x + (i + 24) * lanes, c);
            }
        }
        s = 16;
    } else {
        for (int32_t is = 0, id = 4; is < m - 1; is = 2 * id - 2, id = 4 * id) {
            for (int32_t i0 = is; i0 < m - 1; i0 += id) {
                const V a = point<V>(x, i0), b = point<V>(x, i0 + 1);
                point<V>(x, i0) = a + b;
                point<V>(x, i0 + 1) = a - b;
            }
        }
    }
    int32_t k = 0;
    for (; s <= m; s *= 2) {
        for (int32_t is = 0, id = 2 * s; is < m; is = 2 * id - s, id = 4 * id) {
            for (int32_t i = is; i < m; i += id) lShapedButterflies<V>(x + i * lanes, s, k, c);
        }
        if (s >= 16) k += s / 8 - 1;
    }
}

// 4. Normalisation by 1/N, as the scalar transform multiplies.
template <class V>
LANES_INLINE void scalePoints(double* x, int32_t n) {
    const double scale = 1.0 / n;
    for (int32_t i = 0; i < n; ++i) point<V>(x, i) = point<V>(x, i) * scale;
}

// The two instruction sets: the same steps compiled for SSE2 (the build's own target) and for AVX
// (these functions only; called only where the processor has it).
struct Sse2Lanes {
    static constexpr int kLanes = 2;
    static void permute(double* x, RealFft::Permutation p) { swapPoints<Lanes2>(x, p); }
    static void stages(double* x, int32_t m, const Constants& c) { stageByStage<Lanes2>(x, m, c); }
    static void lShaped(double* x, int32_t m, int32_t k, const Constants& c) { lShapedButterflies<Lanes2>(x, m, k, c); }
    static void normalise(double* x, int32_t n) { scalePoints<Lanes2>(x, n); }
};

struct AvxLanes {
    static constexpr int kLanes = 4;
    __attribute__((target("avx"))) static void permute(double* x, RealFft::Permutation p) { swapPoints<Lanes4>(x, p); }
    __attribute__((target("avx"))) static void stages(double* x, int32_t m, const Constants& c) {
        stageByStage<Lanes4>(x, m, c);
    }
    __attribute__((target("avx"))) static void lShaped(double* x, int32_t m, int32_t k, const Constants& c) {
        lShapedButterflies<Lanes4>(x, m, k, c);
    }
    __attribute__((target("avx"))) static void normalise(double* x, int32_t n) { scalePoints<Lanes4>(x, n); }
};

// Sub-transforms of up to this many bytes run stage by stage: they stay in the first-level cache. A
// larger one of m points is one split-radix step: the sub-transforms of m/2 points at 0 and of m/4 points
// at m/2 and 3m/4, then the L-shaped butterflies of length m over all of them. Those are the blocks
// the stage-by-stage loops visit, each after the blocks whose results it reads.
constexpr int32_t kCachedBytes = 16 * 1024;

template <class Lanes>
void splitRadix(double* x, int32_t m, const Constants& c) {
    if (m * Lanes::kLanes * int32_t(sizeof(double)) <= kCachedBytes) {
        Lanes::stages(x, m, c);
        return;
    }
    splitRadix<Lanes>(x, m / 2, c);
    splitRadix<Lanes>(x + m / 2 * Lanes::kLanes, m / 4, c);
    splitRadix<Lanes>(x + 3 * (m / 4) * Lanes::kLanes, m / 4, c);
    Lanes::lShaped(x, m, RealFft::tableLengthFor(m / 2), c);
}

// The groups one after the other; lanes without a block of their own start from zeros.
template <class Lanes>
void transformGroups(const RealFft& fft, double* x, int blocks) {
    const int32_t n = fft.size();
    const int lanes = Lanes::kLanes;
    const Constants c{fft.twiddles(), fft.sqrt2Divisor()};
    for (int first = 0; first < blocks; first += lanes) {
        double* group = x + first * n;
        for (int lane = blocks - first; lane < lanes; ++lane) {
            for (int32_t i = 0; i < n; ++i) group[i * lanes + lane] = 0.0;
        }
        Lanes::permute(group, fft.permutation());
        splitRadix<Lanes>(group, n, c);
        Lanes::normalise(group, n);
    }
}

}  // namespace

namespace laneFft {
namespace {

// Asked once, while the library is loaded, before any thread of it runs: a plain constant for the
// workers to read (a function-local static would take a guard on every worker's first call).
const bool kAvxAvailable = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
}();

}  // namespace

bool avxAvailable() { return kAvxAvailable; }

Path fastestPath() { return avxAvailable() ? Path::Avx : Path::Sse2; }

void transform(const RealFft& fft, double* x, int blocks, Path path) {
    if (!fft.isReady() || blocks < 1 || blocks > kMaxBlocks) return;
    if (path == Path::Avx) {
        if (avxAvailable()) transformGroups<AvxLanes>(fft, x, blocks);
    } else {
        transformGroups<Sse2Lanes>(fft, x, blocks);
    }
}

}  // namespace laneFft
