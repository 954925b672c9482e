// Times RealFft::transform against FFTW in the same run: the halfcomplex plan (FFTW_R2HC, the same
// output layout, planned with FFTW_MEASURE) and the real-to-complex plan (FFTW_MEASURE). Every
// iteration first copies the same random block into the work buffer (the transforms work in place
// or would otherwise feed on their own output); a copy-only benchmark shows that shared cost.
// The sizes are interleaved so that drift in machine load hits all contenders alike. After the runs
// it prints, per size, the fastest repetition of each and the ratios RealFft / FFTW.
//
// Four blocks, as the analyzer transforms the inputs of one capture: RealFft on each in turn, the lane
// transform with two lanes (SSE2, two groups of two interleaved blocks) and with four (AVX, where the
// processor has it; one group), and FFTW's real-to-complex plan on each in turn. Every iteration first
// copies the four blocks in, in the layout the contender takes.

#include "engine/LaneFft.h"
#include "engine/RealFft.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const int kSizes[] = {1024, 2048, 4096, 8192};

// Aligned buffers from FFTW's allocator, used by every contender alike.
struct Buffers {
    explicit Buffers(int n) : n(n) {
        input = fftw_alloc_real(n);
        work = fftw_alloc_real(n);
        spectrum = fftw_alloc_complex(n / 2 + 1);
        std::mt19937 rng(2024u);
        std::uniform_real_distribution<double> unit(-1.0, 1.0);
        for (int i = 0; i < n; ++i) input[i] = unit(rng);
    }
    ~Buffers() {
        fftw_free(input);
        fftw_free(work);
        fftw_free(spectrum);
    }
    void load() const { std::memcpy(work, input, sizeof(double) * n); }

    int n;
    double* input;
    double* work;
    fftw_complex* spectrum;
};

void copyOnly(benchmark::State& state, int n) {
    Buffers b(n);
    for (auto _ : state) {
        b.load();
        benchmark::DoNotOptimize(b.work);
        benchmark::ClobberMemory();
    }
}

void realFft(benchmark::State& state, int n) {
    Buffers b(n);
    RealFft fft;
    if (!fft.initialise(n)) {
        state.SkipWithError("RealFft::initialise failed");
        return;
    }
    for (auto _ : state) {
        b.load();
        benchmark::DoNotOptimize(fft.transform(b.work));
        benchmark::ClobberMemory();
    }
}

void fftwHalfcomplex(benchmark::State& state, int n) {
    Buffers b(n);
    fftw_plan plan = fftw_plan_r2r_1d(n, b.work, b.work, FFTW_R2HC, FFTW_MEASURE);
    for (auto _ : state) {
        b.load();
        fftw_execute(plan);
        benchmark::DoNotOptimize(b.work);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
}

void fftwRealToComplex(benchmark::State& state, int n) {
    Buffers b(n);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, b.work, b.spectrum, FFTW_MEASURE);
    for (auto _ : state) {
        b.load();
        fftw_execute(plan);
        benchmark::DoNotOptimize(b.spectrum);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
}

// Four random blocks of n points, one after the other (as FFTW and RealFft take them) and laid out for
// each lane path; the work buffer holds four blocks in any of these layouts.
struct FourBlocks {
    static constexpr int kBlocks = 4;
    explicit FourBlocks(int n) : n(n) {
        input = fftw_alloc_real(kBlocks * n);
        work = fftw_alloc_real(kBlocks * n);
        spectra = fftw_alloc_complex(kBlocks * (n / 2 + 1));
        std::mt19937 rng(2024u);
        std::uniform_real_distribution<double> unit(-1.0, 1.0);
        for (int i = 0; i < kBlocks * n; ++i) input[i] = unit(rng);
        for (laneFft::Path path : {laneFft::Path::Sse2, laneFft::Path::Avx}) {
            double* lanes = fftw_alloc_real(kBlocks * n);
            for (int b = 0; b < kBlocks; ++b) {
                for (int i = 0; i < n; ++i)
                    lanes[laneFft::offsetOf(path, n, b) + i * laneFft::lanesOf(path)] = input[b * n + i];
            }
            interleaved[int(path)] = lanes;
        }
    }
    ~FourBlocks() {
        fftw_free(input);
        fftw_free(work);
        fftw_free(spectra);
        for (double* lanes : interleaved) fftw_free(lanes);
    }
    void load(const double* from) const { std::memcpy(work, from, sizeof(double) * kBlocks * n); }

    int n;
    double* input;
    double* interleaved[2] = {};
    double* work;
    fftw_complex* spectra;
};

void fourRealFft(benchmark::State& state, int n) {
    FourBlocks b(n);
    RealFft fft;
    if (!fft.initialise(n)) {
        state.SkipWithError("RealFft::initialise failed");
        return;
    }
    for (auto _ : state) {
        b.load(b.input);
        for (int k = 0; k < FourBlocks::kBlocks; ++k) benchmark::DoNotOptimize(fft.transform(b.work + k * n));
        benchmark::ClobberMemory();
    }
}

void fourLanes(benchmark::State& state, int n, laneFft::Path path) {
    if (path == laneFft::Path::Avx && !laneFft::avxAvailable()) {
        state.SkipWithError("no AVX on this processor");
        return;
    }
    FourBlocks b(n);
    RealFft fft;
    if (!fft.initialise(n)) {
        state.SkipWithError("RealFft::initialise failed");
        return;
    }
    for (auto _ : state) {
        b.load(b.interleaved[int(path)]);
        laneFft::transform(fft, b.work, FourBlocks::kBlocks, path);
        benchmark::DoNotOptimize(b.work);
        benchmark::ClobberMemory();
    }
}

void fourFftwRealToComplex(benchmark::State& state, int n) {
    FourBlocks b(n);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, b.work, b.spectra, FFTW_MEASURE);
    for (auto _ : state) {
        b.load(b.input);
        for (int k = 0; k < FourBlocks::kBlocks; ++k)
            fftw_execute_dft_r2c(plan, b.work + k * n, b.spectra + k * (n / 2 + 1));
        benchmark::DoNotOptimize(b.spectra);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
}

// Console output as usual, plus the fastest CPU time per iteration of each benchmark across its
// repetitions.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const double ns = run.GetAdjustedCPUTime() * multiplier(run.time_unit);
            auto [it, fresh] = fastest.emplace(run.run_name.function_name, ns);
            if (!fresh && ns < it->second) it->second = ns;
        }
    }

    void printRatios() const {
        std::printf("\nFastest repetition, microseconds per transform (including the copy-in):\n");
        std::printf("%6s %10s %10s %10s %10s %14s %14s\n", "N", "copy", "RealFft", "FFTW R2HC", "FFTW r2c",
                    "RealFft/R2HC", "RealFft/r2c");
        for (int n : kSizes) {
            const double copy = get("Copy", n), ours = get("RealFft", n);
            const double r2hc = get("FftwR2hc", n), r2c = get("FftwR2c", n);
            if (ours <= 0 || r2hc <= 0 || r2c <= 0) continue;
            std::printf("%6d %10.2f %10.2f %10.2f %10.2f %14.3f %14.3f\n", n, copy / 1e3, ours / 1e3, r2hc / 1e3,
                        r2c / 1e3, ours / r2hc, ours / r2c);
        }
        std::printf("\nFour blocks, fastest repetition, microseconds for all four (including the copy-in):\n");
        std::printf("%6s %12s %12s %12s %12s %12s %12s %12s\n", "N", "RealFft x4", "SSE2 2x2", "AVX 4", "r2c x4",
                    "RealFft/r2c", "SSE2/r2c", "AVX/r2c");
        for (int n : kSizes) {
            const double r2c = get("Four/FftwR2c", n);
            if (r2c <= 0) continue;
            const double times[3] = {get("Four/RealFft", n), get("Four/LanesSse2", n), get("Four/LanesAvx", n)};
            std::printf("%6d", n);
            for (double t : times) printMicroseconds(t);
            printMicroseconds(r2c);
            for (double t : times) t > 0 ? std::printf(" %12.3f", t / r2c) : std::printf(" %12s", "-");
            std::printf("\n");
        }
    }

private:
    static void printMicroseconds(double ns) { ns > 0 ? std::printf(" %12.2f", ns / 1e3) : std::printf(" %12s", "-"); }
    static double multiplier(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kSecond: return 1e9;
        case benchmark::kMillisecond: return 1e6;
        case benchmark::kMicrosecond: return 1e3;
        default: return 1.0;
        }
    }
    double get(const char* name, int n) const {
        const auto it = fastest.find(std::string(name) + "/" + std::to_string(n));
        return it == fastest.end() ? -1.0 : it->second;
    }

    std::map<std::string, double> fastest;
};

}  // namespace

int main(int argc, char** argv) {
    for (int n : kSizes) {
        const std::string size = "/" + std::to_string(n);
        benchmark::RegisterBenchmark(("Copy" + size).c_str(), copyOnly, n);
        benchmark::RegisterBenchmark(("RealFft" + size).c_str(), realFft, n);
        benchmark::RegisterBenchmark(("FftwR2hc" + size).c_str(), fftwHalfcomplex, n);
        benchmark::RegisterBenchmark(("FftwR2c" + size).c_str(), fftwRealToComplex, n);
        benchmark::RegisterBenchmark(("Four/RealFft" + size).c_str(), fourRealFft, n);
        benchmark::RegisterBenchmark(("Four/LanesSse2" + size).c_str(), fourLanes, n, laneFft::Path::Sse2);
        benchmark::RegisterBenchmark(("Four/LanesAvx" + size).c_str(), fourLanes, n, laneFft::Path::Avx);
        benchmark::RegisterBenchmark(("Four/FftwR2c" + size).c_str(), fourFftwRealToComplex, n);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
