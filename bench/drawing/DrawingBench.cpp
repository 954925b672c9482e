// Cost of one 1024-point polyline from GetDC to ReleaseDC, as a drawing worker draws a trace:
// into an in-memory surface, and into an X11 window from one thread and from four at once.
// The X11 cases need a display (run under scripts/with-xvfb); without one only the surface runs.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <vector>

#include "platform/MemorySurface.h"
#include "platform/WindowPixels.h"
#include "platform/win32.h"

namespace {

constexpr int kWidth = 1100, kHeight = 460, kPoints = 1024;

// Window rows of a trace (display rows 1 ... 400 at window rows 46 ... 445). A smooth trace moves at
// most a few rows per column, like a time trace; a jagged one jumps anywhere, like a noisy spectrum,
// and so has about 130 pixels per segment instead of 1 or 2.
std::vector<int> traceRows(bool jagged, int seed) {
    std::vector<int> rows(kPoints);
    unsigned state = 12345u + unsigned(seed);
    int row = 200;
    for (int& r : rows) {
        state = state * 1103515245u + 12345u;
        const int step = int((state >> 16) % 7u) - 3;
        row = jagged ? int((state >> 16) % 400u) : (row + step < 0 || row + step >= 400 ? row - step : row + step);
        r = 46 + row;
    }
    return rows;
}

const char* traceLabel(benchmark::State& state) { return state.range(0) ? "jagged trace" : "smooth trace"; }

void drawPolyline(HWND window, const std::vector<int>& rows, COLORREF colour) {
    HDC dc = GetDC(window);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ original = SelectObject(dc, pen);
    MoveToEx(dc, 14, rows[0], nullptr);
    for (int i = 1; i < kPoints; ++i) LineTo(dc, 14 + i, rows[size_t(i)]);
    SelectObject(dc, original);
    DeleteObject(pen);
    if (ReleaseDC(window, dc) != 1) std::abort();
}

HWND surface = 0;
HWND x11Window = 0;

void BM_PolylineMemorySurface(benchmark::State& state) {
    const std::vector<int> rows = traceRows(state.range(0) != 0, 0);
    for (auto _ : state) drawPolyline(surface, rows, RGB(255, 200, 0));
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(traceLabel(state));
}
BENCHMARK(BM_PolylineMemorySurface)->Arg(0)->Arg(1)->UseRealTime();

void BM_PolylineX11(benchmark::State& state) {
    const std::vector<int> rows = traceRows(state.range(0) != 0, state.thread_index());
    const unsigned long errorsBefore = PlatformWindow_x11ErrorCount();
    for (auto _ : state) drawPolyline(x11Window, rows, RGB(60 * state.thread_index(), 255, 0));
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(traceLabel(state));
    if (PlatformWindow_x11ErrorCount() != errorsBefore) state.SkipWithError("X errors while drawing");
}

}  // namespace

int main(int argc, char** argv) {
    surface = PlatformSurface_register(0, kWidth, kHeight, "bench surface");

    Display* toolkit = XOpenDisplay(nullptr);  // the window's owner, as the toolkit would be
    if (toolkit) {
        const int screen = DefaultScreen(toolkit);
        Window window = XCreateSimpleWindow(toolkit, RootWindow(toolkit, screen), 0, 0, kWidth, kHeight, 0, 0,
                                            BlackPixel(toolkit, screen));
        XStoreName(toolkit, window, "bench window");
        XMapWindow(toolkit, window);
        XSync(toolkit, False);
        x11Window = HWND(window);
        benchmark::RegisterBenchmark("BM_PolylineX11", BM_PolylineX11)
            ->Arg(0)
            ->Arg(1)
            ->UseRealTime()
            ->Threads(1)
            ->Threads(4);
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (toolkit) XCloseDisplay(toolkit);
    PlatformSurface_unregister(surface);
    return 0;
}
