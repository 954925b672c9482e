#include "ui/RelayPump.h"

#include "common/EscapedExceptions.h"
#include "platform/FloatingPoint.h"
#include "ui/MainComponent.h"
#include "ui/ToolkitMemory.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace {

RelayPump* thePump = nullptr;

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

RelayPump* RelayPump::attach(MainComponent* panel) {
    if (thePump == nullptr) {
        std::unique_ptr<RelayPump> pump(new (std::nothrow) RelayPump());
        if (!pump) return nullptr;
        pump->wake_ = RelayWake::open(&RelayPump::onBell, &RelayPump::onTimer, pump.get());
        if (!pump->wake_) return nullptr;
        thePump = pump.release();
    }
    try {
        thePump->panels_.push_back(panel);
    } catch (const std::bad_alloc&) {
        if (thePump->panels_.empty()) {
            delete thePump;
            thePump = nullptr;
        }
        return nullptr;
    }
    return thePump;
}

void RelayPump::detach(MainComponent* panel) {
    if (thePump == nullptr) return;
    auto& panels = thePump->panels_;
    panels.erase(std::remove(panels.begin(), panels.end(), panel), panels.end());
    if (panels.empty()) {
        delete thePump;
        thePump = nullptr;
    }
}

RelayPump::~RelayPump() = default;

bool RelayPump::applyAll() {
    // Applying runs the controls' listeners in the module's floating-point mode, not the host's.
    const FloatingPointGuard maths;
    // Applying moves controls, which posts the toolkit's messages and repaints: with memory short the
    // values stay queued, and the frame timer keeps ticking until they can be applied.
    if (!toolkit::hasWorkingMemory()) return true;
    bool any = false;
    // Applying a value never attaches or detaches a panel, so the list stays as it is during the pass.
    // The pass runs from the loop, which must not see an exception: one thrown while a panel applies
    // a value is reported, that panel's other values wait for the next pass, and the others go on.
    for (size_t i = 0; i < panels_.size(); ++i) {
        try {
            any = panels_[i]->applyPendingValues() > 0 || any;
        } catch (...) {
            reportEscapedException("the panel's value relay");
            any = true;
        }
    }
    lastPassMs_ = nowMs();
    return any;
}

bool RelayPump::anyPending() const {
    for (const MainComponent* panel : panels_)
        if (panel->hasPendingValues()) return true;
    return false;
}

void RelayPump::passAndTick() {
    applyAll();
    ticking_ = true;
    wake_->startTimer(kFrameMilliseconds, kFrameMilliseconds);
}

void RelayPump::onBell(void* self) {
    auto* pump = static_cast<RelayPump*>(self);
    if (pump->ticking_) return;  // the running timer takes them
    const long long since = nowMs() - pump->lastPassMs_;
    if (since >= kFrameMilliseconds) {
        pump->passAndTick();
    } else {
        pump->ticking_ = true;
        pump->wake_->startTimer(int(kFrameMilliseconds - since), kFrameMilliseconds);
    }
}

void RelayPump::onTimer(void* self) {
    auto* pump = static_cast<RelayPump*>(self);
    if (pump->applyAll()) return;  // the timer ticks on, armed once for the whole busy spell
    // Quiet: stop ticking and let the next value ring again. A value queued just before the flag
    // was cleared did not ring: look once more.
    pump->wake_->stopTimer();
    pump->ticking_ = false;
    pump->bellRung_.store(false, std::memory_order_seq_cst);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (pump->anyPending() && !pump->bellRung_.exchange(true, std::memory_order_acq_rel)) pump->passAndTick();
}
