// The drawing workers of one instance: after each analysis one short-lived thread per active trace
// erases or dims the trace's previous frame and draws the new one straight into the analyzer window
// with GDI calls. The instance owns one TraceWorkers: the four jobs, their done flags and the handles
// of the threads that draw them.
//
// Threads: launch, join and the destructor [audio-thread] / [main-thread] (the instance's owner, never
// concurrently); isIdle on the thread that launches. The draw routines run on their own [worker]
// thread each, read only a private copy of their job and set the job's done flag (release) as their
// very last act.
#pragma once

#include "engine/PanelValue.h"
#include "engine/TraceJob.h"
#include "platform/win32.h"

#include <atomic>


// The stack each worker is started with. A worker copies its 8 KB job and draws; measured, its calls
// reach about 9 KB deep drawing into memory and 12 KB into an X11 window (more under
// AddressSanitizer). The default of 8 MB a thread would let about 500 workers exhaust a 32-bit address
// space, while 256 instances may run 1024.
constexpr uint32_t kWorkerStackSize = 256 * 1024;

// What one analysis hands to the workers: where to draw, the panel's settings, and one display row
// per trace for this analysis and for the previous one.
struct TraceFrame {
    HWND window;                                  // null: the workers run but draw nothing
    const PanelValue* panel;                      // selections, colours, "History", "PHASEN", view
    bool altDisplay;                              // "Vibes Watch" as the analysis applied it
    const int32_t (*current)[kDisplayColumns];    // kTraces rows
    const int32_t (*previous)[kDisplayColumns];   // kTraces rows
};

class TraceWorkers {
public:
    // Allocates the four jobs; isComplete tells whether that worked (nothing throws).
    TraceWorkers();
    // Waits for every worker, then frees the jobs.
    ~TraceWorkers();

    TraceWorkers(const TraceWorkers&) = delete;
    TraceWorkers& operator=(const TraceWorkers&) = delete;

    bool isComplete() const;

    // Fills the job of every trace whose input selection is on (selection > 1) and starts its worker.
    // Called once per analysis, only while isIdle() holds. A worker that cannot be started leaves its
    // trace without this frame; its flag stays set.
    void launch(const TraceFrame& frame);

    // True when every trace's worker has handed its job back (the four flags read with acquire
    // semantics, so everything the workers did happens before what the caller does next).
    bool isIdle() const;

    // Waits for every worker to end and closes their handles. After it returns no worker touches the
    // jobs or flags.
    void join();

    // Trace k's job. While isIdle() holds, the owner may also use a job's rows as scratch storage.
    TraceJob& job(int k) { return *traceJobs[k]; }
    const TraceJob& job(int k) const { return *traceJobs[k]; }
    // The handle of trace k's last worker, null when none is held.
    HANDLE thread(int k) const { return workerThreads[k]; }
    // Trace k's done flag (jobIdle): set while no worker holds the job.
    std::atomic<bool>& doneFlag(int k) { return jobIdle[k]; }

private:
    // Waits for trace k's last worker to end and closes its handle.
    void endWorker(int k);

    TraceJob* traceJobs[kTraces] = {};
    std::atomic<bool> jobIdle[kTraces];
    HANDLE workerThreads[kTraces] = {};
    DWORD workerThreadIds[kTraces] = {};
};

// Colour word of trace k from the panel: 0x0HRRGGBB with H set when the trace's "History" is on.
uint32_t traceColourWord(const PanelValue* panel, int trace);

// Worker start routines; each takes a TraceJob* and returns -1.
DWORD drawTraceLines(void* job);
DWORD drawTraceSegments(void* job);
DWORD drawPhasePointsLeft(void* job);
DWORD drawPhasePointsRight(void* job);

// The function that starts worker threads, CreateThread's signature. Tests replace it to make a
// start fail or to watch the workers; pass null to go back to CreateThread. Returns the previous one.
// Process-wide: change it only while no instance launches workers.
using TraceThreadStarter = HANDLE (*)(void* security, uint32_t stackSize, LPTHREAD_START_ROUTINE routine,
                                      void* parameter, DWORD flags, DWORD* threadId);
TraceThreadStarter setTraceThreadStarter(TraceThreadStarter starter);
