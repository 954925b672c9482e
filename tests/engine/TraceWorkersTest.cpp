// The worker of an instance: one thread that analyses every capture handed over and draws its frame,
// started with the instance and ended with it: start failures, the thread and its handle, instances
// destroyed while their worker draws, and how deep the worker reaches into its stack.
#include "EngineHarness.h"

#include "engine/TraceWorkers.h"
#include "platform/MemorySurface.h"
#include "platform/WindowPixels.h"
#include "tests/support/WrappedWorker.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace {

HANDLE failingStarter(void*, uint32_t, LPTHREAD_START_ROUTINE, void*, DWORD, DWORD*) { return nullptr; }

// Runs the real worker, counting the workers started and those that ended.
std::atomic<int> workersStarted{0};
std::atomic<int> workersEnded{0};

DWORD countedWorker(LPTHREAD_START_ROUTINE routine, void* parameter) {
    workersStarted.fetch_add(1);
    const DWORD result = routine(parameter);
    workersEnded.fetch_add(1);
    return result;
}

class TraceWorkerThreads : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        window = PlatformSurface_register(0, 1100, 500, "TraceWorkerSurface");
        ASSERT_NE(window, 0u);
        workersStarted = 0;
        workersEnded = 0;
    }
    void TearDown() override {
        EngineTest::TearDown();
        setTraceThreadStarter(nullptr);
        PlatformSurface_unregister(window);
    }

    // Feeds one complete capture: four sines whose pitches depend on seed, so that every frame differs.
    static void feedCapture(GuiCtrl& g, int seed) {
        std::vector<int32_t> rows[4];
        const int32_t* pointers[4];
        for (int k = 0; k < 4; ++k) {
            rows[k].resize(1024);
            for (int i = 0; i < 1024; ++i)
                rows[k][size_t(i)] = int32_t(1e9 * std::sin(0.01 * (seed + 1) * (k + 1) * i));
            pointers[k] = rows[k].data();
        }
        ASSERT_EQ(g.processAudioBlock(pointers, 0, 1024), -1);
    }

    HWND window = 0;
};

}  // namespace

TEST_F(TraceWorkerThreads, OneWorkerAnalysesAndDrawsEveryFrameOfAnInstanceAndEndsWithIt) {
    setTraceThreadStarter(&failingStarter);
    EXPECT_FALSE(makeEngineInstance()->isComplete()) << "an instance whose worker cannot start is refused";
    setTraceThreadStarter(&WrappedWorker<countedWorker>::start);
    auto g = startedInstance(window);
    ASSERT_TRUE(g->isComplete());
    const unsigned long drawingsBefore = PlatformWindow_drawingCount();
    for (int frame = 0; frame < 20; ++frame) {
        feedCapture(*g, frame);
        g->workers().waitUntilIdle();
    }
    EXPECT_EQ(PlatformWindow_drawingCount() - drawingsBefore, 80u);
    EXPECT_EQ(workersStarted.load(), 1) << "no thread per frame or per trace";
    EXPECT_EQ(workersEnded.load(), 0);

    const HANDLE held = g->workers().thread();
    g.reset();
    EXPECT_EQ(workersEnded.load(), 1);
    EXPECT_EQ(WaitForSingleObject(held, 0), DWORD(WAIT_FAILED)) << "its handle is closed";
}

// Destroying an instance while its worker works on a capture: the worker finishes the frame (all
// four traces drawn, none left half done) and ends before the instance's tables and rows go. Half the
// instances go as soon as the capture is handed over (mostly still analysing), half once the first
// trace is on the window (still drawing).
TEST_F(TraceWorkerThreads, InstancesDestroyedWhileTheirWorkerAnalysesOrDrawsFinishTheFrameFirst) {
    setTraceThreadStarter(&WrappedWorker<countedWorker>::start);
    constexpr int kInstances = 40;
    for (int n = 0; n < kInstances; ++n) {
        auto g = startedInstance(window);
        ASSERT_TRUE(g->isComplete());
        for (int k = 0; k < 4; ++k) {
            g->setPanelValue(slot::kFirstColour + 3 * k, 60 * k);
            g->setPanelValue(slot::kFirstHistory + k, (n + k) % 2);
        }
        g->setPanelValue(slot::kPhase, n % 3);
        g->setPanelValue(slot::kAltDisplay, (n / 2) % 2);
        g->setPanelValue(slot::kSpectrumMode, 1);
        const unsigned long drawingsBefore = PlatformWindow_drawingCount();
        feedCapture(*g, n);
        const bool whileDrawing = n % 2 == 1;
        if (whileDrawing) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (PlatformWindow_drawingCount() == drawingsBefore && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
        }
        g.reset();
        const unsigned long drawn = PlatformWindow_drawingCount() - drawingsBefore;
        if (whileDrawing) {
            EXPECT_EQ(drawn, 4u) << "instance " << n;
        } else {
            EXPECT_TRUE(drawn == 0u || drawn == 4u) << "instance " << n << " drew " << drawn << " traces";
        }
        ASSERT_EQ(workersEnded.load(), workersStarted.load()) << "instance " << n;
    }
    EXPECT_EQ(workersStarted.load(), kInstances);
}

// How deep the worker's calls reach into its stack: below the measuring wrapper's frame a region is
// painted with a pattern before the worker runs; afterwards the lowest byte that changed marks the
// depth the worker used.
namespace {

constexpr size_t kPainted = 160 * 1024;
constexpr unsigned char kPaint = 0xA5;
std::atomic<uint32_t> requestedStack{0};
std::atomic<size_t> deepestUse{0};

__attribute__((noinline, no_sanitize("address"))) uintptr_t paintBelow() {
    volatile unsigned char region[kPainted];
    for (size_t i = 0; i < kPainted; ++i) region[i] = kPaint;
    return reinterpret_cast<uintptr_t>(&region[0]);
}

__attribute__((noinline, no_sanitize("address"))) size_t usedAbove(uintptr_t base) {
    const volatile unsigned char* bytes = reinterpret_cast<const volatile unsigned char*>(base);
    size_t untouched = 0;
    while (untouched < kPainted && bytes[untouched] == kPaint) ++untouched;
    return kPainted - untouched;
}

DWORD measuringWorker(LPTHREAD_START_ROUTINE routine, void* parameter) {
    const uintptr_t base = paintBelow();
    const DWORD result = routine(parameter);
    deepestUse = usedAbove(base);
    return result;
}

HANDLE measuringStarter(void* security, uint32_t stack, LPTHREAD_START_ROUTINE routine, void* parameter, DWORD flags,
                        DWORD* id) {
    requestedStack = stack;
    return WrappedWorker<measuringWorker>::start(security, stack, routine, parameter, flags, id);
}

}  // namespace

TEST_F(TraceWorkerThreads, TheWorkerRunsOnASmallStackWithAWideMargin) {
    setTraceThreadStarter(&measuringStarter);
    auto g = startedInstance(window);  // its worker starts through the measuring starter
    for (int view = 0; view < 3; ++view) {  // lines, slanted frames, X-Y points
        g->setPanelValue(slot::kPhase, view == 2 ? 1 : 0);
        g->setPanelValue(slot::kAltDisplay, view == 1 ? 1 : 0);
        g->setPanelValue(slot::kSpectrumMode, view == 1 ? 1 : 0);
        feedCapture(*g, view);
        g->workers().waitUntilIdle();
    }
    g.reset();  // the worker ends, and reports how deep it reached
    EXPECT_EQ(requestedStack.load(), kWorkerStackSize);
    ASSERT_GT(deepestUse.load(), 256u) << "the measure reaches the analysis and the drawing calls";
    EXPECT_LT(deepestUse.load(), kWorkerStackSize / 4) << "the worker used " << deepestUse.load() << " bytes";
    std::printf("deepest worker stack use: %zu bytes of %u\n", deepestUse.load(), kWorkerStackSize);
}
