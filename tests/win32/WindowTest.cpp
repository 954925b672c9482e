// The DLL end to end under Windows, with the test as the host: it loads qanagui.dll with LoadLibraryA,
// creates instances on its main thread, pumps that thread's Win32 message loop and calls the entry
// points. What it checks is what a user sees: the "Analyzer" window, and the traces the drawing
// workers put into it through GDI, read back with BitBlt into a DIB section.
#include "engine/FrequencyMap.h"
#include "host/ModuleLoader.h"
#include "host/win32/HostLoop.h"
#include "platform/windows/WindowCapture.h"
#include "tests/support/ProtocolNumbers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kSampleRate = 32000;  // 1 kHz is exactly bin 32 of a 1024-point transform
constexpr int kBlock = 256;

// Pins (= control slots) a host sets.
constexpr int kPinSpectrum = 1, kPinMagnitudes = 3, kPinWindow = 18, kPinFirstSelection = 20, kPinFirstColour = 32,
              kPinShow = 44;
constexpr int32_t kSelectionA = 2;

// Where the engine draws: display column i at window x = 14 + i, display row r at y = 45 + r.
constexpr int kTraceLeft = 14, kRowOffset = 45, kColumns = 1024, kRows = 400;

// The first three are the panel's defaults; a pin value equal to the previous one (0 at first)
// is no change and is not forwarded, so the fourth has no zero component.
const COLORREF kTraceColours[4] = {RGB(0, 255, 0), RGB(255, 0, 0), RGB(0, 0, 255), RGB(255, 255, 64)};

typedef int32_t (*AudioEntry)(uint32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*ControlEntry)(uint32_t, int32_t, int32_t, int32_t, int32_t);

int32_t fullScale(double x) { return int32_t(std::lround(x * 2147483647.0)); }

// One instance driven as a host drives it, from the calling (main) thread.
class Instance {
public:
    explicit Instance(ModuleLoader& module) : module_(module) {
        int32_t in = 0, out[2] = {-9, 0}, returned = 0;
        module_.command(kCreateInstance, &in, 4, out, 8, returned);
        status = out[0];
        handle = out[1];
        int32_t table[6] = {};
        module_.command(kGetEntryPoints, &in, 4, table, 24, returned);
        audio_ = reinterpret_cast<AudioEntry>(uintptr_t(uint32_t(table[1])));
        control_ = reinterpret_cast<ControlEntry>(uintptr_t(uint32_t(table[2])));
        int32_t rate[2] = {handle, kSampleRate};
        module_.command(kSetSampleRate, rate, 8, out, 4, returned);
        for (int i = 0; i < 99; ++i) pointers_[i] = &pins[i];
        pins[kPinShow] = 1;
        for (auto& input : inputs) input.assign(kBlock, 0);
    }
    ~Instance() { destroy(); }

    int32_t destroy() {
        if (handle == 0) return 0;
        int32_t in = handle, out = -9, returned = 0;
        module_.command(kDestroyInstance, &in, 4, &out, 4, returned);
        handle = 0;
        return out;
    }

    // One processing block: the control entry, then the audio entry with the four input arrays.
    void block() {
        control_(uint32_t(handle), int32_t(uintptr_t(pointers_)), 0, int32_t(uintptr_t(outputs)), 0);
        const int32_t* rows[4] = {inputs[0].data(), inputs[1].data(), inputs[2].data(), inputs[3].data()};
        audio_(uint32_t(handle), 0, int32_t(uintptr_t(rows)), 0, 0, 0, kBlock);
    }

    // Blocks of signal, with the message loop pumped in between as a host's main thread does.
    template <typename Signal>
    void run(int blocks, Signal signal) {
        for (int b = 0; b < blocks; ++b) {
            for (int i = 0; i < kBlock; ++i)
                for (int k = 0; k < 4; ++k) inputs[k][size_t(i)] = signal(k, sample_ + i);
            sample_ += kBlock;
            block();
            if (b % 8 == 7) runMessagesFor(1);
        }
    }

    int32_t status = -9, handle = 0;
    int32_t pins[99] = {};
    int32_t outputs[77] = {};
    std::array<std::vector<int32_t>, 4> inputs;

private:
    ModuleLoader& module_;
    AudioEntry audio_ = nullptr;
    ControlEntry control_ = nullptr;
    const int32_t* pointers_[99];
    int64_t sample_ = 0;
};

class AnalyzerWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module.load(QANAGUI_MODULE_PATH)) << module.error(); }
    void TearDown() override { module.unload(); }

    // The display area as drawn: COLORREFs of x in [kTraceLeft, kTraceLeft + kColumns), y in
    // [kRowOffset, kRowOffset + kRows], read back once the last workers are done (two reads 50 ms
    // apart agree), without pumping messages (no repaint runs between drawing and read-back).
    std::vector<COLORREF> readDisplay(HWND window) {
        std::vector<COLORREF> pixels, previous;
        for (int attempt = 0; attempt < 40 && (pixels.empty() || pixels != previous); ++attempt) {
            previous = pixels;
            Sleep(50);
            pixels.assign(size_t(kColumns) * (kRows + 1), 0);
            EXPECT_TRUE(
                platform_win32::readClientPixels(window, kTraceLeft, kRowOffset, kColumns, kRows + 1, pixels.data()));
        }
        return pixels;
    }

    static void setColours(Instance& instance) {
        for (int k = 0; k < 4; ++k) {
            instance.pins[kPinFirstColour + 3 * k] = GetRValue(kTraceColours[k]);
            instance.pins[kPinFirstColour + 3 * k + 1] = GetGValue(kTraceColours[k]);
            instance.pins[kPinFirstColour + 3 * k + 2] = GetBValue(kTraceColours[k]);
        }
    }

    ModuleLoader module;
};

TEST_F(AnalyzerWindow, AnInstanceShowsItsWindowFoundByTitle) {
    {
        Instance instance(module);
        ASSERT_EQ(instance.status, 0);
        instance.run(40, [](int, int64_t) { return 0; });
        runMessagesFor(200);
        const HWND window = FindWindowA(nullptr, "Analyzer");
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(IsWindowVisible(window));
        int width = 0, height = 0;
        ASSERT_TRUE(platform_win32::clientSize(window, &width, &height));
        EXPECT_EQ(width, 1067);
        EXPECT_EQ(height, 562);
        COLORREF display = 1;
        ASSERT_TRUE(platform_win32::readClientPixels(window, 500, 100, 1, 1, &display));
        EXPECT_EQ(display, RGB(0, 0, 0)) << "the display area is black";
        // The title bar is filled black, then its embedded JPEG image (decoded through WIC) is drawn
        // over its whole width.
        COLORREF titleBar = 0;
        ASSERT_TRUE(platform_win32::readClientPixels(window, 300, 15, 1, 1, &titleBar));
        EXPECT_GT(GetRValue(titleBar) + GetGValue(titleBar) + GetBValue(titleBar), 3 * 100) << "no title bar image";
    }
    runMessagesFor(50);
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), nullptr) << "the window goes with its instance";
}

TEST_F(AnalyzerWindow, SineSpectrumPeaksInTheColumnsOfItsBin) {
    Instance instance(module);
    ASSERT_EQ(instance.status, 0);
    setColours(instance);
    instance.pins[kPinSpectrum] = 1;
    instance.pins[kPinMagnitudes] = 1;
    instance.pins[kPinWindow] = 0;  // no weighting: an exact-bin sine fills one bin
    instance.pins[kPinFirstSelection] = kSelectionA;
    for (int k = 1; k < 4; ++k) instance.pins[kPinFirstSelection + k] = 1;
    instance.run(400, [](int input, int64_t n) {
        return input == 0 ? fullScale(0.5 * std::sin(6.28318530718 * 1000.0 * double(n) / kSampleRate)) : 0;
    });
    runMessagesFor(100);
    instance.run(8, [](int input, int64_t n) {
        return input == 0 ? fullScale(0.5 * std::sin(6.28318530718 * 1000.0 * double(n) / kSampleRate)) : 0;
    });

    const HWND window = FindWindowA(nullptr, "Analyzer");
    ASSERT_NE(window, nullptr);
    const std::vector<COLORREF> pixels = readDisplay(window);

    // The columns that show bin 32 (1 kHz) at the default "Hz Stretch" of 21.
    std::vector<int32_t> map(4 * 1024);
    buildFrequencyMap(21.0, map.data(), 1024);
    const auto first = std::find(map.begin(), map.begin() + 1024, 32) - map.begin();
    const auto last =
        std::find_if(map.begin() + first, map.begin() + 1024, [](int32_t b) { return b != 32; }) - map.begin() - 1;
    ASSERT_LT(first, 1024);

    int top = kRows + 1, lowestElsewhere = -1;
    std::vector<int> topColumns;
    for (int y = 0; y <= kRows; ++y)
        for (int x = 0; x < kColumns; ++x)
            if (pixels[size_t(y) * kColumns + size_t(x)] == kTraceColours[0]) {
                if (y < top) {
                    top = y;
                    topColumns.clear();
                }
                if (y == top) topColumns.push_back(x);
                if (x < first - 20) lowestElsewhere = std::max(lowestElsewhere, y);
            }
    ASSERT_FALSE(topColumns.empty()) << "no pixel of the trace colour in the display";
    for (int x : topColumns) {
        EXPECT_GE(x, first) << "peak drawn left of the 1 kHz bin";
        EXPECT_LE(x, last) << "peak drawn right of the 1 kHz bin";
    }
    EXPECT_GT(lowestElsewhere, top + 50) << "away from 1 kHz the trace lies far below the peak";
}

TEST_F(AnalyzerWindow, FourWorkersDrawAtOnceWithoutStrayPixels) {
    Instance instance(module);
    ASSERT_EQ(instance.status, 0);
    setColours(instance);
    instance.pins[kPinSpectrum] = 0;  // time traces
    for (int k = 0; k < 4; ++k) instance.pins[kPinFirstSelection + k] = kSelectionA + k;
    // Four inputs in four separate bands: levels 0.6, 0.2, -0.2, -0.6 with a small ripple.
    const auto signal = [](int input, int64_t n) {
        return fullScale(0.6 - 0.4 * input + 0.05 * std::sin(6.28318530718 * double(n) / 300.0));
    };
    instance.run(400, signal);
    runMessagesFor(100);
    instance.run(8, signal);

    const HWND window = FindWindowA(nullptr, "Analyzer");
    ASSERT_NE(window, nullptr);
    const std::vector<COLORREF> pixels = readDisplay(window);
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        int lowest = -1, highest = kRows + 1;
        std::vector<bool> columnSeen(kColumns);
        for (int y = 0; y <= kRows; ++y)
            for (int x = 0; x < kColumns; ++x)
                if (pixels[size_t(y) * kColumns + size_t(x)] == kTraceColours[k]) {
                    lowest = std::max(lowest, y);
                    highest = std::min(highest, y);
                    columnSeen[size_t(x)] = true;
                }
        // Each band is 0.1 of full scale high (about 20 rows) and 0.4 (about 80 rows) from the next.
        EXPECT_GE(std::count(columnSeen.begin(), columnSeen.end(), true), kColumns - 2) << "trace is drawn across";
        EXPECT_LE(lowest - highest, 40) << "pixels of trace " << k << " outside its band";
        const int centre = (lowest + highest) / 2, expected = 200 - int(std::lround((0.6 - 0.4 * k) * 200));
        EXPECT_NEAR(centre, expected, 25) << "band of trace " << k;
    }
}

// The toolkit repaints after the first frame: "Absolute Values" set by pin changes the level labels
// at the display's right edge (x 1040-1053, where no trace reaches).
TEST_F(AnalyzerWindow, APinChangeRepaintsTheLevelLabels) {
    Instance instance(module);
    ASSERT_EQ(instance.status, 0);
    instance.pins[kPinSpectrum] = 1;
    const auto silence = [](int, int64_t) { return 0; };
    const auto labels = [&] {
        instance.run(100, silence);
        runMessagesFor(300);
        std::vector<COLORREF> strip(14 * 300);
        EXPECT_TRUE(
            platform_win32::readClientPixels(FindWindowA(nullptr, "Analyzer"), 1040, 100, 14, 300, strip.data()));
        return strip;
    };
    const std::vector<COLORREF> signedLabels = labels();
    instance.pins[kPinMagnitudes] = 1;
    const std::vector<COLORREF> magnitudeLabels = labels();
    const auto painted = [](const std::vector<COLORREF>& strip) {
        return std::count_if(strip.begin(), strip.end(), [](COLORREF c) { return c != RGB(0, 0, 0); });
    };
    EXPECT_GT(painted(signedLabels), 20);
    EXPECT_GT(painted(magnitudeLabels), 20);
    EXPECT_NE(signedLabels, magnitudeLabels) << "the labels were not repainted";
}

TEST_F(AnalyzerWindow, CreateDestroyCyclesWhileDrawingLeaveNoThreadOrWindow) {
    const auto noise = [](int input, int64_t n) { return fullScale(0.3 * std::sin(0.37 * double(n * (input + 1)))); };
    const auto cycle = [&](int blocks) {
        Instance instance(module);
        ASSERT_EQ(instance.status, 0);
        for (int k = 0; k < 4; ++k) instance.pins[kPinFirstSelection + k] = kSelectionA + k;
        instance.run(blocks, noise);
        // The last block may have just handed a capture to the worker: destroy while it analyses and draws.
        EXPECT_EQ(instance.destroy(), 0);
    };
    cycle(60);  // the first start may leave threads of the system's own behind (Wine's services)
    runMessagesFor(100);
    const int threadsBefore = processThreadCount();
    for (int i = 0; i < 12; ++i) cycle(40 + i);  // every phase of the 4-block capture
    runMessagesFor(100);
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), nullptr);
    EXPECT_EQ(processThreadCount(), threadsBefore);

    // The library unloads and loads again in the same process.
    module.unload();
    ASSERT_TRUE(module.load(QANAGUI_MODULE_PATH)) << module.error();
    cycle(40);
    runMessagesFor(50);
    EXPECT_EQ(processThreadCount(), threadsBefore);
}

}  // namespace
