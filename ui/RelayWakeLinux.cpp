#include "ui/RelayWake.h"

#include "platform/MessageLoop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <new>

namespace {

// The doorbell is an eventfd on the platform loop; the timer is one of the loop's own timers, which
// shorten its wait in poll() and need no descriptor: a tick costs the loop's wake-up and nothing more.
class LoopWake : public RelayWake {
public:
    LoopWake(Callback onBell, Callback onTimer, void* context)
        : onBell_(onBell), onTimer_(onTimer), context_(context) {}

    ~LoopWake() override {
        PlatformLoop* loop = PlatformLoop_shared();
        if (bell_ >= 0) {
            PlatformLoop_removeFd(loop, bell_);
            close(bell_);
        }
        if (timer_ > 0) PlatformLoop_removeTimer(loop, timer_);
    }

    bool open() {
        PlatformLoop* loop = PlatformLoop_shared();
        bell_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        timer_ = PlatformLoop_addTimer(loop, &LoopWake::timerDue, this);
        return bell_ >= 0 && timer_ > 0 && PlatformLoop_addFd(loop, bell_, POLLIN, &LoopWake::bellReady, this) == 0;
    }

    void ring() override {
        const uint64_t one = 1;
        ssize_t written = write(bell_, &one, sizeof one);
        (void)written;  // a full counter already means "ring"
    }

    void startTimer(int firstMilliseconds, int periodMilliseconds) override {
        PlatformLoop_startTimer(PlatformLoop_shared(), timer_, firstMilliseconds, periodMilliseconds);
    }

    void stopTimer() override { PlatformLoop_stopTimer(PlatformLoop_shared(), timer_); }

private:
    static void bellReady(int fd, short, void* self) {
        uint64_t count;
        ssize_t got = read(fd, &count, sizeof count);
        (void)got;
        auto* wake = static_cast<LoopWake*>(self);
        wake->onBell_(wake->context_);
    }
    static void timerDue(void* self) {
        auto* wake = static_cast<LoopWake*>(self);
        wake->onTimer_(wake->context_);
    }

    Callback onBell_, onTimer_;
    void* context_;
    int bell_ = -1, timer_ = 0;
};

}  // namespace

std::unique_ptr<RelayWake> RelayWake::open(Callback onBell, Callback onTimer, void* context) {
    std::unique_ptr<LoopWake> wake(new (std::nothrow) LoopWake(onBell, onTimer, context));
    if (!wake || !wake->open()) return nullptr;
    return wake;
}
