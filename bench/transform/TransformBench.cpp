// Times RealFft::transform against FFTW in the same run: the halfcomplex plan (FFTW_R2HC, the same
// output layout, planned with FFTW_MEASURE) and the real-to-complex plan (FFTW_MEASURE). Every
// iteration first copies the same random block into the work buffer (the transforms work in place
// or would otherwise feed on their own output); a copy-only benchmark shows that shared cost.
// The sizes are interleaved so that drift in machine load hits all contenders alike. After the runs
// it prints, per size, the fastest repetition of each and the ratios RealFft / FFTW.

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
    }

private:
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
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
