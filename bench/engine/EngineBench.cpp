// What one analyzer instance costs per second of audio: four inputs at 48 kHz in blocks of 64, control
// and audio calls for every block, all four traces on, spectrum mode with Hann at 8192 points, the
// worker analysing and drawing into an in-memory window. Process CPU time includes the worker's thread.
//
// The peer in the same run is the bare transform work: FFTW's real-to-complex plan on the same four
// 8192-point captures, as many times as the engine analyses them.
#include "engine/GuiCtrl.h"
#include "engine/TraceWorkers.h"
#include "tests/support/EngineInstance.h"
#include "platform/MemorySurface.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 64;
constexpr int kBlocksPerSecond = kRate / kBlock;

class CountingPanel : public GuiObjectCallback {
public:
    void setValue(int32_t slot, int32_t) override {
        if (slot == 14) ++analyses;  // marker levels go out once per spectrum analysis
    }
    void showWindow(int32_t) override {}
    long analyses = 0;
};

struct Signals {
    std::vector<int32_t> rows[4];
    Signals() {
        const double frequencies[4] = {440.0, 1000.0, 3150.0, 97.0};
        for (int input = 0; input < 4; ++input) {
            rows[input].resize(kRate);
            for (int i = 0; i < kRate; ++i)
                rows[input][size_t(i)] = int32_t(1.0e9 * std::sin(2 * M_PI * frequencies[input] * i / kRate));
        }
    }
};

struct Rig {
    HWND window = 0;
    CountingPanel panel;
    std::unique_ptr<GuiCtrl> instance;
    int32_t inputs[99] = {};
    const int32_t* inputPointers[99];
    int32_t outputs[77] = {};

    Rig() {
        engineSampleRate() = kRate;
        window = PlatformSurface_register(0, 1100, 500, "Analyzer");
        instance = makeEngineInstance();
        instance->attachPanel(&panel);
        instance->adoptWindow(window);
        for (int i = 0; i < 99; ++i) inputPointers[i] = &inputs[i];
        inputs[44] = 1;  // show the window
        inputs[1] = 1;  // spectrum mode
        inputs[4] = 8192;
        inputs[18] = 1;  // Hann
        inputs[3] = 1;  // magnitudes
        for (int k = 0; k < 4; ++k) inputs[20 + k] = 2 + k;
        inputs[47] = 21;
        // The panel would store what the pins forward; here the values go straight in.
        for (int slot : {1, 3, 4, 18, 20, 21, 22, 23, 47}) instance->setPanelValue(slot, inputs[slot]);
        for (int k = 0; k < 4; ++k) instance->setPanelValue(32 + 3 * k, 255);
        for (int i = 0; i < 40; ++i) instance->processControlPins(inputPointers, outputs);
    }
    ~Rig() {
        instance.reset();
        PlatformSurface_unregister(window);
    }

    void runOneSecond(const Signals& signals) {
        const int32_t* rows[4] = {signals.rows[0].data(), signals.rows[1].data(), signals.rows[2].data(),
                                  signals.rows[3].data()};
        for (int block = 0; block < kBlocksPerSecond; ++block) {
            instance->processControlPins(inputPointers, outputs);
            instance->processAudioBlock(rows, block * kBlock, kBlock);
            waitForDrawing();
        }
    }

    // In real time the next capture completes 170 ms later, long after the worker is done. Running
    // faster than real time, wait for them (blocked on their threads, so the wait costs no CPU) so that
    // every capture is analysed and drawn, as it would be live.
    void waitForDrawing() { instance->workers().waitUntilIdle(); }
};

void BM_EngineSecondOfAudio(benchmark::State& state) {
    Signals signals;
    Rig rig;
    if (rig.instance->panelLink().analyzerWindow == 0) state.SkipWithError("the in-memory window was not found");
    // Argument 0: the worker still analyses but has no window to draw into, leaving the analysis cost.
    const bool drawing = state.range(0) != 0;
    if (!drawing) rig.instance->drawInto(0);
    long seconds = 0;
    for (auto _ : state) {
        rig.runOneSecond(signals);
        ++seconds;
    }
    state.counters["analyses_per_s"] = double(rig.panel.analyses) / double(seconds);
    state.counters["idle_blocks"] = rig.instance->capture().idleBlockCount;
    state.SetLabel("one second of audio per iteration");
}
// What the host's processing thread spends in the instance: the longest control-and-audio call of a
// second of audio and the sum of them all, with the analyses and drawing of that second included
// wherever they run.
void BM_AudioThreadShareOfASecond(benchmark::State& state) {
    Signals signals;
    Rig rig;
    const int32_t* rows[4] = {signals.rows[0].data(), signals.rows[1].data(), signals.rows[2].data(),
                              signals.rows[3].data()};
    double longest = 0.0, total = 0.0;
    long seconds = 0;
    for (auto _ : state) {
        for (int block = 0; block < kBlocksPerSecond; ++block) {
            const auto start = std::chrono::steady_clock::now();
            rig.instance->processControlPins(rig.inputPointers, rig.outputs);
            rig.instance->processAudioBlock(rows, block * kBlock, kBlock);
            const double us =
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
            longest = std::max(longest, us);
            total += us;
            rig.waitForDrawing();
        }
        ++seconds;
    }
    state.counters["longest_call_us"] = longest;
    state.counters["audio_thread_us_per_s"] = total / double(seconds);
}
BENCHMARK(BM_AudioThreadShareOfASecond)->Iterations(5)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_EngineSecondOfAudio)
    ->ArgName("drawing")
    ->Arg(1)
    ->Arg(0)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The same with every worker on the system's default stack (8 MB), as before the workers were given
// small ones: the peer of BM_EngineSecondOfAudio/drawing:1 in the same run.
HANDLE startOnDefaultStack(void* security, uint32_t, LPTHREAD_START_ROUTINE routine, void* job, DWORD flags,
                           DWORD* id) {
    return CreateThread(security, 0, routine, job, flags, id);
}

void BM_EngineSecondOfAudioDefaultStacks(benchmark::State& state) {
    const TraceThreadStarter previous = setTraceThreadStarter(&startOnDefaultStack);
    Signals signals;
    Rig rig;
    for (auto _ : state) rig.runOneSecond(signals);
    setTraceThreadStarter(previous);
}
BENCHMARK(BM_EngineSecondOfAudioDefaultStacks)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

// What the audio thread pays when the user picks another transform size: the control call that
// switches between 1024 and 8192 points, the window function rebuilt for the new size included. The
// peer: the same control call with nothing to change.
void BM_TransformSizeSwitch(benchmark::State& state) {
    Rig rig;
    const bool switching = state.range(0) != 0;
    int32_t size = 8192;
    for (auto _ : state) {
        if (switching) {
            size = size == 8192 ? 1024 : 8192;
            rig.inputs[4] = size;
            rig.instance->setPanelValue(4, size);
        }
        rig.instance->processControlPins(rig.inputPointers, rig.outputs);
    }
}
BENCHMARK(BM_TransformSizeSwitch)->ArgName("switching")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The transform work alone, done with FFTW: four 8192-point transforms per analysis, 48000/8192
// analyses per second.
void BM_FftwTransformsOfASecond(benchmark::State& state) {
    Signals signals;
    double* in = fftw_alloc_real(8192);
    fftw_complex* out = fftw_alloc_complex(8192 / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(8192, in, out, FFTW_MEASURE);
    const int analyses = kRate / 8192;
    for (auto _ : state) {
        for (int a = 0; a < analyses; ++a)
            for (int input = 0; input < 4; ++input) {
                for (int i = 0; i < 8192; ++i) in[i] = signals.rows[input][size_t(a * 8192 + i)];
                fftw_execute(plan);
                benchmark::DoNotOptimize(out[17][0]);
            }
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}
BENCHMARK(BM_FftwTransformsOfASecond)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// What the short-lived workers cost by themselves: start and end as many threads as the engine does in
// one second (four per analysis), each doing nothing.
DWORD doNothing(void*) { return DWORD(-1); }

// Argument: the stack size asked for (0: the system's default).
void BM_WorkerThreadsOfASecond(benchmark::State& state) {
    const int threads = 4 * (kRate / 8192 + 1);
    const uint32_t stack = uint32_t(state.range(0));
    for (auto _ : state) {
        for (int t = 0; t < threads; t += 4) {
            HANDLE handles[4];
            for (HANDLE& handle : handles) handle = CreateThread(nullptr, stack, &doNothing, nullptr, 0, nullptr);
            for (HANDLE handle : handles) {
                WaitForSingleObject(handle, INFINITE);
                CloseHandle(handle);
            }
        }
    }
}
BENCHMARK(BM_WorkerThreadsOfASecond)
    ->ArgName("stack")
    ->Arg(0)
    ->Arg(kWorkerStackSize)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Creating an instance (no window): its tables, its transform and the copy of the default frequency
// maps. The peer: computing those maps, which a new instance no longer does.
void BM_CreateInstance(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(makeEngineInstance());
}
BENCHMARK(BM_CreateInstance)->Unit(benchmark::kMicrosecond);

void BM_ComputeDefaultFrequencyMaps(benchmark::State& state) {
    static int32_t fine[kSizeCodes][1024];
    static int32_t coarse[kSizeCodes][kCoarseColumns];
    for (auto _ : state) {
        buildFrequencyMaps(kDefaultFrequencyShape, fine, coarse);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ComputeDefaultFrequencyMaps)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
