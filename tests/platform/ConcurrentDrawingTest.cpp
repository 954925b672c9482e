// Four worker threads drawing 1024-point polylines into one X11 window at once, while the "toolkit"
// paints into the same window through its own connection.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "platform/MemorySurface.h"
#include "TestWindows.h"
#include "platform/WindowPixels.h"
#include "platform/win32.h"

using namespace platform_test;

namespace {

constexpr int kWidth = 1100, kHeight = 460;
constexpr int kPoints = 1024, kRounds = 60, kWorkers = 4;
constexpr int kToolkitX = 1050;  // the toolkit paints the strip right of the traces

struct Worker {
    HWND window;
    int band;  // 0 ... 3: rows 100 * band + 10 ... 100 * band + 90
    int round = 0;
    bool allReleased = true;
};

int traceRow(int band, int round, int column) { return 100 * band + 10 + (column * 7 + round * 13 + band * 29) % 80; }

// What an engine worker does: erase the previous polyline in black, draw the new one in colour.
void drawTrace(HWND window, int band, int round, bool* released) {
    HDC dc = GetDC(window);
    if (!dc) {
        *released = false;
        return;
    }
    HPEN erase = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HPEN trace = CreatePen(PS_SOLID, 1, RGB(60 * band + 50, 255 - 40 * band, 100));
    HGDIOBJ original = SelectObject(dc, erase);
    for (int pass = 0; pass < 2; ++pass) {
        const int r = pass == 0 ? round - 1 : round;
        if (pass == 1) SelectObject(dc, trace);
        MoveToEx(dc, 14, traceRow(band, r, 0), nullptr);
        for (int i = 1; i < kPoints; ++i) LineTo(dc, 14 + i, traceRow(band, r, i));
    }
    SelectObject(dc, original);
    DeleteObject(erase);
    DeleteObject(trace);
    if (ReleaseDC(window, dc) != 1) *released = false;
}

DWORD runWorker(void* parameter) {
    auto* worker = static_cast<Worker*>(parameter);
    drawTrace(worker->window, worker->band, worker->round, &worker->allReleased);
    return DWORD(-1);
}

TEST(ConcurrentDrawing, FourWorkersDrawIntoOneWindowWithoutErrors) {
    if (!displayConfigured()) GTEST_SKIP() << "DISPLAY is not set";
    Target target(Backend::X11, kWidth, kHeight, "Analyzer");
    Display* toolkit = target.display();
    GC toolkitGc = XCreateGC(toolkit, Window(target.handle()), 0, nullptr);
    const unsigned long errorsBefore = PlatformWindow_x11ErrorCount();

    Worker workers[kWorkers];
    for (int k = 0; k < kWorkers; ++k) workers[k] = Worker{target.handle(), k};
    for (int round = 0; round < kRounds; ++round) {
        HANDLE threads[kWorkers];
        for (int k = 0; k < kWorkers; ++k) {
            workers[k].round = round;
            threads[k] = CreateThread(nullptr, 0, runWorker, &workers[k], 0, nullptr);
            ASSERT_NE(threads[k], nullptr);
        }
        XSetForeground(toolkit, toolkitGc, 0x00FF00u * unsigned(round % 2));
        XFillRectangle(toolkit, Window(target.handle()), toolkitGc, kToolkitX, 0, kWidth - kToolkitX, kHeight);
        XFlush(toolkit);
        for (HANDLE thread : threads) {
            EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
            CloseHandle(thread);
        }
    }
    XFreeGC(toolkit, toolkitGc);
    XSync(toolkit, False);
    for (const Worker& worker : workers) EXPECT_TRUE(worker.allReleased) << "band " << worker.band;
    EXPECT_EQ(PlatformWindow_x11ErrorCount(), errorsBefore);

    // The same last two rounds drawn into a surface give the expected picture of the trace area.
    const HWND reference = PlatformSurface_register(0, kWidth, kHeight, "reference");
    for (int k = 0; k < kWorkers; ++k) {
        bool released = true;
        drawTrace(reference, k, kRounds - 2, &released);
        drawTrace(reference, k, kRounds - 1, &released);
        ASSERT_TRUE(released);
    }
    std::vector<COLORREF> expected(size_t(kToolkitX) * kHeight), drawn(expected.size());
    ASSERT_TRUE(PlatformWindow_readPixels(reference, 0, 0, kToolkitX, kHeight, expected.data()));
    ASSERT_TRUE(PlatformWindow_readPixels(target.handle(), 0, 0, kToolkitX, kHeight, drawn.data()));
    PlatformSurface_unregister(reference);
    size_t lit = 0;
    for (COLORREF pixel : expected) lit += pixel != 0;
    EXPECT_GT(lit, size_t(kWorkers * (kPoints - 1)));
    EXPECT_EQ(drawn, expected);
}

}  // namespace
