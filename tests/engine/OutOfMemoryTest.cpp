// Running out of memory while traces are drawn: the instance skips frames instead of ending the
// process, and draws again once memory comes back. Each case runs in a child process whose address
// space is limited and then filled up.
#include "EngineHarness.h"

#include "platform/MemorySurface.h"
#include "platform/WindowPixels.h"
#include "tests/support/MemoryExhaustion.h"

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>

namespace {

class OutOfMemory : public EngineTest {
protected:
    void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "AddressSanitizer reserves its shadow memory up front; an address-space limit cannot be set";
#endif
        if (window == 0) window = PlatformSurface_register(0, 1100, 500, "Analyzer");
        ASSERT_NE(window, 0u);
        EngineTest::SetUp();
        startRunning();
        instance->drawInto(window);
        for (int k = 0; k < 4; ++k) {
            instance->setPanelValue(slot::kFirstSelection + k, 2 + k);
            instance->setPanelValue(slot::kFirstColour + 1 + 3 * k, 255);
        }
    }
    void TearDown() override {
        EngineTest::TearDown();
        PlatformSurface_unregister(window);
    }
    HWND window = 0;
};

std::vector<int32_t> sine(double cycles) {
    std::vector<int32_t> x(1024);
    for (size_t i = 0; i < x.size(); ++i) x[i] = int32_t(1e9 * std::sin(6.28318530718 * cycles * double(i) / 1024.0));
    return x;
}

TEST_F(OutOfMemory, DrawingSkipsFramesAndResumesWhenMemoryComesBack) {
    const std::vector<int32_t> a = sine(5), b = sine(9), c = sine(17), d = sine(33);
    std::vector<std::vector<int32_t>> blocks = {a, b, c, d};
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) try {
            // The parent's drawing workers did not come along into this process: an instance of its own.
            (void)instance.release();
            SetUp();
            std::vector<COLORREF> before(1100 * 500), after(1100 * 500);
            unsigned long drawnBefore = 0;
            {
                MemoryExhaustion exhausted;
                for (int frame = 0; frame < 20; ++frame) {
                    feed(blocks[0], blocks[1], blocks[2], blocks[3]);
                    if (!waitIdle()) _exit(20);
                    std::rotate(blocks.begin(), blocks.begin() + 1, blocks.end());  // a new picture each frame
                }
                drawnBefore = PlatformWindow_drawingCount();
            }
            // Memory is back: the next frames are drawn.
            PlatformWindow_readPixels(window, 0, 0, 1100, 500, before.data());
            for (int frame = 0; frame < 4; ++frame) {
                feed(blocks[0], blocks[1], blocks[2], blocks[3]);
                if (!waitIdle()) _exit(21);
                std::rotate(blocks.begin(), blocks.begin() + 1, blocks.end());
            }
            PlatformWindow_readPixels(window, 0, 0, 1100, 500, after.data());
            if (PlatformWindow_drawingCount() < drawnBefore + 16) _exit(22);  // four frames of four traces
            if (before == after) _exit(23);
            _exit(0);
        } catch (...) {
            _exit(30);  // something threw out of the engine or the platform library
        }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
