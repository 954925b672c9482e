#include "engine/TraceDrawing.h"

#include "common/ControlSlots.h"

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

uint32_t red(uint32_t word) { return (word >> 16) & 255u; }
uint32_t green(uint32_t word) { return (word >> 8) & 255u; }
uint32_t blue(uint32_t word) { return word & 255u; }

COLORREF traceColour(uint32_t word) { return RGB(red(word), green(word), blue(word)); }
COLORREF dimColour(uint32_t word) { return RGB(red(word) >> 2, green(word) >> 2, blue(word) >> 2); }

// The previous frame is dimmed when the trace keeps a history, otherwise erased in black.
COLORREF previousColour(uint32_t word) { return (word & 0xFF000000u) ? dimColour(word) : RGB(0, 0, 0); }

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

using DrawTrace = void (*)(HDC, const TraceJob&);

// The phase views put traces 1 and 2 in the left plot and 3 and 4 in the right one; "Vibes Watch"
// slants its frames only in the spectrum view.
DrawTrace drawingFor(const TraceFrame& frame, int trace) {
    if (frame.settings[slot::kPhase] != 0) return trace < 2 ? &drawPhasePointsLeft : &drawPhasePointsRight;
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

void drawTraceFrame(const TraceFrame& frame, uint32_t (&colourWords)[kTraces]) {
    const bool shareColours = frame.settings[slot::kPhase] == kPhaseXTimesY;
    for (int k = 0; k < kTraces; ++k) {
        if (frame.settings[slot::kFirstSelection + k] <= kSelectionNull) continue;
        colourWords[k] = (shareColours && (k == 1 || k == 3)) ? colourWords[k - 1] : traceColourWord(frame.settings, k);
        if (!frame.window) continue;
        if (HDC dc = GetDC(frame.window)) {
            drawingFor(frame, k)(dc, TraceJob{frame.previous[k], frame.current[k], colourWords[k]});
            ReleaseDC(frame.window, dc);
        }
    }
}

void drawTraceLines(HDC dc, const TraceJob& job) { drawWithPens(dc, job, polylineOverColumns); }

void drawTraceSegments(HDC dc, const TraceJob& job) { drawWithPens(dc, job, slantedFrames); }

void drawPhasePointsLeft(HDC dc, const TraceJob& job) { phasePoints(dc, job, kPhaseLeftX); }

void drawPhasePointsRight(HDC dc, const TraceJob& job) { phasePoints(dc, job, kPhaseRightX); }
