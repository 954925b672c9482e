#include "engine/TraceWorkers.h"

#include "engine/ControlSlots.h"
#include "engine/EscapedExceptions.h"
#include "engine/RaceCheckerAnnotations.h"
#include "platform/FloatingPoint.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace {

// Client coordinates of the display area that the traces are drawn into.
constexpr int kTraceLeft = 14;
constexpr int kRowOffset = 45;
constexpr int kFrames = 8;
constexpr int kFrameColumns = kDisplayColumns / kFrames;
constexpr int kPhasePoints = kDisplayColumns / 2;
constexpr int kPhaseLeftX = 64;
constexpr int kPhaseRightX = 596;

constexpr int32_t kSelectionNull = 1;
constexpr int32_t kPhaseXTimesY = 1;

std::atomic<TraceThreadStarter> threadStarter{&CreateThread};

uint32_t red(uint32_t word) { return (word >> 16) & 255u; }
uint32_t green(uint32_t word) { return (word >> 8) & 255u; }
uint32_t blue(uint32_t word) { return word & 255u; }

COLORREF traceColour(uint32_t word) { return RGB(red(word), green(word), blue(word)); }
COLORREF dimColour(uint32_t word) { return RGB(red(word) >> 2, green(word) >> 2, blue(word) >> 2); }

// The previous frame is dimmed when the trace keeps a history, otherwise erased in black.
COLORREF previousColour(uint32_t word) { return (word & 0xFF000000u) ? dimColour(word) : RGB(0, 0, 0); }

// The skeleton every worker shares: take a private copy of the job, draw it when there is a window,
// and hand the job back by setting its flag. The flag is the very last thing the worker touches:
// from the moment it is set, the processing thread may refill the job or the owner may free it.
template <typename Draw>
DWORD runWorker(void* parameter, Draw draw) {
    const TraceJob job = *static_cast<const TraceJob*>(parameter);
    if (job.window) {
        if (HDC dc = GetDC(job.window)) {
            draw(dc, job);
            ReleaseDC(job.window, dc);
        }
    }
    RACE_CHECKER_RELEASE(job.doneFlag);
    job.doneFlag->store(true, std::memory_order_release);
    return DWORD(-1);
}

// Draws the previous frame in its pen, then the current one in the trace pen; polyline draws one row.
template <typename Polyline>
void drawWithPens(HDC dc, const TraceJob& job, Polyline polyline) {
    HPEN erasePen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HPEN tracePen = CreatePen(PS_SOLID, 1, traceColour(job.colourWord));
    HPEN dimPen = CreatePen(PS_SOLID, 1, dimColour(job.colourWord));

    HGDIOBJ original = SelectObject(dc, (job.colourWord & 0xFF000000u) ? dimPen : erasePen);
    polyline(dc, job.previous);
    SelectObject(dc, tracePen);
    polyline(dc, job.current);

    if (original) SelectObject(dc, original);
    DeleteObject(erasePen);
    DeleteObject(tracePen);
    DeleteObject(dimPen);
}

void polylineOverColumns(HDC dc, const int32_t* values) {
    MoveToEx(dc, kTraceLeft, values[0] + kRowOffset, nullptr);
    for (int i = 1; i < kDisplayColumns; ++i) LineTo(dc, kTraceLeft + i, values[i] + kRowOffset);
}

// Eight separate frames of 128 points; each point rises one pixel, so a frame climbs 127 pixels.
void slantedFrames(HDC dc, const int32_t* values) {
    for (int f = 0; f < kFrames; ++f) {
        const int first = f * kFrameColumns;
        MoveToEx(dc, kTraceLeft + first, values[first] + kRowOffset, nullptr);
        for (int j = 1; j < kFrameColumns; ++j) LineTo(dc, kTraceLeft + first + j, values[first + j] - j + kRowOffset);
    }
}

// The first half of a row is the horizontal coordinate, the second half the vertical one.
void phasePoints(HDC dc, const TraceJob& job, int x) {
    const COLORREF previous = previousColour(job.colourWord);
    for (int i = 0; i < kPhasePoints; ++i)
        SetPixel(dc, job.previous[i] + x, job.previous[kPhasePoints + i] + kRowOffset, previous);
    const COLORREF current = traceColour(job.colourWord);
    for (int i = 0; i < kPhasePoints; ++i)
        SetPixel(dc, job.current[i] + x, job.current[kPhasePoints + i] + kRowOffset, current);
}

LPTHREAD_START_ROUTINE chooseWorker(const TraceFrame& frame, int trace) {
    const int32_t phase = frame.settings[slot::kPhase];
    if (phase != 0) return trace < 2 ? &drawPhasePointsLeft : &drawPhasePointsRight;
    if (frame.altDisplay && frame.settings[slot::kSpectrumMode] != 0) return &drawTraceSegments;
    return &drawTraceLines;
}

}  // namespace

uint32_t traceColourWord(const int32_t* settings, int trace) {
    const uint32_t history = settings[slot::kFirstHistory + trace] ? 256u : 0u;
    const uint32_t r = uint32_t(settings[slot::kFirstColour + 3 * trace]);
    const uint32_t g = uint32_t(settings[slot::kFirstColour + 3 * trace + 1]);
    const uint32_t b = uint32_t(settings[slot::kFirstColour + 3 * trace + 2]);
    return ((r | history) << 16) | (g << 8) | b;
}

uint32_t traceColourWord(const PanelValue* panel, int trace) {
    int32_t words[slot::kFirstColour + 3 * kTraces] = {};
    for (int k = 0; k < slot::kFirstColour + 3 * kTraces; ++k) words[k] = panel[k];
    return traceColourWord(words, trace);
}

TraceWorkers::TraceWorkers() {
    RACE_CHECKER_ATOMIC_WORD(&quit);
    RACE_CHECKER_ATOMIC_WORD(&analysisPending_);
    RACE_CHECKER_ATOMIC_WORD(&analysisIdle_);
    for (int k = 0; k < kTraces; ++k) {
        jobIdle[k].store(true, std::memory_order_relaxed);
        draw[k].store(nullptr, std::memory_order_relaxed);
        RACE_CHECKER_ATOMIC_WORD(&draw[k]);
        traceJobs[k] = new (std::nothrow) TraceJob();
        if (traceJobs[k] == nullptr) return;
    }
    wake = CreateEventA(nullptr, 0, 0, nullptr);
    if (wake == nullptr) return;
    thread_ = threadStarter.load(std::memory_order_relaxed)(nullptr, kWorkerStackSize, &TraceWorkers::run, this, 0,
                                                            &threadId);
}

// Asks the worker to end and waits for it: a frame it is drawing is finished first, so no worker
// touches the jobs or flags once the jobs go.
TraceWorkers::~TraceWorkers() {
    stop();
    if (wake) CloseHandle(wake);
    for (TraceJob*& job : traceJobs) {
        delete job;
        job = nullptr;
    }
}

void TraceWorkers::stop() {
    if (thread_ == nullptr) return;
    quit.store(true, std::memory_order_release);
    SetEvent(wake);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

bool TraceWorkers::isComplete() const {
    for (const TraceJob* job : traceJobs)
        if (job == nullptr) return false;
    return wake != nullptr && thread_ != nullptr;
}

// The worker's life: sleep until woken; analyse the capture handed over, if any; draw each job
// filled (each draw sets its job's flag as its last act); mark the analysis done; sleep again; end
// when asked to. The thread's own floating-point mode: exceptions masked (the host may have
// unmasked them in the thread that made the instance) and denormals flushed to zero.
DWORD TraceWorkers::run(void* parameter) {
    const FloatingPointGuard quietMaths(FloatingPointGuard::kFlushDenormals);
    TraceWorkers& self = *static_cast<TraceWorkers*>(parameter);
    for (;;) {
        if (WaitForSingleObject(self.wake, INFINITE) != WAIT_OBJECT_0) return 0;
        if (self.quit.load(std::memory_order_acquire)) return 0;
        const bool analysing = self.analysisPending_.exchange(false, std::memory_order_acquire);
        if (analysing) {
            RACE_CHECKER_ACQUIRE(&self.analysisPending_);
            try {
                self.analysis_(self.owner_);
            } catch (...) {
                reportEscapedException("the analysis worker");
            }
        }
        for (int k = 0; k < kTraces; ++k)
            if (LPTHREAD_START_ROUTINE routine = self.draw[k].exchange(nullptr, std::memory_order_acquire))
                routine(self.traceJobs[k]);
        if (analysing) {
            RACE_CHECKER_RELEASE(&self.analysisIdle_);
            self.analysisIdle_.store(true, std::memory_order_release);
        }
    }
}

void TraceWorkers::setAnalysis(Analysis analysis, void* owner) {
    analysis_ = analysis;
    owner_ = owner;
}

void TraceWorkers::startAnalysis() {
    if (thread_ == nullptr || analysis_ == nullptr) return;
    analysisIdle_.store(false, std::memory_order_relaxed);
    RACE_CHECKER_RELEASE(&analysisPending_);
    analysisPending_.store(true, std::memory_order_release);
    // The event orders everything the caller wrote before the worker's first look at it.
    if (!SetEvent(wake) && analysisPending_.exchange(false, std::memory_order_relaxed))
        analysisIdle_.store(true, std::memory_order_release);
}

void TraceWorkers::launch(const TraceFrame& frame) {
    if (thread_ == nullptr) return;
    fillJobs(frame);
    // The event orders everything above before the worker's first look at the jobs.
    if (!SetEvent(wake)) {
        // No worker will ever set these flags; a flag left false would stop every later analysis.
        for (int k = 0; k < kTraces; ++k)
            if (draw[k].exchange(nullptr, std::memory_order_relaxed)) jobIdle[k].store(true, std::memory_order_release);
    }
}

void TraceWorkers::fillJobs(const TraceFrame& frame) {
    const bool shareColours = frame.settings[slot::kPhase] == kPhaseXTimesY;
    for (int k = 0; k < kTraces; ++k) {
        if (frame.settings[slot::kFirstSelection + k] <= kSelectionNull) continue;
        TraceJob& job = *traceJobs[k];
        // With X*Y the second trace of each pair is plotted against the first, in the first's colour.
        job.colourWord =
            (shareColours && (k == 1 || k == 3)) ? traceJobs[k - 1]->colourWord : traceColourWord(frame.settings, k);
        job.window = frame.window;
        std::memcpy(job.previous, frame.previous[k], sizeof job.previous);
        std::memcpy(job.current, frame.current[k], sizeof job.current);
        RACE_CHECKER_ATOMIC_WORD(&jobIdle[k]);
        jobIdle[k].store(false, std::memory_order_relaxed);
        job.doneFlag = &jobIdle[k];
        draw[k].store(chooseWorker(frame, k), std::memory_order_release);
    }
}

bool TraceWorkers::isIdle() const {
    if (!analysisIdle_.load(std::memory_order_acquire)) return false;
    for (const std::atomic<bool>& idle : jobIdle)
        if (!idle.load(std::memory_order_acquire)) return false;
    RACE_CHECKER_ACQUIRE(&analysisIdle_);
    for (const std::atomic<bool>& idle : jobIdle) RACE_CHECKER_ACQUIRE(&idle);
    return true;
}

void TraceWorkers::waitUntilIdle() const {
    while (!isIdle()) std::this_thread::sleep_for(std::chrono::microseconds(200));
}

TraceThreadStarter setTraceThreadStarter(TraceThreadStarter starter) {
    return threadStarter.exchange(starter ? starter : &CreateThread);
}

DWORD drawTraceLines(void* job) {
    return runWorker(job, [](HDC dc, const TraceJob& copy) { drawWithPens(dc, copy, polylineOverColumns); });
}

DWORD drawTraceSegments(void* job) {
    return runWorker(job, [](HDC dc, const TraceJob& copy) { drawWithPens(dc, copy, slantedFrames); });
}

DWORD drawPhasePointsLeft(void* job) {
    return runWorker(job, [](HDC dc, const TraceJob& copy) { phasePoints(dc, copy, kPhaseLeftX); });
}

DWORD drawPhasePointsRight(void* job) {
    return runWorker(job, [](HDC dc, const TraceJob& copy) { phasePoints(dc, copy, kPhaseRightX); });
}
