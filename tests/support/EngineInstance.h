// Analyzer instances for the tests and benchmarks that drive the engine on its own, without the
// module around it: no descriptor, and a sample rate of the program's own instead of the module's.
#pragma once

#include "engine/GuiCtrl.h"

#include <atomic>
#include <memory>

constexpr int32_t kEngineDefaultSampleRate = 44100;

// The sample rate every instance made here reads; set it as a host's command would set the module's.
inline std::atomic<int32_t>& engineSampleRate() {
    static std::atomic<int32_t> rate{kEngineDefaultSampleRate};
    return rate;
}

inline std::unique_ptr<GuiCtrl> makeEngineInstance() { return std::make_unique<GuiCtrl>(nullptr, engineSampleRate()); }
