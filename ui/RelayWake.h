// How the relay wakes the message thread: a doorbell that any thread may ring without locking,
// allocating or waiting, and a periodic timer for pacing. Both callbacks run on the message thread,
// from the host's loop. On Linux these are an eventfd and a timerfd on the platform loop
// (RelayWakeLinux.cpp); on Windows the toolkit's asynchronous update and timer (win32/).
//
// Threads: open, startTimer, stopTimer and destruction [main-thread]; ring [any-thread].
#pragma once

#include <memory>

class RelayWake {
public:
    using Callback = void (*)(void* context);

    // Null when the system refused the descriptors.
    static std::unique_ptr<RelayWake> open(Callback onBell, Callback onTimer, void* context);
    virtual ~RelayWake() = default;

    virtual void ring() = 0;
    // Calls onTimer firstMilliseconds from now (0: at the next round of the loop), then every
    // periodMilliseconds until stopTimer, with no further call to arm it; replaces a timer that is
    // still running. A tick that comes late calls onTimer once.
    virtual void startTimer(int firstMilliseconds, int periodMilliseconds) = 0;
    virtual void stopTimer() = 0;
};
