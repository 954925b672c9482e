#pragma once

#include <cstdint>

// In-place forward FFT of a real block: the real-valued split-radix algorithm of Sorensen, Jones,
// Heideman and Burrus (1987). A bit-reversal permutation, a pass of length-two butterflies, then one
// L-shaped butterfly stage per power of two with precomputed twiddles for the angles a and 3a.
//
// Output layout for a block x[0 .. N-1] with X(k) = sum x[n] e^(-2 pi i k n / N):
//   x[k]     = Re X(k) / N   for 0 <= k <= N/2
//   x[N - k] = Im X(k) / N   for 1 <= k <= N/2 - 1
// The angles come from TWO_PI_APPROX and the middle butterflies divide by SQRT2_APPROX, so results agree
// with an exact DFT only to about 1e-12 relative to the largest output.
//
// Threads: one object is used by one thread at a time. The owning instance initialises it on the
// [main-thread] when it is created and re-initialises and transforms on the [audio-thread]; resizing
// and transforming never overlap. No locking.
class RealFft {
public:
    RealFft() = default;
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    // Number of entries in each twiddle table for an n-point transform: the stages s = 16, 32, ..., n
    // each contribute s/8 - 1 entries (247, 502, 1013, 2036 for 1024 ... 8192).
    static constexpr int32_t tableLengthFor(int32_t n) {
        int32_t length = 0;
        for (int32_t s = 16; s <= n; s *= 2) length += s / 8 - 1;
        return length;
    }

    // Number of index pairs i < j that the bit-reversal permutation of n points swaps.
    static constexpr int32_t swapCountFor(int32_t n) {
        int32_t count = 0;
        for (int32_t i = 0, j = 0; i < n - 1; ++i) {
            if (i < j) ++count;
            int32_t k = n / 2;
            while (k <= j) {
                j -= k;
                k /= 2;
            }
            j += k;
        }
        return count;
    }

    // Sizes the transform for n points (a power of two, 4 <= n <= MAX_SIZE) and sets up its tables.
    // The analyzer's sizes, 1024 to 8192, use tables built once per process on the first call (from any
    // thread) and only read afterwards: for them this neither allocates nor computes, so it cannot fail
    // and is cheap on the audio thread. Other sizes get tables of their own.
    // Frees whatever an earlier initialise left behind first. Returns false, without throwing, when n is
    // not a valid size or an allocation fails; tables allocated before a failure stay allocated until
    // release() or destruction. After a false result transform() leaves its data untouched.
    bool initialise(int32_t n);

    // Frees all tables. Safe to call repeatedly and on an object whose initialise failed or never ran;
    // afterwards transform() is a no-op until the next successful initialise.
    void release();

    // Transforms the N doubles at x in place and returns x. Allocates nothing. If the object is not
    // ready (no successful initialise since the last release), x is returned unchanged.
    double* transform(double* x);

    // True after a successful initialise and until release.
    bool isReady() const { return ready; }

    static constexpr int32_t MAX_SIZE = 1 << 24;

    // The size the transform was last initialised for.
    int32_t size() const { return N; }

    // The twiddle tables, length entries each, stage after stage in increasing stage length.
    struct Twiddles {
        int32_t length;
        const double* cos1;  // cos(a)
        const double* sin1;  // sin(a)
        const double* cos3;  // cos(3a)
        const double* sin3;  // sin(3a)
    };
    Twiddles twiddles() const { return {tableLength, cos1Table, sin1Table, cos3Table, sin3Table}; }

    // The bit-reversal permutation: count disjoint (i, j) index pairs, i < j, at pairs[2p], pairs[2p + 1].
    struct Permutation {
        const int32_t* pairs;
        int32_t count;
    };
    Permutation permutation() const { return {swapPairs, swapCount}; }

    // The constants the transform computes with: the divisor of its eighth-turn butterflies and the
    // turn its angles are made from.
    double sqrt2Divisor() const { return sqrt2; }
    double fullTurn() const { return twoPi; }

private:
    bool useSharedTables(int32_t n);

    // The fields of the transform, in this order.
    int32_t N = 0;
    int32_t tableLength = 0;
    double sqrt2 = 0.0;
    double twoPi = 0.0;
    const double* cos1Table = nullptr;
    const double* sin1Table = nullptr;
    const double* cos3Table = nullptr;
    const double* sin3Table = nullptr;

    // The bit-reversal permutation as a list of (i, j) index pairs with i < j, worked out once per size
    // so the transform only swaps.
    const int32_t* swapPairs = nullptr;
    int32_t swapCount = 0;
    bool ready = false;
    bool ownsTables = false;  // false while the tables are the process's shared ones
};
