// Fuzzes the audio entry of one instance that has started up with its window shown: blocks of
// samples with a start and a count chosen by the input, between control calls, panel settings and
// sample rates. The start and the count always stay within the four sample arrays owned here: the
// entry reads inputs[k][start .. start + count - 1] for k = 0 .. 3.
//
// An in-memory window stands in for the display: each instance is handed it as its own window, so its
// worker really draws every analysis into it. Whether the workers have
// finished when the next block comes depends on thread timing; after each block the input chooses to
// wait for them (a host at real-time pace, reproducible) or not (a host running flat out). It also
// chooses when starting a worker thread fails.
#include "FuzzHost.h"

#include "common/ControlSlots.h"
#include "engine/GuiCtrl.h"
#include "engine/TraceWorkers.h"
#include "platform/MemorySurface.h"

#include <algorithm>
#include <cmath>
#include <sched.h>

using namespace fuzzhost;

namespace {

constexpr int kLongestBlock = 4096;

bool threadStartsFail = false;

HANDLE startWorker(void* security, uint32_t stackSize, LPTHREAD_START_ROUTINE routine, void* parameter, DWORD flags,
                   DWORD* threadId) {
    return threadStartsFail ? nullptr : CreateThread(security, stackSize, routine, parameter, flags, threadId);
}

// One input's samples: raw words from the input, a constant, a sine, a full-scale square wave or
// full-range noise.
void fillSignal(int32_t* samples, int length, FuzzedDataProvider& data) {
    switch (data.ConsumeIntegralInRange(0, 4)) {
    case 0:
        for (int i = 0; i < length; ++i) samples[i] = data.ConsumeIntegral<int32_t>();
        break;
    case 1: std::fill(samples, samples + length, data.ConsumeIntegral<int32_t>()); break;
    case 2: {
        const double amplitude = data.ConsumeIntegralInRange<int32_t>(0, INT32_MAX);
        const int period = data.ConsumeIntegralInRange(2, 4096);
        for (int i = 0; i < length; ++i)
            samples[i] = i < period ? int32_t(amplitude * std::sin(2.0 * M_PI * i / period)) : samples[i - period];
        break;
    }
    case 3: {
        const int half = data.ConsumeIntegralInRange(1, 2048);
        for (int i = 0; i < length; ++i) samples[i] = (i / half) % 2 ? INT32_MIN : INT32_MAX;
        break;
    }
    default: {
        uint32_t state = data.ConsumeIntegral<uint32_t>();
        for (int i = 0; i < length; ++i) samples[i] = int32_t(state = state * 1664525u + 1013904223u);
        break;
    }
    }
}

void audioBlock(const Instance& instance, FuzzedDataProvider& data) {
    const int length = data.ConsumeIntegralInRange(1, kLongestBlock);
    std::vector<std::vector<int32_t>> inputs(4, std::vector<int32_t>(length));
    std::vector<const int32_t*> rows(4);
    for (int k = 0; k < 4; ++k) {
        fillSignal(inputs[k].data(), length, data);
        rows[k] = inputs[k].data();
    }
    const int32_t start = data.ConsumeIntegralInRange(0, length);
    const int32_t count = data.ConsumeIntegralInRange(0, length - start);
    const int32_t rowsWord = int32_t(reinterpret_cast<uintptr_t>(rows.data()));
    if (audioEntry()(instance.handle, 0, rowsWord, 0, 0, start, count) != -1)
        fail("the audio entry returned other than -1");
    if (data.ConsumeBool()) {
        const GuiCtrl& engine =
            *static_cast<const GuiCtrl*>(reinterpret_cast<const Effect*>(uintptr_t(instance.handle)));
        while (!engine.workers().isIdle()) sched_yield();
    }
}

HWND window = 0;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    runWithoutDisplay();
    // The size of the analyzer's window; it lives as long as the process.
    window = PlatformSurface_register(0, 1065, 590, "Analyzer");
    if (window == 0) fail("no in-memory window");
    setTraceThreadStarter(&startWorker);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    {
        InstanceForInput forInput;
        Instance& instance = *forInput;
        // Without a display the instance has no window of its own: it is handed the in-memory one.
        static_cast<GuiCtrl*>(reinterpret_cast<Effect*>(uintptr_t(instance.handle)))->adoptWindow(window);
        instance.pins.set(slot::kShowPin, 1);
        instance.control();
        while (instance.calls() <= fuzzhost::kStartupCalls) instance.control();  // start-up, then shown
        while (data.remaining_bytes() > 0) {
            switch (data.ConsumeIntegralInRange(0, 7)) {
            case 0:
            case 1: panelEvent(instance.handle, data); break;
            case 2:
                if (data.ConsumeBool()) {
                    sampleRateEvent(instance.handle, data);
                } else {
                    threadStartsFail = data.ConsumeBool();
                }
                break;
            case 3: instance.pins.change(data); [[fallthrough]];
            default:
                instance.control();
                audioBlock(instance, data);
                break;
            }
        }
    }
    resetModuleState();
    threadStartsFail = false;
    return 0;
}
