// The worker of one instance: a long-lived thread, started with the instance and ended with it, woken
// once per complete capture. It runs the instance's analysis of the capture and then draws the frame
// the analysis made (drawTraceFrame), the traces one after another. One thread per instance, not one
// per trace: all drawing goes through one display connection (on Windows, one GDI), so more threads
// would only queue, and 256 instances keep 256 threads.
//
// Threads: construction, setAnalysis, stop and destruction [main-thread] (the instance's owner);
// startAnalysis and isIdle [audio-thread]: they set the idle flag and the wake-up event, which
// neither locks, allocates nor waits. The worker runs on its own [worker] thread with floating-point
// exceptions masked and denormals flushed. From the hand-over until it marks itself idle (release) as
// the last act of its step, it owns everything the analysis and the drawing use: the capture, the
// display rows and the analysis's tables and results.
#pragma once

#include "engine/TraceDrawing.h"
#include "platform/win32.h"

#include <atomic>
#include <cstdint>

// The stack the worker is started with. Its analysis works in the instance's own tables and its
// drawing reads the display rows where they are; measured, its calls reach under 1 KB deep drawing
// into memory and about 5 KB into an X11 window (more under AddressSanitizer). The default of 8 MB a
// thread would let about 500 workers exhaust a 32-bit address space.
constexpr uint32_t kWorkerStackSize = 256 * 1024;

class TraceWorkers {
public:
    // Makes the wake-up event and starts the worker; isComplete tells whether that worked (nothing
    // throws).
    TraceWorkers();
    // Ends the worker (a frame being analysed or drawn is finished first).
    ~TraceWorkers();

    TraceWorkers(const TraceWorkers&) = delete;
    TraceWorkers& operator=(const TraceWorkers&) = delete;

    bool isComplete() const;

    // What the worker runs for each capture handed over: the owner's analysis, which returns the frame
    // it made; the worker draws that frame next. Set once, before the first startAnalysis.
    using Analysis = TraceFrame (*)(void* owner);
    void setAnalysis(Analysis analysis, void* owner);

    // Hands the owner's capture to the worker: it analyses it and draws the frame. Only while
    // isIdle() holds; until isIdle() holds again, the worker owns everything the analysis reads and
    // writes and the rows of the frame it draws.
    void startAnalysis();

    // True when the worker has finished the analysis and the drawing of the last capture handed over
    // (the flag read with acquire semantics, so everything the worker did happens before what the
    // caller does next).
    bool isIdle() const;

    // Ends the worker (a frame being analysed or drawn is finished first). The destructor does it
    // too; an owner whose analysis uses its own members calls it before they go.
    void stop();

    // Sleeps until isIdle() holds. For the instance's owner, tests and benchmarks; never on the audio
    // thread.
    void waitUntilIdle() const;

    // The handle of the worker thread, null when it could not be started.
    HANDLE thread() const { return thread_; }

private:
    static DWORD run(void* self);

    std::atomic<bool> quit{false};
    Analysis analysis_ = nullptr;
    void* owner_ = nullptr;
    // Cleared by startAnalysis, set by the worker once the frame is drawn.
    std::atomic<bool> idle_{true};
    // The colour word each trace was last drawn in (drawTraceFrame).
    uint32_t colourWords_[kTraces] = {};
    HANDLE wake = nullptr;  // auto-reset event: set once per analysis and at the end
    HANDLE thread_ = nullptr;
    DWORD threadId = 0;
};

// The function that starts the worker threads, CreateThread's signature. Tests replace it to make a
// start fail or to watch the worker; pass null to go back to CreateThread. Returns the previous one.
// Process-wide: change it only while no instance is being made.
using TraceThreadStarter = HANDLE (*)(void* security, uint32_t stackSize, LPTHREAD_START_ROUTINE routine,
                                      void* parameter, DWORD flags, DWORD* threadId);
TraceThreadStarter setTraceThreadStarter(TraceThreadStarter starter);
