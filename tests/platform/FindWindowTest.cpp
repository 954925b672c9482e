// Window lookup by title and device contexts on windows that go away, on both back ends.
#include <gtest/gtest.h>

#include <memory>

#include "platform/MemorySurface.h"
#include "TestWindows.h"
#include "platform/WindowPixels.h"
#include "platform/win32.h"

using namespace platform_test;

namespace {

TEST(FindWindowMemory, FindsARegisteredSurfaceByTitleUntilItIsUnregistered) {
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), 0u);
    EXPECT_EQ(FindWindowA(nullptr, nullptr), 0u);

    const HWND first = PlatformSurface_register(0, 32, 16, "Analyzer");
    ASSERT_GE(first, PLATFORM_SURFACE_HANDLE_BASE);
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), first);
    EXPECT_EQ(FindWindowA("any class", "Analyzer"), first);
    EXPECT_EQ(FindWindowA(nullptr, "Analyze"), 0u);

    const HWND chosen = PlatformSurface_register(0xF0000042u, 8, 8, "Analyzer");
    EXPECT_EQ(chosen, 0xF0000042u);
    EXPECT_EQ(PlatformSurface_register(chosen, 8, 8, "other"), 0u) << "handle already in use";
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), chosen) << "the newest surface of a title wins";
    EXPECT_EQ(PlatformSurface_register(0, 0, 8, "empty"), 0u);

    EXPECT_EQ(PlatformSurface_unregister(chosen), 1);
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), first);
    EXPECT_EQ(PlatformSurface_unregister(first), 1);
    EXPECT_EQ(PlatformSurface_unregister(first), 0);
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), 0u);
    EXPECT_EQ(GetDC(first), nullptr);
}

TEST(FindWindowMemory, SurfaceUnregisteredUnderAHeldDeviceContextFailsRelease) {
    const HWND window = PlatformSurface_register(0, 16, 16, "short-lived");
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 10, 10);
    ASSERT_EQ(PlatformSurface_unregister(window), 1);
    EXPECT_EQ(ReleaseDC(window, dc), 0);
    EXPECT_EQ(ReleaseDC(window, dc), 0) << "a released device context is unknown";
    EXPECT_EQ(ReleaseDC(window, nullptr), 0);
}

class FindWindowX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!displayConfigured()) GTEST_SKIP() << "DISPLAY is not set";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
    }
    void TearDown() override {
        if (display) XCloseDisplay(display);
    }
    Display* display = nullptr;
};

TEST_F(FindWindowX11, FindsTopLevelWindowsByEitherNameProperty) {
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), 0u);
    {
        X11TestWindow window(display, "Analyzer", 64, 48);
        EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), HWND(window.id()));
        EXPECT_EQ(FindWindowA(nullptr, "Analyzer "), 0u);
    }
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), 0u) << "a destroyed window is not found";
    {
        X11TestWindow window(display, "Analyzer", 64, 48, X11TestWindow::Naming::NetWmNameOnly);
        EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), HWND(window.id()));
    }
    {
        // A window manager's frame around the named window.
        X11TestWindow frame(display, "frame", 80, 60);
        X11TestWindow client(display, "Analyzer", 64, 48, X11TestWindow::Naming::WmName, frame.id());
        EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), HWND(client.id()));
    }
}

TEST_F(FindWindowX11, SurfacesComeFirstAndRecreatedWindowsAreFoundAgain) {
    X11TestWindow first(display, "Analyzer", 64, 48);
    const HWND surface = PlatformSurface_register(0, 8, 8, "Analyzer");
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), surface);
    PlatformSurface_unregister(surface);
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), HWND(first.id()));

    first.destroy();
    X11TestWindow second(display, "Analyzer", 64, 48);  // the server may hand out the old id again
    EXPECT_EQ(FindWindowA(nullptr, "Analyzer"), HWND(second.id()));
    HDC dc = GetDC(HWND(second.id()));
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(ReleaseDC(HWND(second.id()), dc), 1);
}

TEST_F(FindWindowX11, WindowDestroyedUnderAHeldDeviceContextGivesAnErrorResult) {
    auto window = std::make_unique<X11TestWindow>(display, "doomed", 64, 48);
    const HWND handle = HWND(window->id());
    HDC dc = GetDC(handle);
    ASSERT_NE(dc, nullptr);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 50, 40);
    SetPixel(dc, 3, 3, RGB(1, 2, 3));
    window.reset();

    const unsigned long errorsBefore = PlatformWindow_x11ErrorCount();
    EXPECT_EQ(ReleaseDC(handle, dc), 0);
    EXPECT_GT(PlatformWindow_x11ErrorCount(), errorsBefore);
    EXPECT_EQ(GetDC(handle), nullptr);
    int width = 0, height = 0;
    EXPECT_EQ(PlatformWindow_getSize(handle, &width, &height), 0);
}

}  // namespace
