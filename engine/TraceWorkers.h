// The worker of one instance: a long-lived thread, woken once per complete capture, that runs the
// instance's analysis of it and then draws the job of each trace: it erases or dims the trace's
// previous frame and draws the new one straight into the analyzer window with GDI calls. The
// instance owns one TraceWorkers: the four jobs, their done flags, the thread and the event that
// wakes it. The thread starts with the instance and ends with it. One thread draws the four traces
// one after another: all drawing goes through one display connection (on Windows, one GDI), so more
// threads would only queue, and 256 instances keep 256 threads.
//
// Threads: construction, setAnalysis, stop and destruction [main-thread] (the instance's owner);
// startAnalysis, launch and isIdle [audio-thread]: they fill flags and jobs and set the wake-up
// event, which neither locks, allocates nor waits. The worker runs on its own [worker] thread with
// floating-point exceptions masked and denormals flushed; it reads only a private copy of each job,
// sets that job's done flag (release) as the very last act of drawing it, and marks the analysis
// done (release) after the last job of its frame.
#pragma once

#include "engine/PanelValue.h"
#include "engine/TraceJob.h"
#include "platform/win32.h"

#include <atomic>

// The stack each worker is started with. A worker copies its 8 KB job and draws; measured, its calls
// reach about 9 KB deep drawing into memory and 12 KB into an X11 window (more under
// AddressSanitizer); the analysis works in the instance's own tables. The default of 8 MB a thread
// would let about 500 workers exhaust a 32-bit address space.
constexpr uint32_t kWorkerStackSize = 256 * 1024;

// What one analysis hands to the workers: where to draw, the settings the analysis used, and one
// display row per trace for this analysis and for the previous one.
struct TraceFrame {
    HWND window;  // null: the workers run but draw nothing
    const int32_t* settings;  // the analysis's snapshot of the panel values
    bool altDisplay;  // "Vibes Watch" as the analysis applied it
    const int32_t (*current)[kDisplayColumns];  // kTraces rows
    const int32_t (*previous)[kDisplayColumns];  // kTraces rows
};

class TraceWorkers {
public:
    // Allocates the four jobs and starts the worker; isComplete tells whether that worked (nothing
    // throws).
    TraceWorkers();
    // Ends the worker (a frame being drawn is finished first), then frees the jobs.
    ~TraceWorkers();

    TraceWorkers(const TraceWorkers&) = delete;
    TraceWorkers& operator=(const TraceWorkers&) = delete;

    bool isComplete() const;

    // What the worker runs for each capture handed over: the owner's analysis, which ends by calling
    // fillJobs with the frame it made. Set once, before the first startAnalysis.
    using Analysis = void (*)(void* owner);
    void setAnalysis(Analysis analysis, void* owner);

    // Hands the owner's capture to the worker: it analyses it and draws the frame. Only while
    // isIdle() holds; until isIdle() holds again, the worker owns everything the analysis reads
    // and writes.
    void startAnalysis();

    // Fills the job of every trace whose input selection is on (selection > 1). Called by the
    // analysis on the worker, which draws the jobs next.
    void fillJobs(const TraceFrame& frame);

    // Fills the jobs and wakes the worker to draw them, without an analysis. Only while isIdle() holds.
    void launch(const TraceFrame& frame);

    // True when the worker has finished the analysis and handed every job back (the flags read with
    // acquire semantics, so everything the worker did happens before what the caller does next).
    bool isIdle() const;

    // Ends the worker (a frame being analysed or drawn is finished first). The destructor does it
    // too; an owner whose analysis uses its own members calls it before they go.
    void stop();

    // Sleeps until isIdle() holds. For the instance's owner, tests and benchmarks; never on the audio
    // thread.
    void waitUntilIdle() const;

    // Trace k's job. While isIdle() holds, the owner may also use a job's rows as scratch storage.
    TraceJob& job(int k) { return *traceJobs[k]; }
    const TraceJob& job(int k) const { return *traceJobs[k]; }
    // The handle of the worker thread, null when it could not be started.
    HANDLE thread() const { return thread_; }
    // Trace k's done flag (jobIdle): set while no worker holds the job.
    std::atomic<bool>& doneFlag(int k) { return jobIdle[k]; }

private:
    static DWORD run(void* self);

    TraceJob* traceJobs[kTraces] = {};
    std::atomic<bool> jobIdle[kTraces];
    // Per trace, how to draw the frame handed over; null when none is waiting.
    std::atomic<LPTHREAD_START_ROUTINE> draw[kTraces];
    std::atomic<bool> quit{false};
    Analysis analysis_ = nullptr;
    void* owner_ = nullptr;
    std::atomic<bool> analysisPending_{false};
    std::atomic<bool> analysisIdle_{true};
    HANDLE wake = nullptr;  // auto-reset event: set once per analysis and at the end
    HANDLE thread_ = nullptr;
    DWORD threadId = 0;
};

// Colour word of trace k from the panel settings: 0x0HRRGGBB with H set when the trace's "History" is on.
uint32_t traceColourWord(const int32_t* settings, int trace);
// The same from the live panel values.
uint32_t traceColourWord(const PanelValue* panel, int trace);

// Draw one frame of a job (a TraceJob*) and set its done flag; each returns -1.
DWORD drawTraceLines(void* job);
DWORD drawTraceSegments(void* job);
DWORD drawPhasePointsLeft(void* job);
DWORD drawPhasePointsRight(void* job);

// The function that starts the worker threads, CreateThread's signature. Tests replace it to make a
// start fail or to watch the workers; pass null to go back to CreateThread. Returns the previous one.
// Process-wide: change it only while no instance is being made.
using TraceThreadStarter = HANDLE (*)(void* security, uint32_t stackSize, LPTHREAD_START_ROUTINE routine,
                                      void* parameter, DWORD flags, DWORD* threadId);
TraceThreadStarter setTraceThreadStarter(TraceThreadStarter starter);
