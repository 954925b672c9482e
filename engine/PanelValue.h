// One entry of an instance's panelValues: a 32-bit word that the panel writes on the message thread
// and the processing calls read on the audio thread, without a lock. Each access is a relaxed atomic
// load or store: on i386 the same single move instruction as a plain int, but no data race for the
// compiler or a race checker. Only the word itself is shared; nothing else is ordered by it.
//
// Threads: [any-thread].
#pragma once

#include "common/RaceCheckerAnnotations.h"

#include <atomic>
#include <cstdint>

class PanelValue {
public:
    PanelValue() { RACE_CHECKER_ATOMIC_WORD(&word_); }
    PanelValue(const PanelValue&) = delete;
    PanelValue& operator=(const PanelValue&) = delete;

    operator int32_t() const { return word_.load(std::memory_order_relaxed); }
    PanelValue& operator=(int32_t value) {
        word_.store(value, std::memory_order_relaxed);
        return *this;
    }

private:
    std::atomic<int32_t> word_{0};
};

static_assert(sizeof(PanelValue) == 4, "a panel value is one 32-bit word");
