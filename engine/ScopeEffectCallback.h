// The panel-facing interface of an analyzer instance: the panel stores control values through it.
// Threads: setPanelValue [main-thread].
#pragma once

#include <cstdint>

class ScopeEffectCallback {
public:
    virtual ~ScopeEffectCallback() = default;
    // Stores value under a control slot (0 to 76; callers only use the panel's slots).
    virtual void setPanelValue(int32_t slot, int32_t value) = 0;
};
