// Applies the values the engines queue for their panels, for every panel of the module at once, at
// most once per display frame. The first value after a quiet spell rings the doorbell and is applied
// at once (or when a frame has passed since the last pass); from then on a frame timer drains all
// panels every 1/60 s while values keep coming, and stops after a pass that found none. The timer is
// periodic: armed once when the ticking starts and stopped once when it ends, not once a frame. So a steady
// stream of values costs the message thread about 60 wake-ups a second however many instances send
// them, and a quiet module costs none.
//
// Threads: attach, detach and every pass [main-thread]; valueQueued [any-thread], without locking,
// allocating or waiting.
#pragma once

#include "ui/RelayWake.h"

#include <atomic>
#include <memory>
#include <vector>

class MainComponent;

class RelayPump {
public:
    static constexpr int kFrameMilliseconds = 16;

    // The module's pump, made for the first panel (null when the system gave no descriptors); each
    // panel attached is detached before it goes, and the last detach deletes the pump.
    static RelayPump* attach(MainComponent* panel);
    static void detach(MainComponent* panel);

    // Called after a value was queued for a panel.
    void valueQueued() {
        // Orders the queued value before the look at the flag; the pass side orders its clearing of
        // the flag before its last look at the queues. One of the two sides then sees the other.
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (!bellRung_.load(std::memory_order_relaxed) && !bellRung_.exchange(true, std::memory_order_acq_rel))
            wake_->ring();
    }

    ~RelayPump();

private:
    RelayPump() = default;
    static void onBell(void* self);
    static void onTimer(void* self);
    bool applyAll();
    bool anyPending() const;
    void passAndTick();

    std::unique_ptr<RelayWake> wake_;
    std::vector<MainComponent*> panels_;
    std::atomic<bool> bellRung_{false};  // set by a sender, cleared when the pump goes quiet
    bool ticking_ = false;
    long long lastPassMs_ = -1000;
};
