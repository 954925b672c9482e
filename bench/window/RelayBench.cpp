// The relay from the engine to the panel: how fast the message thread drains queued values, against
// the cost of queuing them on the engine's side. An instance with its real window; values on slot 7
// (a display label: applied without touching a control) and on slot 32 (a colour slider: a control set
// with notification, as for a value arriving on an input pin).
//
// Run under a display: scripts/with-xvfb build/bench/bench_relay
#include "engine/GuiCtrl.h"
#include "tests/support/EngineInstance.h"
#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"
#include "ui/GuiRegistry.h"
#include "ui/MainComponent.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kBurst = 10000;

struct Panel {
    Panel() {
        instance = makeEngineInstance();
        GuiObjectCallback* relay = nullptr;
        if (createGuiFor(instance.get(), &relay)) instance->attachPanel(relay);
        panel = dynamic_cast<MainComponent*>(relay);
        PlatformLoop_runFor(PlatformLoop_shared(), 300);
    }
    ~Panel() {
        GuiCtrl* gone = instance.get();
        instance.reset();
        destroyGuiFor(gone);
        stopToolkitIfUnused();
    }
    std::unique_ptr<GuiCtrl> instance;
    MainComponent* panel = nullptr;
};

void drain(benchmark::State& state, int32_t slot) {
    if (!PlatformWindow_x11Available()) {
        state.SkipWithError("no display");
        return;
    }
    Panel p;
    for (auto _ : state) {
        state.PauseTiming();
        for (int32_t i = 0; i < kBurst; ++i) p.panel->setValue(slot, i & 0xFF);
        state.ResumeTiming();
        while (p.panel->hasPendingValues()) PlatformLoop_pump(PlatformLoop_shared(), 0);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kBurst);
}

void BM_DrainLabelValues(benchmark::State& state) { drain(state, 7); }
void BM_DrainColourValues(benchmark::State& state) { drain(state, 32); }

void BM_QueueValues(benchmark::State& state) {
    if (!PlatformWindow_x11Available()) {
        state.SkipWithError("no display");
        return;
    }
    Panel p;
    for (auto _ : state) {
        for (int32_t i = 0; i < kBurst; ++i) p.panel->setValue(7, i);
        state.PauseTiming();
        while (p.panel->hasPendingValues()) PlatformLoop_pump(PlatformLoop_shared(), 0);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kBurst);
}

BENCHMARK(BM_QueueValues)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrainLabelValues)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrainColourValues)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
