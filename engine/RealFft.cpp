#include "engine/RealFft.h"

#include "engine/MathConstants.h"

#include <cmath>
#include <new>

#include <emmintrin.h>

namespace {

bool isValidSize(int32_t n) { return n >= 4 && n <= RealFft::MAX_SIZE && (n & (n - 1)) == 0; }

// --- Butterflies of one L-shaped block starting at index i, with q = s/4 and r = s/8. ---

// The first family: the butterfly at offset 0 and, from s = 8 on, the one at offset r whose twiddle is
// the eighth turn handled with sqrt2.
inline void firstFamily(double* x, int i, int q, int r, double sqrt2) {
    {
        const int i1 = i, i3 = i + 2 * q, i4 = i + 3 * q;
        const double t1 = x[i4] + x[i3];
        x[i4] = x[i4] - x[i3];
        x[i3] = x[i1] - t1;
        x[i1] = x[i1] + t1;
    }
    if (q != 1) {
        const int i1 = i + r, i2 = i1 + q, i3 = i2 + q, i4 = i3 + q;
        // Both quotients with one packed division: lane 0 is (x3 + x4) / sqrt2, lane 1 is
        // (x3 + (-x4)) / sqrt2, which IEEE defines as exactly (x3 - x4) / sqrt2.
        const __m128d sum = _mm_add_pd(_mm_set1_pd(x[i3]), _mm_set_pd(-x[i4], x[i4]));
        const __m128d quotient = _mm_div_pd(sum, _mm_set1_pd(sqrt2));
        const double t1 = _mm_cvtsd_f64(quotient);
        const double t2 = _mm_cvtsd_f64(_mm_unpackhi_pd(quotient, quotient));
        x[i4] = x[i2] - t1;
        x[i3] = -x[i2] - t1;
        x[i2] = x[i1] - t2;
        x[i1] = x[i1] + t2;
    }
}

// One general butterfly for family j with the twiddles of a (cc1, ss1) and 3a (cc3, ss3).
inline void generalButterfly(double* x, int i, int j, int q, double cc1, double ss1, double cc3, double ss3) {
    const int i1 = i + j - 1, i2 = i - j + q + 1;
    const int i3 = i1 + q, i4 = i2 + q, i5 = i3 + q, i6 = i4 + q, i7 = i5 + q, i8 = i6 + q;
    const double x1 = x[i1], x2 = x[i2], x3 = x[i3], x4 = x[i4];
    const double x5 = x[i5], x6 = x[i6], x7 = x[i7], x8 = x[i8];
    const double t1 = x5 * cc1 + x6 * ss1;
    const double t2 = x6 * cc1 - x5 * ss1;
    const double t3 = x7 * cc3 + x8 * ss3;
    const double t4 = x8 * cc3 - x7 * ss3;
    const double t5 = t1 + t3;
    const double t6 = t2 + t4;
    const double u3 = t1 - t3;
    const double u2 = t2 - t4;
    x[i1] = x1 + t5;
    x[i4] = x1 - t5;
    x[i8] = x4 + t6;
    x[i5] = t6 - x4;
    x[i7] = x3 - u3;
    x[i6] = -x3 - u3;
    x[i3] = x2 + u2;
    x[i2] = x2 - u2;
}

// Two neighbouring families j and j + 1 at once, one per SSE2 lane. Lane 0 is family j, lane 1 family
// j + 1. Positions i1, i3, i5, i7 rise with j, so both lanes load as they lie in memory; positions i2,
// i4, i6, i8 fall with j, so those pairs are loaded and stored with their halves swapped. Every lane
// does the same IEEE operations in the same order as generalButterfly, so the results are identical
// to two scalar calls.
inline __m128d loadFalling(const double* p) {
    const __m128d v = _mm_loadu_pd(p - 1);
    return _mm_shuffle_pd(v, v, 1);
}

inline void storeFalling(double* p, __m128d v) { _mm_storeu_pd(p - 1, _mm_shuffle_pd(v, v, 1)); }

inline void generalButterflyPair(double* x, int i, int j, int q, __m128d cc1, __m128d ss1, __m128d cc3, __m128d ss3) {
    const __m128d signBit = _mm_set1_pd(-0.0);
    const int i1 = i + j - 1, i2 = i - j + q + 1;
    const int i3 = i1 + q, i4 = i2 + q, i5 = i3 + q, i6 = i4 + q, i7 = i5 + q, i8 = i6 + q;
    const __m128d x1 = _mm_loadu_pd(x + i1), x2 = loadFalling(x + i2);
    const __m128d x3 = _mm_loadu_pd(x + i3), x4 = loadFalling(x + i4);
    const __m128d x5 = _mm_loadu_pd(x + i5), x6 = loadFalling(x + i6);
    const __m128d x7 = _mm_loadu_pd(x + i7), x8 = loadFalling(x + i8);
    const __m128d t1 = _mm_add_pd(_mm_mul_pd(x5, cc1), _mm_mul_pd(x6, ss1));
    const __m128d t2 = _mm_sub_pd(_mm_mul_pd(x6, cc1), _mm_mul_pd(x5, ss1));
    const __m128d t3 = _mm_add_pd(_mm_mul_pd(x7, cc3), _mm_mul_pd(x8, ss3));
    const __m128d t4 = _mm_sub_pd(_mm_mul_pd(x8, cc3), _mm_mul_pd(x7, ss3));
    const __m128d t5 = _mm_add_pd(t1, t3);
    const __m128d t6 = _mm_add_pd(t2, t4);
    const __m128d u3 = _mm_sub_pd(t1, t3);
    const __m128d u2 = _mm_sub_pd(t2, t4);
    _mm_storeu_pd(x + i1, _mm_add_pd(x1, t5));
    storeFalling(x + i4, _mm_sub_pd(x1, t5));
    storeFalling(x + i8, _mm_add_pd(x4, t6));
    _mm_storeu_pd(x + i5, _mm_sub_pd(t6, x4));
    _mm_storeu_pd(x + i7, _mm_sub_pd(x3, u3));
    storeFalling(x + i6, _mm_sub_pd(_mm_xor_pd(x3, signBit), u3));  // -x3 - u3, sign flip as in scalar
    _mm_storeu_pd(x + i3, _mm_add_pd(x2, u2));
    storeFalling(x + i2, _mm_sub_pd(x2, u2));
}

// Stage by stage, s = 4, 8, ..., n: the angles e, 2e, ..., (s/8 - 1)e with e = 2pi/s, stored one
// stage after another.
void fillTwiddles(int32_t n, double* cos1Table, double* sin1Table, double* cos3Table, double* sin3Table) {
    int32_t idx = 0;
    for (int32_t s = 4; s <= n; s *= 2) {
        const double e = TWO_PI_APPROX / s;
        double angle = e;
        for (int32_t j = 2; j <= s / 8; ++j) {
            cos1Table[idx] = std::cos(angle);
            sin1Table[idx] = std::sin(angle);
            cos3Table[idx] = std::cos(3 * angle);
            sin3Table[idx] = std::sin(3 * angle);
            angle = j * e;
            ++idx;
        }
    }
}

// The swaps are disjoint, so their order is free. Large sizes visit them grouped for the cache: with
// the index split into its top three bits, middle bits and low three bits, one group fixes the middle
// bits and runs through all 64 top/low combinations, so both partners of the group's swaps lie in 8 + 8
// whole 64-byte lines instead of being scattered over the block.
void fillSwapPairs(int32_t n, int32_t* swapPairs) {
    int bits = 0;
    while ((1 << bits) < n) ++bits;
    // The low `bits` bits of v in reverse order: all 32 bits reversed by swapping ever smaller halves,
    // then shifted down.
    auto reversed = [bits](int32_t v) {
        uint32_t r = uint32_t(v);
        r = (r >> 16) | (r << 16);
        r = ((r >> 8) & 0x00FF00FFu) | ((r & 0x00FF00FFu) << 8);
        r = ((r >> 4) & 0x0F0F0F0Fu) | ((r & 0x0F0F0F0Fu) << 4);
        r = ((r >> 2) & 0x33333333u) | ((r & 0x33333333u) << 2);
        r = ((r >> 1) & 0x55555555u) | ((r & 0x55555555u) << 1);
        return bits == 0 ? 0 : int32_t(r >> (32 - bits));
    };
    int32_t pair = 0;
    auto visit = [&](int32_t a) {
        const int32_t b = reversed(a);
        if (a < b) {
            swapPairs[2 * pair] = a;
            swapPairs[2 * pair + 1] = b;
            ++pair;
        }
    };
    if (bits < 8) {
        for (int32_t a = 0; a < n; ++a) visit(a);
        return;
    }
    const int midBits = bits - 6;
    for (int32_t mid = 0; mid < (1 << midBits); ++mid) {
        for (int32_t high = 0; high < 8; ++high) {
            for (int32_t low = 0; low < 8; ++low) visit((high << (bits - 3)) | (mid << 3) | low);
        }
    }
}

// The tables of the analyzer's transform sizes, in static storage, built on first use. Every stage's
// angles depend only on the stage's length, so the twiddles of a smaller size are the first entries
// of those of 8192 points: one set serves all four. The swap pairs differ per size.
// Threads: the first caller builds them (the function-local static makes any other caller wait),
// everyone afterwards only reads.
constexpr int32_t kSharedSizes[] = {1024, 2048, 4096, 8192};
constexpr int32_t kSharedTwiddles = RealFft::tableLengthFor(8192);
constexpr int32_t kSharedSwapPairs = RealFft::swapCountFor(1024) + RealFft::swapCountFor(2048) +
                                     RealFft::swapCountFor(4096) + RealFft::swapCountFor(8192);

struct SharedTables {
    const int32_t* swapPairs;
    int32_t swapCount;
};

double sharedTwiddles[4][kSharedTwiddles];  // cos(a), sin(a), cos(3a), sin(3a)
int32_t sharedSwapPairs[2 * kSharedSwapPairs];

const SharedTables* buildSharedTables() {
    static SharedTables tables[4];
    fillTwiddles(8192, sharedTwiddles[0], sharedTwiddles[1], sharedTwiddles[2], sharedTwiddles[3]);
    int32_t pair = 0;
    for (int size = 0; size < 4; ++size) {
        const int32_t n = kSharedSizes[size];
        fillSwapPairs(n, &sharedSwapPairs[2 * pair]);
        tables[size] = {&sharedSwapPairs[2 * pair], RealFft::swapCountFor(n)};
        pair += tables[size].swapCount;
    }
    return tables;
}

// The shared tables for n points, or nullptr when n is not one of the shared sizes.
const SharedTables* sharedTablesFor(int32_t n) {
    for (int size = 0; size < 4; ++size) {
        if (kSharedSizes[size] != n) continue;
        static const SharedTables* const tables = buildSharedTables();
        return &tables[size];
    }
    return nullptr;
}

}  // namespace

RealFft::~RealFft() { release(); }

bool RealFft::initialise(int32_t n) {
    release();
    if (!isValidSize(n)) return false;

    N = n;
    tableLength = tableLengthFor(n);
    twoPi = TWO_PI_APPROX;
    sqrt2 = SQRT2_APPROX;
    if (useSharedTables(n)) {
        ready = true;
        return true;
    }

    // Tables of its own: each pointer is stored as soon as its block exists, so release() frees
    // whatever a failure part way leaves behind.
    ownsTables = true;
    auto allocate = [this](const double*& field) {
        double* table = new (std::nothrow) double[tableLength];
        field = table;
        return table;
    };
    double* const cos1 = allocate(cos1Table);
    if (cos1 == nullptr) return false;
    double* const sin1 = allocate(sin1Table);
    if (sin1 == nullptr) return false;
    double* const cos3 = allocate(cos3Table);
    if (cos3 == nullptr) return false;
    double* const sin3 = allocate(sin3Table);
    if (sin3 == nullptr) return false;
    fillTwiddles(n, cos1, sin1, cos3, sin3);

    swapCount = swapCountFor(n);
    int32_t* pairs = new (std::nothrow) int32_t[2 * swapCount];
    swapPairs = pairs;
    if (pairs == nullptr) return false;
    fillSwapPairs(n, pairs);

    ready = true;
    return true;
}

bool RealFft::useSharedTables(int32_t n) {
    const SharedTables* shared = sharedTablesFor(n);
    if (shared == nullptr) return false;
    cos1Table = sharedTwiddles[0];
    sin1Table = sharedTwiddles[1];
    cos3Table = sharedTwiddles[2];
    sin3Table = sharedTwiddles[3];
    swapPairs = shared->swapPairs;
    swapCount = shared->swapCount;
    return true;
}

void RealFft::release() {
    ready = false;
    if (ownsTables) {
        delete[] cos1Table;
        delete[] sin1Table;
        delete[] cos3Table;
        delete[] sin3Table;
        delete[] swapPairs;
    }
    ownsTables = false;
    cos1Table = sin1Table = cos3Table = sin3Table = nullptr;
    swapPairs = nullptr;
    swapCount = 0;
}

// The butterflies of one stage touch disjoint positions and read only what earlier stages wrote, so
// they may run in any order. This walks each L-shaped block once and does all of its butterflies
// (first family, then the general families j = 2 .. s/8) while the block is in cache; the arithmetic
// of every butterfly is exactly that of the textbook loop order.
double* RealFft::transform(double* x) {
    if (!ready) return x;
    const int n = N;

    // 1. Bit-reversal permutation.
    for (int32_t p = 0; p < swapCount; ++p) {
        const int32_t a = swapPairs[2 * p], b = swapPairs[2 * p + 1];
        const double t = x[a];
        x[a] = x[b];
        x[b] = t;
    }

    // 2. Length-two butterflies.
    for (int is = 0, id = 4; is < n - 1; is = 2 * id - 2, id = 4 * id) {
        for (int i0 = is; i0 < n - 1; i0 += id) {
            const double a = x[i0], b = x[i0 + 1];
            x[i0] = a + b;
            x[i0 + 1] = a - b;
        }
    }

    // 3. L-shaped stages s = 4, 8, ..., N. Stage s uses table entries k .. k + s/8 - 2 for j = 2 .. s/8.
    int32_t k = 0;
    for (int s = 4; s <= n; s *= 2) {
        const int q = s / 4, r = s / 8;
        const double* c1 = cos1Table + k;  // c1[j - 2] is the entry of family j
        const double* s1 = sin1Table + k;
        const double* c3 = cos3Table + k;
        const double* s3 = sin3Table + k;
        for (int is = 0, id = 2 * s; is < n; is = 2 * id - s, id = 4 * id) {
            for (int i = is; i < n; i += id) {
                firstFamily(x, i, q, r, sqrt2);
                if (r < 2) continue;
                // Families 2 .. r - 1 in pairs, then family r on its own (r - 1 is always odd).
                int j = 2;
                for (; j + 1 < r; j += 2) {
                    const int t = j - 2;
                    generalButterflyPair(x, i, j, q, _mm_loadu_pd(c1 + t), _mm_loadu_pd(s1 + t), _mm_loadu_pd(c3 + t),
                                         _mm_loadu_pd(s3 + t));
                }
                generalButterfly(x, i, j, q, c1[j - 2], s1[j - 2], c3[j - 2], s3[j - 2]);
            }
        }
        if (r >= 2) k += r - 1;
    }

    // 4. Normalisation. N is a power of two, so multiplying by 1/N rounds exactly as dividing by N.
    // N is even, so the pairs cover the block.
    const __m128d scale = _mm_set1_pd(1.0 / n);
    for (int i = 0; i < n; i += 2) _mm_storeu_pd(x + i, _mm_mul_pd(_mm_loadu_pd(x + i), scale));
    return x;
}
