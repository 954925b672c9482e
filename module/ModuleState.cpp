#include "module/ModuleState.h"

#include "common/RaceCheckerAnnotations.h"

// The two words that other threads read are atomics; race checkers are told so.
ModuleState::ModuleState() {
    RACE_CHECKER_ATOMIC_WORD(&sampleRate);
    RACE_CHECKER_ATOMIC_WORD(&hostCallback);
}

ModuleState& moduleState() {
    static ModuleState state;
    return state;
}

int32_t moduleSampleRate() { return moduleState().sampleRate.load(std::memory_order_relaxed); }

int32_t notifyHost(int32_t code, int32_t value1, int32_t value2) {
    HostCallback callback = moduleState().hostCallback.load(std::memory_order_relaxed);
    return callback ? callback(code, value1, value2, 0) : 0;
}
