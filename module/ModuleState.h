// Module-wide state, one copy per loaded library: the instance table, the module sample rate and the
// host's callback. No lock guards it: commands run on the host thread that issues them. The sample
// rate and the callback are also read on other threads (the processing thread, drawing workers), so
// they are relaxed atomics: each a whole word, the same i386 code as a plain one, and no data race.
#pragma once

#include "qanagui/protocol.h"

#include <atomic>
#include <cstdint>

class Effect;

// A host notification function: a code, two values and a final 0 (installed by command 1030).
typedef QanaguiHostCallback HostCallback;

constexpr int kInstanceSlots = QANAGUI_MAX_INSTANCES;
constexpr int32_t kDefaultSampleRate = QANAGUI_DEFAULT_SAMPLE_RATE;

struct ModuleState {
    ModuleState();

    Effect* instanceTable[kInstanceSlots] = {};
    std::atomic<int32_t> sampleRate{kDefaultSampleRate};
    std::atomic<HostCallback> hostCallback{nullptr};
};

// The library's one state object. [main-thread] for writes.
ModuleState& moduleState();

// The module sample rate in Hz, as last set by the host (44100 until then). [any-thread]
int32_t moduleSampleRate();

// Sends a notification to the host's callback; 0 while none is installed. [any-thread]
int32_t notifyHost(int32_t code, int32_t value1, int32_t value2);
