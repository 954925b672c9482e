#include "ui/RelayWake.h"

#include "platform/MessageLoop.h"

#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>
#include <new>

namespace {

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
        if (timer_ >= 0) {
            PlatformLoop_removeFd(loop, timer_);
            close(timer_);
        }
    }

    bool open() {
        bell_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        PlatformLoop* loop = PlatformLoop_shared();
        return bell_ >= 0 && timer_ >= 0 && PlatformLoop_addFd(loop, bell_, POLLIN, &LoopWake::bellReady, this) == 0 &&
               PlatformLoop_addFd(loop, timer_, POLLIN, &LoopWake::timerReady, this) == 0;
    }

    void ring() override {
        const uint64_t one = 1;
        ssize_t written = write(bell_, &one, sizeof one);
        (void)written;  // a full counter already means "ring"
    }

    void startTimer(int firstMilliseconds, int periodMilliseconds) override {
        itimerspec when{};
        // A zero it_value would disarm the timer: the earliest expiry is one nanosecond from now.
        when.it_value.tv_sec = firstMilliseconds / 1000;
        when.it_value.tv_nsec = firstMilliseconds > 0 ? long(firstMilliseconds % 1000) * 1000000L : 1;
        when.it_interval.tv_sec = periodMilliseconds / 1000;
        when.it_interval.tv_nsec = long(periodMilliseconds % 1000) * 1000000L;
        timerfd_settime(timer_, 0, &when, nullptr);
    }

    void stopTimer() override {
        const itimerspec disarmed{};
        timerfd_settime(timer_, 0, &disarmed, nullptr);
    }

private:
    static void bellReady(int fd, short, void* self) {
        uint64_t count;
        ssize_t got = read(fd, &count, sizeof count);
        (void)got;
        auto* wake = static_cast<LoopWake*>(self);
        wake->onBell_(wake->context_);
    }
    static void timerReady(int fd, short, void* self) {
        uint64_t expirations;
        // Nothing to read: stopped or re-armed meanwhile. Several expirations (a late tick): one call.
        if (read(fd, &expirations, sizeof expirations) != ssize_t(sizeof expirations)) return;
        auto* wake = static_cast<LoopWake*>(self);
        wake->onTimer_(wake->context_);
    }

    Callback onBell_, onTimer_;
    void* context_;
    int bell_ = -1, timer_ = -1;
};

}  // namespace

std::unique_ptr<RelayWake> RelayWake::open(Callback onBell, Callback onTimer, void* context) {
    std::unique_ptr<LoopWake> wake(new (std::nothrow) LoopWake(onBell, onTimer, context));
    if (!wake || !wake->open()) return nullptr;
    return wake;
}
