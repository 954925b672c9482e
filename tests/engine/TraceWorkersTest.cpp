// The drawing workers: what each kind draws into an in-memory window, pixel for pixel, the colours
// and pens, which traces get a worker, and the life of the worker threads (start failures, handles,
// destruction while drawing).
#include "EngineHarness.h"

#include "engine/TraceWorkers.h"
#include "platform/MemorySurface.h"
#include "platform/WindowPixels.h"
#include "tests/support/WrappedWorker.h"

#include <chrono>
#include <sstream>
#include <thread>

namespace {

constexpr int kWidth = 1100;
constexpr int kHeight = 500;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Polls the four flags with acquire loads; false after the timeout.
bool waitForWorkers(const GuiCtrl& instance, std::chrono::seconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!instance.workers().isIdle()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// A picture of the whole surface, to compare what was drawn with what should have been.
struct Picture {
    std::vector<COLORREF> pixels = std::vector<COLORREF>(size_t(kWidth) * kHeight, kWhite);
    void set(int x, int y, COLORREF c) {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) pixels[size_t(y) * kWidth + x] = c;
    }
    COLORREF at(int x, int y) const { return pixels[size_t(y) * kWidth + x]; }
};

// Counts differing pixels and names the first few.
::testing::AssertionResult samePicture(const Picture& expected, const Picture& actual) {
    int differences = 0;
    std::ostringstream first;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (expected.at(x, y) != actual.at(x, y) && ++differences <= 5)
                first << " (" << x << ", " << y << "): expected " << std::hex << expected.at(x, y) << " got "
                      << actual.at(x, y) << std::dec << ";";
    if (differences == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differences << " pixels differ:" << first.str();
}

class TraceDrawing : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        window = PlatformSurface_register(0, kWidth, kHeight, "TraceWorkerSurface");
        ASSERT_NE(window, 0u);
        ASSERT_TRUE(PlatformSurface_fill(window, kWhite));
        instance->panelLink().analyzerWindow = window;
    }
    void TearDown() override {
        EngineTest::TearDown();  // destroys the instance, which waits for its workers
        PlatformSurface_unregister(window);
    }

    void setColour(int trace, int r, int g, int b, bool history = false) {
        instance->setPanelValue(slot::kFirstColour + 3 * trace, r);
        instance->setPanelValue(slot::kFirstColour + 1 + 3 * trace, g);
        instance->setPanelValue(slot::kFirstColour + 2 + 3 * trace, b);
        instance->setPanelValue(slot::kFirstHistory + trace, history ? 1 : 0);
    }
    void switchOn(int trace) { instance->setPanelValue(slot::kFirstSelection + trace, 2); }

    // Launches and waits until every worker has handed its job back.
    void draw() {
        instance->launchWorkers();
        ASSERT_TRUE(waitForWorkers(*instance));
    }

    Picture surface() const {
        Picture p;
        EXPECT_TRUE(PlatformWindow_readPixels(window, 0, 0, kWidth, kHeight, p.pixels.data()));
        return p;
    }

    // Every column gets exactly one pixel when neighbouring values differ by at most one: a
    // one-step line draws only its start point.
    static void expectPolyline(Picture& p, const int32_t* values, COLORREF c) {
        for (int i = 0; i < 1023; ++i) p.set(14 + i, values[i] + 45, c);
    }

    HWND window = 0;
};

}  // namespace

TEST_F(TraceDrawing, LineTraceErasesOrDimsThePreviousFrameAndDrawsColumns14To1036) {
    switchOn(0);
    setColour(0, 255, 0, 0);
    for (int i = 0; i < 1024; ++i) {
        instance->capture().history[0][i] = 1 + i / 4;  // rows 1 ... 256, rising one pixel every four columns
        instance->capture().history[kFirstPreviousRow][i] = 400 - i / 4;  // rows 400 ... 145, never on the same pixel
    }
    EXPECT_EQ(traceColourWord(instance->panelLink().panelValues, 0), 0x00FF0000u);
    draw();

    Picture expected;
    expectPolyline(expected, instance->capture().history[kFirstPreviousRow], kBlack);
    expectPolyline(expected, instance->capture().history[0], RGB(255, 0, 0));
    const Picture actual = surface();
    EXPECT_TRUE(samePicture(expected, actual));
    // The ends, spelled out: row 1 lands on y = 46; the end point of the last LineTo stays undrawn.
    EXPECT_EQ(actual.at(14, 46), RGB(255, 0, 0));
    EXPECT_EQ(actual.at(1036, 45 + 1 + 1022 / 4), RGB(255, 0, 0));
    EXPECT_EQ(actual.at(1037, 45 + 1 + 1023 / 4), kWhite);
    EXPECT_EQ(actual.at(13, 46), kWhite);

    // "History" on: the previous frame in a quarter of each component, rounded down.
    setColour(0, 255, 130, 7, /*history=*/true);
    EXPECT_EQ(traceColourWord(instance->panelLink().panelValues, 0), 0x01FF8207u);
    PlatformSurface_fill(window, kWhite);
    draw();
    expected = Picture();
    expectPolyline(expected, instance->capture().history[kFirstPreviousRow], RGB(63, 32, 1));
    expectPolyline(expected, instance->capture().history[0], RGB(255, 130, 7));
    EXPECT_TRUE(samePicture(expected, surface()));
}

TEST_F(TraceDrawing, VibesWatchDrawsEightUnjoinedFramesEachClimbing127Pixels) {
    switchOn(1);
    setColour(1, 0, 255, 0);
    instance->setup().altDisplay = true;
    instance->setPanelValue(slot::kSpectrumMode, 1);  // spectrum
    for (int i = 0; i < 1024; ++i) {
        instance->capture().history[1][i] = 390;
        instance->capture().history[kFirstPreviousRow + 1][i] = 260;
    }
    draw();

    Picture expected;
    for (int f = 0; f < 8; ++f)
        for (int m = 0; m < 127; ++m) {  // the end point of each frame's last LineTo is not drawn
            expected.set(14 + 128 * f + m, 260 + 45 - m, kBlack);
            expected.set(14 + 128 * f + m, 390 + 45 - m, RGB(0, 255, 0));
        }
    const Picture actual = surface();
    EXPECT_TRUE(samePicture(expected, actual));
    // Frame 0 ends at (141, 435 - 127) undrawn, frame 1 starts again at the flat row.
    EXPECT_EQ(actual.at(141, 435 - 127), kWhite);
    EXPECT_EQ(actual.at(142, 435), RGB(0, 255, 0));
}

TEST_F(TraceDrawing, PhasePointsPlotFirstHalfAgainstSecondHalfAtOffsets64And596) {
    instance->setPanelValue(slot::kPhase, 2);  // X*X: each trace against itself
    switchOn(0);
    switchOn(3);
    setColour(0, 10, 20, 30);
    setColour(3, 200, 100, 40, /*history=*/true);
    for (int i = 0; i < 512; ++i) {
        instance->capture().history[0][i] = 1 + i % 400;
        instance->capture().history[0][512 + i] = 1 + i / 2;
        instance->capture().history[kFirstPreviousRow][i] = 1 + i / 2;
        instance->capture().history[kFirstPreviousRow][512 + i] = 400 - i % 400;
        instance->capture().history[3][i] = 1 + (i * 3) % 400;
        instance->capture().history[3][512 + i] = 200;
        instance->capture().history[kFirstPreviousRow + 3][i] = 5;
        instance->capture().history[kFirstPreviousRow + 3][512 + i] = 1 + i % 400;
    }
    draw();

    Picture expected;
    for (int i = 0; i < 512; ++i)
        expected.set(instance->capture().history[kFirstPreviousRow][i] + 64,
                     instance->capture().history[kFirstPreviousRow][512 + i] + 45, kBlack);
    for (int i = 0; i < 512; ++i)
        expected.set(instance->capture().history[0][i] + 64, instance->capture().history[0][512 + i] + 45,
                     RGB(10, 20, 30));
    for (int i = 0; i < 512; ++i)
        expected.set(601, instance->capture().history[kFirstPreviousRow + 3][512 + i] + 45, RGB(50, 25, 10));
    for (int i = 0; i < 512; ++i) expected.set(instance->capture().history[3][i] + 596, 245, RGB(200, 100, 40));
    const Picture actual = surface();
    EXPECT_TRUE(samePicture(expected, actual));
    EXPECT_EQ(actual.at(65, 46), RGB(10, 20, 30));  // first point of trace 1
    EXPECT_EQ(actual.at(601, 46), RGB(50, 25, 10));  // the right plot's dimmed column at x = 5 + 596
}

TEST_F(TraceDrawing, XTimesYDrawsEachPairInTheFirstTracesColour) {
    instance->setPanelValue(slot::kPhase, 1);
    for (int k = 0; k < 4; ++k) switchOn(k);
    setColour(0, 255, 0, 0);
    setColour(1, 0, 255, 0);
    setColour(2, 0, 0, 255);
    setColour(3, 255, 255, 0, /*history=*/true);  // ignored: trace 4 takes trace 3's word, History and all
    for (int i = 0; i < 512; ++i) {
        for (int k = 0; k < 4; ++k) {
            instance->capture().history[k][i] = 1 + i % 100;  // trace k on rows 1 + 100k ... 100 + 100k
            instance->capture().history[k][512 + i] = 1 + 100 * k + i % 100;
            instance->capture().history[kFirstPreviousRow + k][i] = NO_LEVEL;
            instance->capture().history[kFirstPreviousRow + k][512 + i] = NO_LEVEL;
        }
    }
    draw();

    EXPECT_EQ(instance->workers().job(1).colourWord, 0x00FF0000u);
    EXPECT_EQ(instance->workers().job(3).colourWord, 0x000000FFu);
    Picture expected;
    const COLORREF pair[4] = {RGB(255, 0, 0), RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 0, 255)};
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 100; ++i) expected.set(1 + i + (k < 2 ? 64 : 596), 1 + 100 * k + i + 45, pair[k]);
    EXPECT_TRUE(samePicture(expected, surface()));
}

TEST_F(TraceDrawing, ClearedRowsNullWindowAndNullSelectionDrawNothing) {
    // Cleared rows: every worker kind runs, none leaves a pixel.
    for (int k = 0; k < 4; ++k) {
        switchOn(k);
        setColour(k, 200, 100 + k, 50, k % 2 == 1);
    }
    struct Mode {
        int32_t phase;
        bool alt;
    };
    for (const Mode mode : {Mode{0, false}, Mode{0, true}, Mode{2, false}}) {
        instance->setPanelValue(slot::kPhase, mode.phase);
        instance->setup().altDisplay = mode.alt;
        instance->setPanelValue(slot::kSpectrumMode, 1);
        draw();
        EXPECT_TRUE(samePicture(Picture(), surface())) << "phase " << mode.phase << " alt " << mode.alt;
    }

    // No window: nothing drawn, every flag set again.
    instance->setPanelValue(slot::kPhase, 0);
    for (int i = 0; i < 1024; ++i) instance->capture().history[0][i] = 200;
    instance->panelLink().analyzerWindow = 0;
    draw();
    EXPECT_TRUE(samePicture(Picture(), surface()));

    // Selection 1 ("NULL") and 0: no worker, no job filled, the last drawing stays on screen.
    instance->panelLink().analyzerWindow = window;
    draw();
    const Picture lastDrawing = surface();
    EXPECT_FALSE(samePicture(Picture(), lastDrawing));
    instance->workers().waitUntilIdle();
    const unsigned long drawingsBefore = PlatformWindow_drawingCount();
    instance->setPanelValue(slot::kFirstSelection, 1);
    instance->setPanelValue(slot::kFirstSelection + 1, 0);
    instance->setPanelValue(slot::kFirstSelection + 2, 1);
    instance->setPanelValue(slot::kFirstSelection + 3, 1);
    for (int i = 0; i < 1024; ++i) instance->capture().history[0][i] = 300;
    instance->launchWorkers();
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(instance->workers().doneFlag(k).load(std::memory_order_acquire)) << k;
    EXPECT_EQ(PlatformWindow_drawingCount(), drawingsBefore) << "no worker was woken";
    EXPECT_EQ(instance->workers().job(0).current[0], 200);
    EXPECT_TRUE(samePicture(lastDrawing, surface()));
}

// Thread starters for the tests below.
namespace {

HANDLE failingStarter(void*, uint32_t, LPTHREAD_START_ROUTINE, void*, DWORD, DWORD*) { return nullptr; }

// Runs the real worker, then lingers after its flag is set, counting workers started and ended.
std::atomic<int> workersStarted{0};
std::atomic<int> workersEnded{0};
std::atomic<int> lingerMilliseconds{0};

DWORD lingeringWorker(LPTHREAD_START_ROUTINE routine, void* job) {
    workersStarted.fetch_add(1);
    const DWORD result = routine(job);
    std::this_thread::sleep_for(std::chrono::milliseconds(lingerMilliseconds.load()));
    workersEnded.fetch_add(1);
    return result;
}

class TraceWorkerThreads : public TraceDrawing {
protected:
    void SetUp() override {
        TraceDrawing::SetUp();
        workersStarted = 0;
        workersEnded = 0;
        lingerMilliseconds = 0;
    }
    void TearDown() override {
        TraceDrawing::TearDown();
        setTraceThreadStarter(nullptr);
    }
    void fillRows(GuiCtrl& g, int seed) {
        for (int r = 0; r < 8; ++r)
            for (int i = 0; i < 1024; ++i) g.capture().history[r][i] = 1 + (i * (r + 1) + seed) % 400;
    }
};

}  // namespace

TEST_F(TraceWorkerThreads, AnInstanceWhoseWorkersCannotStartIsRefusedAndTheNextOneDraws) {
    setTraceThreadStarter(&failingStarter);
    EXPECT_FALSE(makeEngineInstance()->isComplete());
    setTraceThreadStarter(nullptr);
    for (int k = 0; k < 4; ++k) switchOn(k);
    fillRows(*instance, 0);
    draw();
    EXPECT_FALSE(samePicture(Picture(), surface()));
}

TEST_F(TraceWorkerThreads, OneWorkerDrawsEveryFrameOfAnInstanceAndEndsWithIt) {
    setTraceThreadStarter(&WrappedWorker<lingeringWorker>::start);
    auto g = makeEngineInstance();
    ASSERT_TRUE(g->isComplete());
    g->panelLink().analyzerWindow = window;
    for (int k = 0; k < 4; ++k) g->setPanelValue(slot::kFirstSelection + k, 2 + k);
    const unsigned long drawingsBefore = PlatformWindow_drawingCount();
    for (int frame = 0; frame < 20; ++frame) {
        ASSERT_TRUE(waitForWorkers(*g));
        fillRows(*g, frame);
        g->launchWorkers();
    }
    ASSERT_TRUE(waitForWorkers(*g));
    EXPECT_EQ(PlatformWindow_drawingCount() - drawingsBefore, 80u);
    EXPECT_EQ(workersStarted.load(), 1) << "no thread per frame or per trace";
    EXPECT_EQ(workersEnded.load(), 0);

    const HANDLE held = g->workers().thread();
    g.reset();
    EXPECT_EQ(workersEnded.load(), 1);
    EXPECT_EQ(WaitForSingleObject(held, 0), DWORD(WAIT_FAILED)) << "its handle is closed";
}

TEST_F(TraceWorkerThreads, InstancesDestroyedWhileFourTracesDrawWaitForTheirWorker) {
    setTraceThreadStarter(&WrappedWorker<lingeringWorker>::start);
    constexpr int kInstances = 40;
    constexpr int kRounds = 3;
    for (int n = 0; n < kInstances; ++n) {
        auto g = makeEngineInstance();
        ASSERT_TRUE(g->isComplete());
        g->panelLink().analyzerWindow = window;
        for (int k = 0; k < 4; ++k) {
            g->setPanelValue(slot::kFirstSelection + k, 2 + k);
            g->setPanelValue(slot::kFirstColour + 3 * k, 60 * k);
            g->setPanelValue(slot::kFirstHistory + k, (n + k) % 2);
        }
        g->setPanelValue(slot::kPhase, n % 3);
        g->setup().altDisplay = n % 2 == 1;
        g->setPanelValue(slot::kSpectrumMode, 1);
        lingerMilliseconds = n % 4;
        for (int round = 0; round < kRounds; ++round) {
            ASSERT_TRUE(waitForWorkers(*g));
            fillRows(*g, n + round);
            g->launchWorkers();
        }
        g.reset();  // the last round is still drawing
        ASSERT_EQ(workersEnded.load(), workersStarted.load()) << "instance " << n;
    }
    EXPECT_EQ(workersStarted.load(), kInstances);
}

// How deep a worker's calls reach into its stack: below the measuring wrapper's frame a region is
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

DWORD measuringWorker(LPTHREAD_START_ROUTINE routine, void* job) {
    const uintptr_t base = paintBelow();
    const DWORD result = routine(job);
    const size_t used = usedAbove(base);
    size_t deepest = deepestUse.load();
    while (used > deepest && !deepestUse.compare_exchange_weak(deepest, used)) {}
    workersEnded.fetch_add(1);
    return result;
}

HANDLE measuringStarter(void* security, uint32_t stack, LPTHREAD_START_ROUTINE routine, void* job, DWORD flags,
                        DWORD* id) {
    requestedStack = stack;
    return WrappedWorker<measuringWorker>::start(security, stack, routine, job, flags, id);
}

}  // namespace

TEST_F(TraceWorkerThreads, WorkersRunOnSmallStacksWithAWideMargin) {
    setTraceThreadStarter(&measuringStarter);
    instance = makeEngineInstance();  // its workers start through the measuring starter
    instance->panelLink().analyzerWindow = window;
    for (int k = 0; k < 4; ++k) switchOn(k);
    for (int view = 0; view < 3; ++view) {  // lines, slanted frames, X-Y points
        instance->setPanelValue(slot::kPhase, view == 2 ? 1 : 0);
        instance->setup().altDisplay = view == 1;
        instance->setPanelValue(slot::kSpectrumMode, view == 1 ? 1 : 0);
        fillRows(*instance, view);
        draw();
    }
    instance.reset();  // the workers end, and report how deep they reached
    EXPECT_EQ(requestedStack.load(), kWorkerStackSize);
    ASSERT_GT(deepestUse.load(), 8192u) << "at least the copy of the job";
    EXPECT_LT(deepestUse.load(), kWorkerStackSize / 4) << "a worker used " << deepestUse.load() << " bytes";
    std::printf("deepest worker stack use: %zu bytes of %u\n", deepestUse.load(), kWorkerStackSize);
}
