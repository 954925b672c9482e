#include "engine/TraceWorkers.h"

#include "common/EscapedExceptions.h"
#include "common/RaceCheckerAnnotations.h"
#include "platform/FloatingPoint.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<TraceThreadStarter> threadStarter{&CreateThread};

}  // namespace

TraceWorkers::TraceWorkers() {
    RACE_CHECKER_ATOMIC_WORD(&quit);
    RACE_CHECKER_ATOMIC_WORD(&idle_);
    wake = CreateEventA(nullptr, 0, 0, nullptr);
    if (wake == nullptr) return;
    thread_ = threadStarter.load(std::memory_order_relaxed)(nullptr, kWorkerStackSize, &TraceWorkers::run, this, 0,
                                                            &threadId);
}

TraceWorkers::~TraceWorkers() {
    stop();
    if (wake) CloseHandle(wake);
}

// Asks the worker to end and waits for it: a step it is in is finished first, so nothing the step
// uses is touched once stop returns.
void TraceWorkers::stop() {
    if (thread_ == nullptr) return;
    quit.store(true, std::memory_order_release);
    SetEvent(wake);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

bool TraceWorkers::isComplete() const { return wake != nullptr && thread_ != nullptr; }

// The worker's life: sleep until woken; analyse the capture handed over and draw the frame the
// analysis made; mark the step done; sleep again; end when asked to. The thread's own floating-point
// mode: exceptions masked (the host may have unmasked them in the thread that made the instance) and
// denormals flushed to zero. Its priority is below normal: analysing and drawing frames yields the
// processor to the host's threads and the message loop (a frame that comes late is drawn late or not
// at all; a loop round that comes late stalls every window).
DWORD TraceWorkers::run(void* parameter) {
    const FloatingPointGuard quietMaths(FloatingPointGuard::kFlushDenormals);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
    TraceWorkers& self = *static_cast<TraceWorkers*>(parameter);
    for (;;) {
        if (WaitForSingleObject(self.wake, INFINITE) != WAIT_OBJECT_0) return 0;
        if (self.quit.load(std::memory_order_acquire)) return 0;
        try {
            drawTraceFrame(self.analysis_(self.owner_), self.colourWords_);
        } catch (...) {
            reportEscapedException("the drawing worker");  // drawing changes no instance state
        }
        RACE_CHECKER_RELEASE(&self.idle_);
        self.idle_.store(true, std::memory_order_release);
    }
}

void TraceWorkers::setAnalysis(Analysis analysis, void* owner) {
    analysis_ = analysis;
    owner_ = owner;
}

void TraceWorkers::startAnalysis() {
    if (thread_ == nullptr || analysis_ == nullptr) return;
    idle_.store(false, std::memory_order_relaxed);
    // The event orders everything the caller wrote before the worker's first look at it. A worker that
    // was not woken never sets the flag again: it is set here instead.
    if (!SetEvent(wake)) idle_.store(true, std::memory_order_release);
}

bool TraceWorkers::isIdle() const {
    if (!idle_.load(std::memory_order_acquire)) return false;
    RACE_CHECKER_ACQUIRE(&idle_);
    return true;
}

void TraceWorkers::waitUntilIdle() const {
    while (!isIdle()) std::this_thread::sleep_for(std::chrono::microseconds(200));
}

TraceThreadStarter setTraceThreadStarter(TraceThreadStarter starter) {
    return threadStarter.exchange(starter ? starter : &CreateThread);
}
