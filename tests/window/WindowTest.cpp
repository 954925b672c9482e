// The analyzer window as a user meets it: one window per instance, titled "Analyzer", with its title
// bar, its panel and the black display, opened and closed with the instance.
#include "AnalyzerHarness.h"

#include "platform/WindowPixels.h"

#include <sys/stat.h>

namespace {

constexpr COLORREF grey(int level) { return COLORREF(level | (level << 8) | (level << 16)); }
int level(COLORREF c) { return int(c & 0xFF); }
bool isGrey(COLORREF c) { return (c & 0xFF) == ((c >> 8) & 0xFF) && (c & 0xFF) == ((c >> 16) & 0xFF); }

using WindowBasics = AnalyzerHarness;

TEST_F(WindowBasics, OneInstanceOpensItsTitledWindowWithTitleBarPanelAndDisplay) {
    create();
    std::vector<Window> windows;
    ASSERT_TRUE(waitUntil([&] { return (windows = analyzerWindows()).size() == 1; }));
    const Window w = windows[0];
    ASSERT_TRUE(waitPainted(w));
    int width = 0, height = 0;
    ASSERT_TRUE(PlatformWindow_getSize(HWND(w), &width, &height));
    EXPECT_EQ(width, 1067);
    EXPECT_EQ(height, 562);

    mkdir(SCREENSHOT_DIR, 0755);
    EXPECT_TRUE(PlatformWindow_writePng(HWND(w), SCREENSHOT_DIR "/window.png"));
}

}  // namespace
