// A host in miniature for the window tests: loads the real module with dlopen, creates instances,
// drives their control and audio entries with real pin arrays, and runs the platform loop (the loop the
// module's toolkit is registered with) on the test's main thread. The test's own X connection
// inspects what a user would see: windows, their map state, their pixels.
#pragma once

#include "host/ModuleLoader.h"
#include "host/ThreadCount.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class EngineThread;

// The pins of one instance, as a host holds them.
struct InstancePins {
    int32_t inputs[81] = {};
    const int32_t* inputPointers[81];
    int32_t outputs[77] = {};
    InstancePins() {
        for (int i = 0; i < 81; ++i) inputPointers[i] = &inputs[i];
    }
};

class AnalyzerHarness : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    int32_t create();  // fails the test when creation fails
    int32_t destroy(int32_t handle);  // the status word

    // One control call of the instance with its pins.
    void control(int32_t handle);
    // One audio call with four blocks of equal length.
    void audio(int32_t handle, const std::vector<int32_t>& a, const std::vector<int32_t>& b,
               const std::vector<int32_t>& c, const std::vector<int32_t>& d);
    // Runs the 30 start-up calls and one more with the show pin at 1: the instance is running.
    void startUp(int32_t handle);

    // Runs the platform loop for ms milliseconds.
    void pump(int ms);
    // Runs the loop until done() holds or timeoutMs passes; returns done().
    bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

    // Top-level X windows titled "Analyzer", in stacking order.
    std::vector<Window> analyzerWindows();
    bool isMapped(Window window);
    // Pixels of a window rectangle, one COLORREF (R + 256 G + 65536 B) per pixel, row by row.
    std::vector<COLORREF> pixels(Window window, int x, int y, int width, int height);
    COLORREF pixel(Window window, int x, int y) { return pixels(window, x, y, 1, 1)[0]; }
    // Waits until the toolkit has painted: the display's black shows at window pixel (600, 300).
    bool waitPainted(Window window);
    // All top-level windows of the display: the toolkit's hidden ones count too.
    int topLevelWindowCount();

    // Real pointer input through the X server (XTest), at window pixel (x, y).
    void press(Window window, int x, int y, int button);
    void click(Window window, int x, int y, int button = 1);
    // A window manager's close request (WM_DELETE_WINDOW), as a close shortcut sends it.
    void requestClose(Window window);

    // Stands in for a window manager's iconify protocol, serviced while the loop runs: a request to
    // iconify unmaps the window and marks it Iconic in WM_STATE; mapping it again marks it Normal.
    void actAsWindowManager();
    bool isIconic(Window window);
    void serviceWindowManager();

    // The instance's processing thread: one control and one audio call per block.
    std::unique_ptr<EngineThread> engineThread(int32_t handle);

    ModuleLoader module;
    Display* display = nullptr;  // the test's own connection
    bool windowManager = false;
    std::map<int32_t, std::unique_ptr<InstancePins>> pins;
    uint32_t entries[5] = {};
};

// True when the tests can open windows.
bool displayAvailable();

// 1024 samples of a sine of the given frequency at 44.1 kHz, amplitude 10^9 (about -6.6 dBFS).
std::vector<int32_t> sineBlock(double frequency);

// A host's processing thread for one instance: block after block, the control entry and then the
// audio entry (64 samples of silence on every input), paced like 48 kHz. The test sets input pins and
// reads output pins through it, under the lock the thread holds for each block.
class EngineThread {
public:
    EngineThread(AnalyzerHarness& host, int32_t handle, InstancePins& pins, std::function<void()> block);
    ~EngineThread();
    void setInput(int pin, int32_t value);
    int32_t output(int pin);

private:
    InstancePins& pins_;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
