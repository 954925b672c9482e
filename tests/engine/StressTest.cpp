// Many instances at once, as a large host session has them: 256 instances with four traces each,
// fed from two processing threads and destroyed while their workers still analyse and draw. Afterwards
// no thread and no file descriptor is left over.
#include "EngineHarness.h"

#include "platform/MemorySurface.h"
#include "platform/WindowPixels.h"

#include <dirent.h>

#include <cmath>
#include <thread>

namespace {

int entriesIn(const char* folder) {
    int count = 0;
    if (DIR* dir = opendir(folder)) {
        while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
        closedir(dir);
    }
    return count;
}

TEST(Stress, TwoHundredFiftySixInstancesDestroyedWhileDrawingLeaveNothingBehind) {
    const HWND window = PlatformSurface_register(0, 1100, 500, "Stress");
    ASSERT_NE(window, 0u);
    // The platform library's X connection (opened by a title lookup during start-up, when there is
    // a display) stays for the life of the process: open it before counting.
    PlatformWindow_x11Available();
    const int threadsBefore = entriesIn("/proc/self/task"), fdsBefore = entriesIn("/proc/self/fd");
    const unsigned long drawnBefore = PlatformWindow_drawingCount();

    auto processingThread = [window](int instances) {
        std::vector<int32_t> signal(1024);
        for (size_t i = 0; i < signal.size(); ++i) signal[i] = int32_t(1e9 * std::sin(0.05 * double(i)));
        const int32_t* rows[4] = {signal.data(), signal.data(), signal.data(), signal.data()};
        std::vector<std::unique_ptr<GuiCtrl>> live;
        for (int n = 0; n < instances; ++n) {
            live.push_back(startedInstance(window));
            live.back()->setPanelValue(slot::kSpectrumMode, 1);
            live.back()->processAudioBlock(rows, 0, 1024);  // a capture: its worker analyses and draws it
        }
        for (auto& g : live) g->processAudioBlock(rows, 0, 1024);
        live.clear();  // most of them still drawing
    };
    std::thread first(processingThread, 128), second(processingThread, 128);
    first.join();
    second.join();
    PlatformSurface_unregister(window);
    EXPECT_GE(PlatformWindow_drawingCount() - drawnBefore, 256u * 4) << "every instance drew its four traces";
    // A detached worker may still be on its way out for a moment after its last act.
    for (int wait = 0; wait < 500 && entriesIn("/proc/self/task") > threadsBefore; ++wait) usleep(10000);
    EXPECT_EQ(entriesIn("/proc/self/task"), threadsBefore);
    EXPECT_EQ(entriesIn("/proc/self/fd"), fdsBefore);
}

}  // namespace
