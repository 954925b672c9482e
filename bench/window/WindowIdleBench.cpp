// What an open analyzer window costs: the host's loop run for one second with the module loaded and
// one instance (its window open, the engine not fed, or fed silence at 48 kHz in blocks of 64 from a
// processing thread, so that the panel drains two values per block), against the same loop with the
// module loaded and no instance. CPU time per second of loop: the whole process (getrusage) and the
// loop's own thread, the message thread; beside it the wake-ups per second of both (voluntary and
// involuntary context switches, getrusage RUSAGE_SELF and RUSAGE_THREAD).
//
// Run under a display: scripts/with-xvfb build/bench/bench_window_idle
// QANAGUI_MODULE=/other/build/qanagui.so measures another build's module; give it that build's
// platform library too: LD_LIBRARY_PATH=/other/build (one loop per process).
#include "host/ModuleLoader.h"
#include "host/PointerWord.h"
#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/time.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Voluntary and involuntary context switches: every time the thread (or any thread of the process)
// went to sleep or was preempted, which is how often it was woken.
long wakeups(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

typedef int32_t (*ProcessAudio)(uint32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*ProcessControl)(uint32_t, int32_t, int32_t, int32_t, int32_t);

// A host's processing thread at 48 kHz with blocks of 64: a control and an audio call (silence) every
// 1.33 ms. Every control call sends the panel the idle block count and the marker frequency.
class FeedingThread {
public:
    FeedingThread(ModuleLoader& module, int32_t handle) {
        int32_t out[6] = {}, returned = 0, in = 0;
        module.command(1027, &in, 4, out, 24, returned);
        audio_ = reinterpret_cast<ProcessAudio>(uintptr_t(uint32_t(out[1])));
        control_ = reinterpret_cast<ProcessControl>(uintptr_t(uint32_t(out[2])));
        for (int i = 0; i < 81; ++i) pointers_[i] = &inputs_[i];
        inputs_[44] = 1;
        thread_ = std::thread([this, handle] {
            std::vector<int32_t> silence(64, 0);
            const int32_t* rows[4] = {silence.data(), silence.data(), silence.data(), silence.data()};
            auto next = std::chrono::steady_clock::now();
            while (!stop_) {
                control_(uint32_t(handle), pointerWord(pointers_), 0, pointerWord(outputs_), 0);
                audio_(uint32_t(handle), 0, pointerWord(rows), 0, 0, 0, 64);
                next += std::chrono::microseconds(1333);
                std::this_thread::sleep_until(next);
            }
        });
    }
    ~FeedingThread() {
        stop_ = true;
        thread_.join();
    }

private:
    ProcessAudio audio_;
    ProcessControl control_;
    int32_t inputs_[81] = {};
    const int32_t* pointers_[81];
    int32_t outputs_[77] = {};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void runLoop(benchmark::State& state, int instances, bool fed = false) {
    if (!PlatformWindow_x11Available()) {
        state.SkipWithError("no display");
        return;
    }
    ModuleLoader module;
    const char* modulePath = std::getenv("QANAGUI_MODULE");
    if (!module.load(modulePath && *modulePath ? modulePath : QANAGUI_MODULE_PATH)) {
        state.SkipWithError(module.error().c_str());
        return;
    }
    std::vector<int32_t> handles;
    for (int i = 0; i < instances; ++i) {
        int32_t out[2] = {-9, 0}, returned = 0, in = 0;
        module.command(1025, &in, 4, out, 8, returned);
        handles.push_back(out[1]);
    }
    PlatformLoop* loop = PlatformLoop_shared();
    std::unique_ptr<FeedingThread> feeding;
    if (fed && !handles.empty()) feeding = std::make_unique<FeedingThread>(module, handles[0]);
    // The window opens and paints first, and the toolkit's focus check, which starts at 10 ms and
    // doubles its period after each look, settles at its 1.7 s (2.5 s after the window opened).
    PlatformLoop_runFor(loop, 3000);
    double cpu = 0, mainThread = 0;
    long processWakeups = 0, mainWakeups = 0;
    for (auto _ : state) {
        const double before = cpuSeconds(), beforeMain = threadCpuSeconds();
        const long wakeupsBefore = wakeups(RUSAGE_SELF), mainWakeupsBefore = wakeups(RUSAGE_THREAD);
        PlatformLoop_runFor(loop, 1000);
        cpu += cpuSeconds() - before;
        mainThread += threadCpuSeconds() - beforeMain;
        processWakeups += wakeups(RUSAGE_SELF) - wakeupsBefore;
        mainWakeups += wakeups(RUSAGE_THREAD) - mainWakeupsBefore;
    }
    feeding.reset();
    state.counters["cpu_ms_per_s"] = 1000.0 * cpu / double(state.iterations());
    state.counters["main_thread_ms_per_s"] = 1000.0 * mainThread / double(state.iterations());
    state.counters["wakeups_per_s"] = double(processWakeups) / double(state.iterations());
    state.counters["main_wakeups_per_s"] = double(mainWakeups) / double(state.iterations());
    for (int32_t handle : handles) {
        int32_t out[1] = {0}, returned = 0;
        module.command(1026, &handle, 4, out, 4, returned);
    }
}

void BM_LoopWithoutWindow(benchmark::State& state) { runLoop(state, 0); }
void BM_LoopWithOneWindow(benchmark::State& state) { runLoop(state, 1); }
void BM_LoopWithOneWindowFed48kBlocks64(benchmark::State& state) { runLoop(state, 1, true); }

BENCHMARK(BM_LoopWithoutWindow)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoopWithOneWindow)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoopWithOneWindowFed48kBlocks64)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
