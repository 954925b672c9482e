// What an open analyzer window costs while nothing happens: the host's loop run for one second with
// the module loaded and one instance (its window open, the engine not fed), against the same loop
// with the module loaded and no instance. Process CPU time per second of loop, from getrusage.
//
// Run under a display: scripts/with-xvfb build/bench/bench_window_idle
#include "host/ModuleLoader.h"
#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/time.h>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

void runLoop(benchmark::State& state, int instances) {
    if (!PlatformWindow_x11Available()) {
        state.SkipWithError("no display");
        return;
    }
    ModuleLoader module;
    if (!module.load(QANAGUI_MODULE_PATH)) {
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
    PlatformLoop_runFor(loop, 500);   // the window opens and paints first
    double cpu = 0;
    for (auto _ : state) {
        const double before = cpuSeconds();
        PlatformLoop_runFor(loop, 1000);
        cpu += cpuSeconds() - before;
    }
    state.counters["cpu_ms_per_s"] = 1000.0 * cpu / double(state.iterations());
    for (int32_t handle : handles) {
        int32_t out[1] = {0}, returned = 0;
        module.command(1026, &handle, 4, out, 4, returned);
    }
}

void BM_LoopWithoutWindow(benchmark::State& state) { runLoop(state, 0); }
void BM_LoopWithOneWindow(benchmark::State& state) { runLoop(state, 1); }

BENCHMARK(BM_LoopWithoutWindow)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoopWithOneWindow)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
