// Accuracy, layout and lifecycle of RealFft, checked against FFTW's halfcomplex transform and against a
// plain transcription of the split-radix algorithm.

#include "engine/LaneFft.h"
#include "engine/RealFft.h"

#include <fftw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <vector>

// --- Allocation failure injection: the nothrow array new that RealFft uses fails on its n-th call
// while armed. Everything else goes to the default allocator. ---
namespace {
int failOnAllocation = 0;  // 0: never fail; k: fail the k-th nothrow array allocation from now on
int allocationsSeen = 0;
}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (failOnAllocation != 0 && ++allocationsSeen == failOnAllocation) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

// The algorithm exactly as written down, one step after another, with its own copies of the two
// constants and its twiddles computed on the spot. RealFft must reproduce it bit for bit.
std::vector<double> referenceTransform(std::vector<double> x) {
    const double twoPi = 6.28318530718;
    const double sqrt2 = 1.41421356237;
    const int n = static_cast<int>(x.size());

    int j = 0;
    for (int i = 0; i < n - 1; ++i) {
        if (i < j) std::swap(x[i], x[j]);
        int k = n / 2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }

    for (int is = 0, id = 4; is < n - 1; is = 2 * id - 2, id = 4 * id) {
        for (int i0 = is; i0 < n - 1; i0 += id) {
            const double t = x[i0];
            x[i0] = t + x[i0 + 1];
            x[i0 + 1] = t - x[i0 + 1];
        }
    }

    int s = 2;
    for (int a = n; a > 2; a /= 2) {
        s = 2 * s;
        const int q = s / 4, r = s / 8;
        for (int is = 0, id = 2 * s; is < n; is = 2 * id - s, id = 4 * id) {
            for (int i = is; i < n; i += id) {
                int i1 = i, i2 = i + q, i3 = i + 2 * q, i4 = i + 3 * q;
                double t1 = x[i4] + x[i3];
                x[i4] = x[i4] - x[i3];
                x[i3] = x[i1] - t1;
                x[i1] = x[i1] + t1;
                if (q != 1) {
                    i1 += r, i2 += r, i3 += r, i4 += r;
                    t1 = (x[i3] + x[i4]) / sqrt2;
                    const double t2 = (x[i3] - x[i4]) / sqrt2;
                    x[i4] = x[i2] - t1;
                    x[i3] = -x[i2] - t1;
                    x[i2] = x[i1] - t2;
                    x[i1] = x[i1] + t2;
                }
            }
        }
        const double e = twoPi / s;
        double angle = e;
        for (int jj = 2; jj <= r; ++jj) {
            const double cc1 = std::cos(angle), ss1 = std::sin(angle);
            const double cc3 = std::cos(3 * angle), ss3 = std::sin(3 * angle);
            angle = jj * e;
            for (int is = 0, id = 2 * s; is < n; is = 2 * id - s, id = 4 * id) {
                for (int i = is; i < n; i += id) {
                    const int i1 = i + jj - 1, i2 = i - jj + q + 1, i3 = i1 + q, i4 = i2 + q;
                    const int i5 = i3 + q, i6 = i4 + q, i7 = i5 + q, i8 = i6 + q;
                    const double x1 = x[i1], x2 = x[i2], x3 = x[i3], x4 = x[i4];
                    const double x5 = x[i5], x6 = x[i6], x7 = x[i7], x8 = x[i8];
                    const double t1 = x5 * cc1 + x6 * ss1, t2 = x6 * cc1 - x5 * ss1;
                    const double t3 = x7 * cc3 + x8 * ss3, t4 = x8 * cc3 - x7 * ss3;
                    const double t5 = t1 + t3, t6 = t2 + t4, u3 = t1 - t3, u2 = t2 - t4;
                    x[i1] = x1 + t5;
                    x[i4] = x1 - t5;
                    x[i8] = x4 + t6;
                    x[i5] = t6 - x4;
                    x[i7] = x3 - u3;
                    x[i6] = -x3 - u3;
                    x[i3] = x2 + u2;
                    x[i2] = x2 - u2;
                }
            }
        }
    }

    for (double& v : x) v /= n;
    return x;
}

// FFTW's unnormalised halfcomplex transform, scaled by 1/n to compare with RealFft.
std::vector<double> fftwHalfcomplex(const std::vector<double>& input) {
    const int n = static_cast<int>(input.size());
    std::vector<double> in(input), out(n);
    fftw_plan plan = fftw_plan_r2r_1d(n, in.data(), out.data(), FFTW_R2HC, FFTW_ESTIMATE);
    std::copy(input.begin(), input.end(), in.begin());
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    for (double& v : out) v /= n;
    return out;
}

std::vector<double> runRealFft(const std::vector<double>& input) {
    RealFft fft;
    EXPECT_TRUE(fft.initialise(static_cast<int32_t>(input.size())));
    std::vector<double> x(input);
    EXPECT_EQ(fft.transform(x.data()), x.data());
    return x;
}

double largestMagnitude(const std::vector<double>& v) {
    double m = 0.0;
    for (double e : v) m = std::max(m, std::fabs(e));
    return m;
}

// Named inputs of every size: random blocks and structured ones.
struct Input {
    std::string name;
    std::vector<double> values;
};

std::vector<Input> inputsOfSize(int n) {
    const double pi = 3.14159265358979323846;
    std::mt19937 rng(12345u + static_cast<unsigned>(n));
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<Input> inputs;
    auto add = [&](const char* name, auto f) {
        Input in{name, std::vector<double>(n)};
        for (int i = 0; i < n; ++i) in.values[i] = f(i);
        inputs.push_back(std::move(in));
    };
    add("random", [&](int) { return unit(rng); });
    add("random-audio-range", [&](int) { return std::trunc(unit(rng) * 2147483647.0); });
    add("impulse-at-0", [](int i) { return i == 0 ? 1.0 : 0.0; });
    add("impulse-at-5", [](int i) { return i == 5 ? 1.0 : 0.0; });
    add("constant", [](int) { return -3.25; });
    add("alternating", [](int i) { return i % 2 == 0 ? 1.0 : -1.0; });
    add("ramp", [](int i) { return static_cast<double>(i); });
    add("chirp", [&](int i) { return std::sin(pi * i * i / n); });
    add("two-tones",
        [&](int i) { return std::cos(2 * pi * 3 * i / n) + 0.25 * std::sin(2 * pi * (n / 4 - 1) * i / n); });
    add("square", [&](int i) { return (i / 2) % 2 == 0 ? 1.0 : 0.0; });
    return inputs;
}

class RealFftAtSize : public ::testing::TestWithParam<int> {};

// Every output position agrees with FFTW's halfcomplex transform (same layout, unnormalised there) to
// about 1e-12 of the largest output. The remaining difference comes from the 11-decimal constants:
// 1.41421356237 is 2.2e-12 below sqrt(2), and the worst case measured here (an impulse off position 0)
// is 2.15e-12, hence the bound of 3e-12.
TEST_P(RealFftAtSize, AgreesWithFftwHalfcomplex) {
    const int n = GetParam();
    for (const Input& in : inputsOfSize(n)) {
        const std::vector<double> expected = fftwHalfcomplex(in.values);
        const std::vector<double> actual = runRealFft(in.values);
        const double tolerance = 3e-12 * largestMagnitude(expected);
        for (int k = 0; k < n; ++k) {
            ASSERT_NEAR(actual[k], expected[k], tolerance) << in.name << ", n " << n << ", position " << k;
        }
    }
}

// The tuned transform gives exactly the bits of the algorithm as written, signed zeros included.
TEST_P(RealFftAtSize, BitIdenticalToStraightforwardAlgorithm) {
    const int n = GetParam();
    for (const Input& in : inputsOfSize(n)) {
        const std::vector<double> expected = referenceTransform(in.values);
        const std::vector<double> actual = runRealFft(in.values);
        for (int k = 0; k < n; ++k) {
            ASSERT_EQ(std::memcmp(&actual[k], &expected[k], sizeof(double)), 0)
                << in.name << ", n " << n << ", position " << k << ": " << actual[k] << " vs " << expected[k];
        }
    }
}

TEST_P(RealFftAtSize, ImpulseConstantAndAlternatingLandWhereExpected) {
    const int n = GetParam();
    RealFft fft;
    ASSERT_TRUE(fft.initialise(n));

    std::vector<double> x(n, 0.0);
    x[0] = 1.0;
    fft.transform(x.data());
    for (int k = 0; k <= n / 2; ++k) EXPECT_DOUBLE_EQ(x[k], 1.0 / n) << "impulse, position " << k;
    for (int k = n / 2 + 1; k < n; ++k) EXPECT_NEAR(x[k], 0.0, 1e-15) << "impulse, position " << k;

    std::fill(x.begin(), x.end(), 7.5);
    fft.transform(x.data());
    EXPECT_NEAR(x[0], 7.5, 1e-12);
    for (int k = 1; k < n; ++k) EXPECT_NEAR(x[k], 0.0, 1e-12) << "constant, position " << k;

    for (int i = 0; i < n; ++i) x[i] = i % 2 == 0 ? 1.0 : -1.0;
    fft.transform(x.data());
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(x[k], k == n / 2 ? 1.0 : 0.0, 1e-12) << "alternating, position " << k;
    }
}

// The lane transform of 1 to 4 blocks gives every block exactly the scalar transform's bits, with
// each input in every lane, on the SSE2 path and, where the processor has it, the AVX path. The
// lanes left over in the last group start as NaN: nothing of them may reach a block.
TEST_P(RealFftAtSize, LaneTransformGivesEveryBlockTheScalarResult) {
    const int n = GetParam();
    RealFft fft;
    ASSERT_TRUE(fft.initialise(n));
    const std::vector<Input> inputs = inputsOfSize(n);
    std::vector<std::vector<double>> expected;
    for (const Input& in : inputs) expected.push_back(runRealFft(in.values));

    std::vector<laneFft::Path> paths{laneFft::Path::Sse2};
    if (laneFft::avxAvailable()) paths.push_back(laneFft::Path::Avx);
    for (laneFft::Path path : paths) {
        const int lanes = laneFft::lanesOf(path);
        for (int blocks = 1; blocks <= laneFft::kMaxBlocks; ++blocks) {
            for (size_t first = 0; first < inputs.size(); ++first) {
                std::vector<double> x(size_t(laneFft::capacity(path, n, blocks)),
                                      std::numeric_limits<double>::quiet_NaN());
                auto inputOf = [&](int b) { return (first + size_t(b)) % inputs.size(); };
                auto at = [&](int b, int i) { return size_t(laneFft::offsetOf(path, n, b) + i * lanes); };
                for (int b = 0; b < blocks; ++b) {
                    for (int i = 0; i < n; ++i) x[at(b, i)] = inputs[inputOf(b)].values[size_t(i)];
                }
                laneFft::transform(fft, x.data(), blocks, path);
                for (int b = 0; b < blocks; ++b) {
                    for (int k = 0; k < n; ++k) {
                        ASSERT_EQ(std::memcmp(&x[at(b, k)], &expected[inputOf(b)][size_t(k)], sizeof(double)), 0)
                            << lanes << " lanes, " << blocks << " blocks, block " << b << " ("
                            << inputs[inputOf(b)].name << "), n " << n << ", position " << k;
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, RealFftAtSize,
                         ::testing::Values(4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192));

TEST(RealFft, FourPointBlockGivesKnownSpectrum) {
    RealFft fft;
    ASSERT_TRUE(fft.initialise(4));
    EXPECT_EQ(fft.twiddles().length, 0);
    double x[4] = {1.0, 2.0, 3.0, 4.0};
    EXPECT_EQ(fft.transform(x), x);
    EXPECT_EQ(x[0], 2.5);
    EXPECT_EQ(x[1], -0.5);
    EXPECT_EQ(x[2], -0.5);
    EXPECT_EQ(x[3], 0.5);
}

// Cosine at bin 3 shows as the real part at position 3, sine at bin 3 as the imaginary part at N - 3.
TEST(RealFft, ToneAtBinThreeUsesHalfcomplexLayout) {
    const int n = 1024;
    const double pi = 3.14159265358979323846;
    RealFft fft;
    ASSERT_TRUE(fft.initialise(n));
    std::vector<double> c(n), s(n);
    for (int i = 0; i < n; ++i) {
        c[i] = std::cos(2 * pi * 3 * i / n);
        s[i] = std::sin(2 * pi * 3 * i / n);
    }
    fft.transform(c.data());
    fft.transform(s.data());
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(c[k], k == 3 ? 0.5 : 0.0, 1e-12) << "cosine, position " << k;
        EXPECT_NEAR(s[k], k == n - 3 ? -0.5 : 0.0, 1e-12) << "sine, position " << k;
    }
}

TEST(RealFft, TableLengthFollowsStageRule) {
    EXPECT_EQ(RealFft::tableLengthFor(4), 0);
    EXPECT_EQ(RealFft::tableLengthFor(8), 0);
    EXPECT_EQ(RealFft::tableLengthFor(16), 1);
    EXPECT_EQ(RealFft::tableLengthFor(32), 4);
    EXPECT_EQ(RealFft::tableLengthFor(1024), 247);
    EXPECT_EQ(RealFft::tableLengthFor(2048), 502);
    EXPECT_EQ(RealFft::tableLengthFor(4096), 1013);
    EXPECT_EQ(RealFft::tableLengthFor(8192), 2036);
}

// The fields after initialise, and the tables stage by stage: the stage of length s starts with the
// angle 2pi/s (11-decimal 2pi) and its last entry is (s/8 - 1) times that.
TEST(RealFft, InitialiseStoresConstantsAndStageTables) {
    RealFft fft;
    ASSERT_TRUE(fft.initialise(1024));
    EXPECT_EQ(fft.size(), 1024);
    EXPECT_EQ(fft.twiddles().length, 247);
    EXPECT_EQ(fft.sqrt2Divisor(), 1.41421356237);
    EXPECT_EQ(fft.fullTurn(), 6.28318530718);
    const RealFft::Twiddles t = fft.twiddles();
    int idx = 0;
    for (int s = 16; s <= 1024; s *= 2) {
        const double e = 6.28318530718 / s;
        const int last = idx + s / 8 - 2;
        EXPECT_EQ(t.cos1[idx], std::cos(e)) << "stage " << s;
        EXPECT_EQ(t.sin1[idx], std::sin(e)) << "stage " << s;
        EXPECT_EQ(t.cos3[idx], std::cos(3 * e)) << "stage " << s;
        EXPECT_EQ(t.sin3[idx], std::sin(3 * e)) << "stage " << s;
        EXPECT_EQ(t.sin1[last], std::sin((s / 8 - 1) * e)) << "stage " << s;
        EXPECT_EQ(t.sin3[last], std::sin(3 * ((s / 8 - 1) * e))) << "stage " << s;
        idx = last + 1;
    }
    EXPECT_EQ(idx, 247);
}

TEST(RealFft, ResizesAfterReleaseAndTransformsAtTheNewSize) {
    RealFft fft;
    ASSERT_TRUE(fft.initialise(1024));
    fft.release();
    EXPECT_FALSE(fft.isReady());
    ASSERT_TRUE(fft.initialise(8192));
    EXPECT_EQ(fft.twiddles().length, 2036);
    const std::vector<double> input = inputsOfSize(8192)[0].values;
    std::vector<double> x(input);
    fft.transform(x.data());
    EXPECT_EQ(x, referenceTransform(input));

    // Initialising again without a release in between replaces the old tables: shared ones by tables
    // of its own and back (the sanitizer build catches a wrong or missing delete).
    for (int n : {512, 2048, 256}) {
        ASSERT_TRUE(fft.initialise(n));
        EXPECT_EQ(fft.twiddles().length, RealFft::tableLengthFor(n));
        const std::vector<double> in = inputsOfSize(n)[0].values;
        std::vector<double> y(in);
        fft.transform(y.data());
        EXPECT_EQ(y, referenceTransform(in)) << n;
    }
}

// An object that is not ready (never initialised, released, or given a bad size) leaves the data alone.
TEST(RealFft, NotReadyObjectLeavesDataUntouched) {
    std::vector<double> x(64);
    for (int i = 0; i < 64; ++i) x[i] = i * 0.5;
    const std::vector<double> original(x);

    RealFft never;
    EXPECT_EQ(never.transform(x.data()), x.data());
    EXPECT_EQ(x, original);
    never.release();

    RealFft released;
    ASSERT_TRUE(released.initialise(64));
    released.release();
    released.release();
    released.transform(x.data());
    EXPECT_EQ(x, original);

    for (int bad : {-8, 0, 1, 2, 3, 6, 1000, RealFft::MAX_SIZE * 2}) {
        RealFft fft;
        EXPECT_FALSE(fft.initialise(bad)) << bad;
        EXPECT_FALSE(fft.isReady()) << bad;
        fft.transform(x.data());
        EXPECT_EQ(x, original) << bad;
    }
}

// A size with tables of its own: a failed allocation at any point of initialise gives false; the object
// then neither transforms nor crashes, releases cleanly, and succeeds on the next initialise. The
// analyzer's sizes allocate nothing, so they succeed with every allocation failing.
TEST(RealFft, AllocationFailureIsReportedAndHarmless) {
    std::vector<double> original(512);
    for (int i = 0; i < 512; ++i) original[i] = std::sin(i * 0.1);

    for (int failing = 1; failing <= 5; ++failing) {
        std::vector<double> x(original);
        RealFft fft;
        allocationsSeen = 0;
        failOnAllocation = failing;
        const bool ok = fft.initialise(512);
        failOnAllocation = 0;
        EXPECT_FALSE(ok) << "allocation " << failing;
        EXPECT_FALSE(fft.isReady());
        fft.transform(x.data());
        EXPECT_EQ(x, original) << "allocation " << failing;
        fft.release();
        ASSERT_TRUE(fft.initialise(512));
        fft.transform(x.data());
        EXPECT_EQ(x, referenceTransform(original));
    }

    for (int n : {1024, 2048, 4096, 8192}) {
        RealFft fft;
        allocationsSeen = 0;
        failOnAllocation = 1;
        const bool ok = fft.initialise(n);
        failOnAllocation = 0;
        EXPECT_TRUE(ok) << n;
        EXPECT_EQ(allocationsSeen, 0) << n;
        std::vector<double> y(size_t(n), 0.0);
        y[3] = 1.0;
        const std::vector<double> expected = referenceTransform(y);
        fft.transform(y.data());
        EXPECT_EQ(y, expected) << n;
    }
}

}  // namespace
