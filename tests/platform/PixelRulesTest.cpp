// GDI pixel rules, run identically against the in-memory surface and an X11 window under Xvfb:
// whatever the engine draws must come out pixel for pixel the same on both.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <utility>

#include "TestWindows.h"  // after gtest: Xlib defines None

#include <X11/Xutil.h>
#include "platform/WindowPixels.h"
#include "platform/win32.h"

using namespace platform_test;

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;
constexpr COLORREF kWhite = RGB(255, 255, 255);

class PixelRules : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::X11 && !displayConfigured()) {
            GTEST_SKIP() << "DISPLAY is not set";
        }
        target = std::make_unique<Target>(GetParam(), kWidth, kHeight, "pixel rules");
        ASSERT_NE(target->handle(), 0u);
        expected.assign(size_t(kWidth) * kHeight, 0);
        errorsBefore = PlatformWindow_x11ErrorCount();
    }

    void TearDown() override {
        if (target) {
            EXPECT_EQ(PlatformWindow_x11ErrorCount(), errorsBefore);
        }
    }

    // Draws the segments with one pen each, in one device context, and records the reference image.
    struct Line {
        int x0, y0, x1, y1;
        COLORREF colour;
    };
    void drawLines(const std::vector<Line>& lines) {
        HDC dc = GetDC(target->handle());
        ASSERT_NE(dc, nullptr);
        HGDIOBJ original = nullptr;
        for (const Line& line : lines) {
            HPEN pen = CreatePen(PS_SOLID, 1, line.colour);
            HGDIOBJ previous = SelectObject(dc, pen);
            if (!original)
                original = previous;
            else
                DeleteObject(previous);
            MoveToEx(dc, line.x0, line.y0, nullptr);
            LineTo(dc, line.x1, line.y1);
            referenceSegment(expected, kWidth, kHeight, line.x0, line.y0, line.x1, line.y1, line.colour);
        }
        DeleteObject(SelectObject(dc, original));
        EXPECT_EQ(ReleaseDC(target->handle(), dc), 1);
    }

    COLORREF at(const std::vector<COLORREF>& image, int x, int y) { return image[size_t(y) * kWidth + size_t(x)]; }

    std::unique_ptr<Target> target;
    std::vector<COLORREF> expected;
    unsigned long errorsBefore = 0;
};

TEST_P(PixelRules, LineToLeavesOutItsEndPointInEveryDirection) {
    const int cx = 48, cy = 32;
    const int ends[][2] = {{20, 0}, {-20, 0}, {0, 20},  {0, -20},  {15, 15}, {-15, 15}, {15, -15}, {-15, -15},
                           {20, 7}, {-20, 7}, {20, -7}, {-20, -7}, {7, 20},  {-7, 20},  {7, -20},  {-7, -20},
                           {4, 2},  {-4, 2},  {2, 4},   {2, -4},   {1, 0},   {0, 1},    {0, 0}};
    for (const auto& end : ends) {
        SCOPED_TRACE(testing::Message() << "to (" << end[0] << ", " << end[1] << ")");
        target->clear();
        expected.assign(expected.size(), 0);
        drawLines({{cx, cy, cx + end[0], cy + end[1], kWhite}});
        const std::vector<COLORREF> image = target->read();
        EXPECT_EQ(at(image, cx + end[0], cy + end[1]), 0u) << "end point drawn";
        if (end[0] != 0 || end[1] != 0) {
            EXPECT_EQ(at(image, cx, cy), kWhite) << "start point missing";
        }
        ASSERT_EQ(image, expected);
    }
}

TEST_P(PixelRules, PolylineAcrossTheEdgesMatchesTheStepByStepWalk) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> near(-40, 140), far(-30000, 30000), colour(0, 0xFFFFFF);
    std::vector<Line> lines;
    for (int i = 0; i < 300; ++i) {
        // Mostly segments around the window, some reaching beyond the X protocol's 16-bit range.
        auto coordinate = [&] { return i % 5 == 4 ? far(random) : near(random); };
        lines.push_back({coordinate(), coordinate(), coordinate(), coordinate(), COLORREF(colour(random))});
    }
    // Then a trace: each line starts where the last ended (X11 gets them as one chain), with repeated
    // points, far points, and another colour halfway through.
    std::uniform_int_distribution<int> step(-3, 3);
    for (int i = 0, x = 10, y = 10; i < 3000; ++i) {
        const int nx = i % 50 == 49 ? far(random) : i % 7 == 0 ? near(random) : x + step(random);
        const int ny = i % 50 == 48 ? far(random) : i % 7 == 0 ? near(random) : y + step(random);
        lines.push_back({std::exchange(x, nx), std::exchange(y, ny), nx, ny, i < 1500 ? kWhite : RGB(0, 200, 255)});
    }
    drawLines(lines);
    ASSERT_EQ(target->read(), expected);
}

TEST_P(PixelRules, PenColourByteOrderAndSelection) {
    HDC dc = GetDC(target->handle());
    ASSERT_NE(dc, nullptr);
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HPEN green = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
    HPEN blue = CreatePen(PS_SOLID, 1, 0x00FF0000);
    ASSERT_TRUE(red && green && blue);
    EXPECT_EQ(CreatePen(PS_SOLID, 3, 0), nullptr) << "wide pens are not supported";

    HGDIOBJ stock = SelectObject(dc, red);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(DeleteObject(red), 0) << "a selected pen must not be deletable";
    MoveToEx(dc, 0, 1, nullptr);
    LineTo(dc, 10, 1);
    EXPECT_EQ(SelectObject(dc, green), red);
    MoveToEx(dc, 0, 2, nullptr);
    LineTo(dc, 10, 2);
    EXPECT_EQ(SelectObject(dc, blue), green);
    POINT previous{};
    MoveToEx(dc, 0, 3, &previous);
    EXPECT_EQ(previous.x, 10);
    EXPECT_EQ(previous.y, 2);
    LineTo(dc, 10, 3);
    EXPECT_EQ(SelectObject(dc, stock), blue);
    EXPECT_EQ(DeleteObject(red), 1);
    EXPECT_EQ(DeleteObject(green), 1);
    EXPECT_EQ(DeleteObject(blue), 1);
    EXPECT_EQ(ReleaseDC(target->handle(), dc), 1);

    const std::vector<COLORREF> image = target->read();
    EXPECT_EQ(at(image, 5, 1), RGB(255, 0, 0));
    EXPECT_EQ(at(image, 5, 2), RGB(0, 255, 0));
    EXPECT_EQ(at(image, 5, 3), RGB(0, 0, 255));

    if (GetParam() == Backend::X11) {
        // What the server holds, not only what our own conversion reads back: red is 0xFF0000 in a
        // 24-bit TrueColor visual.
        XImage* raw = XGetImage(target->display(), Window(target->handle()), 5, 1, 1, 3, AllPlanes, ZPixmap);
        ASSERT_NE(raw, nullptr);
        EXPECT_EQ(XGetPixel(raw, 0, 0) & 0xFFFFFF, 0xFF0000u);
        EXPECT_EQ(XGetPixel(raw, 0, 1) & 0xFFFFFF, 0x00FF00u);
        EXPECT_EQ(XGetPixel(raw, 0, 2) & 0xFFFFFF, 0x0000FFu);
        XDestroyImage(raw);
    }
}

TEST_P(PixelRules, SetPixelSetsExactlyOnePixelInside) {
    HDC dc = GetDC(target->handle());
    ASSERT_NE(dc, nullptr);
    const int points[][2] = {{0, 0}, {kWidth - 1, 0}, {0, kHeight - 1}, {kWidth - 1, kHeight - 1}, {40, 30}};
    for (const auto& p : points) {
        const COLORREF colour = RGB(p[0] * 2, p[1] * 3, 77);
        EXPECT_EQ(SetPixel(dc, p[0], p[1], colour), colour);
        expected[size_t(p[1]) * kWidth + size_t(p[0])] = colour;
    }
    EXPECT_EQ(SetPixel(dc, -1, 5, kWhite), CLR_INVALID);
    EXPECT_EQ(SetPixel(dc, kWidth, 5, kWhite), CLR_INVALID);
    EXPECT_EQ(SetPixel(dc, 5, -264000 + 45, kWhite), CLR_INVALID);
    EXPECT_EQ(ReleaseDC(target->handle(), dc), 1);
    EXPECT_EQ(target->read(), expected);
}

TEST_P(PixelRules, FarCoordinatesAreClippedNeverWrapped) {
    const int cleared = -264000 + 45;  // a cleared display row, as the engine draws it
    // Rows that land inside the window if taken modulo 65536 (16-bit protocol coordinates).
    const int wrapsToRow10 = -4 * 65536 + 10, wrapsToRow20 = 65536 + 20;
    drawLines({{0, cleared, kWidth, cleared, kWhite},
               {-100, wrapsToRow10, kWidth + 100, wrapsToRow10, kWhite},
               {-100, wrapsToRow20, kWidth + 100, wrapsToRow20, kWhite},
               {65536 + 5, 5, 65536 + 80, 5, kWhite}});
    EXPECT_EQ(target->read(), std::vector<COLORREF>(expected.size(), 0)) << "something was drawn";

    // A trace stepping from a visible row to a cleared one draws the visible part of that steep line.
    drawLines(
        {{10, 20, 11, cleared, kWhite}, {11, cleared, 12, 30, RGB(0, 255, 0)}, {-264000, 40, 264000, 41, kWhite}});
    const std::vector<COLORREF> image = target->read();
    EXPECT_EQ(at(image, 10, 0), kWhite);
    EXPECT_EQ(at(image, 10, 20), kWhite);
    EXPECT_EQ(at(image, 12, 29), RGB(0, 255, 0));
    EXPECT_EQ(image, expected);
}

TEST_P(PixelRules, SegmentsAcrossTheWholeCoordinateRangeMatchTheStepByStepWalk) {
    constexpr int kMin = INT32_MIN, kMax = INT32_MAX;
    struct Extreme {
        Line line;
        bool crossesWindow;  // guards the table: these must leave pixels in the window
    };
    const Extreme extremes[] = {
        // Corners of the range, both ways: the main diagonal runs through the window's top-left corner.
        {{kMin, kMin, kMax, kMax, kWhite}, true},
        {{kMax, kMax, kMin, kMin, kWhite}, true},
        {{kMin, kMax, kMax, kMin, kWhite}, false},
        {{kMax, kMin, kMin, kMax, kWhite}, false},
        {{kMin, kMax, kMax, kMax, kWhite}, false},
        // Long, nearly flat and nearly steep lines through the window, where rounding halves matter.
        {{kMin, -1000, kMax, 1000, kWhite}, true},
        {{kMax, kHeight + 1000, kMin, -1000, kWhite}, true},
        {{0, kMin, kWidth - 1, kMax, kWhite}, true},
        {{kWidth - 1, kMax, 0, kMin, kWhite}, true},
        {{kMin, kMin + 7, kMax, kMax - 7, kWhite}, true},
        {{kMin + 1, kMin, kMax, kMax - 1, kWhite}, true},
        // From inside the window to the far corners.
        {{10, 20, kMin, kMax, kWhite}, true},
        {{10, 20, kMax, kMin, kWhite}, true},
        {{kMax, kMax, -1, -1, kWhite}, true},
        // Along the edges, just inside and just outside, and lines that step across an edge at x = 0.
        {{kMin, kHeight - 1, kMax, kHeight - 1, kWhite}, true},
        {{kMin, kHeight, kMax, kHeight, kWhite}, false},
        {{kWidth - 1, kMax, kWidth - 1, kMin, kWhite}, true},
        {{kWidth, kMin, kWidth, kMax, kWhite}, false},
        {{kMin, 0, kMax, -1, kWhite}, false},
        {{kMin, 0, kMax, 1, kWhite}, true},
        {{kMin, kMin, 0, 0, kWhite}, false},
    };
    for (const Extreme& extreme : extremes) {
        const Line& l = extreme.line;
        SCOPED_TRACE(testing::Message() << "(" << l.x0 << ", " << l.y0 << ") to (" << l.x1 << ", " << l.y1 << ")");
        target->clear();
        expected.assign(expected.size(), 0);
        drawLines({l});
        ASSERT_EQ(std::count(expected.begin(), expected.end(), kWhite) > 0, extreme.crossesWindow);
        ASSERT_EQ(target->read(), expected);
    }
}

TEST_P(PixelRules, RectanglesReachingPastTheWindowAreRefusedWithoutWriting) {
    constexpr int kMax = INT32_MAX;
    struct Rectangle {
        int x, y, width, height;
    };
    const Rectangle outside[] = {
        {kMax, 0, 1, 1},
        {0, kMax, 1, 1},
        {1, 0, kMax, 1},
        {0, 1, 1, kMax},
        {kMax, kMax, kMax, kMax},
        {kWidth - 1, 0, kMax - kWidth + 2, 1},
        {0, kHeight - 1, 1, kMax - kHeight + 2},
        {kWidth, 0, 1, 1},
        {0, kHeight - 1, 1, 2},
    };
    constexpr COLORREF kUntouched = 0xABCDEF;
    for (const Rectangle& r : outside) {
        SCOPED_TRACE(testing::Message() << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")");
        std::vector<COLORREF> pixels(16, kUntouched);
        EXPECT_EQ(PlatformWindow_readPixels(target->handle(), r.x, r.y, r.width, r.height, pixels.data()), 0);
        EXPECT_EQ(pixels, std::vector<COLORREF>(16, kUntouched));
    }
    drawLines({{kWidth - 1, kHeight - 1, kWidth, kHeight, kWhite}});
    COLORREF corner = 0;
    EXPECT_EQ(PlatformWindow_readPixels(target->handle(), kWidth - 1, kHeight - 1, 1, 1, &corner), 1);
    EXPECT_EQ(corner, kWhite);
}

TEST_P(PixelRules, StaleOrForeignDeviceContextFailsOnEveryCall) {
    HDC released = GetDC(target->handle());
    ASSERT_NE(released, nullptr);
    ASSERT_EQ(ReleaseDC(target->handle(), released), 1);
    // A device context opened now may take over whatever the released one used.
    HDC live = GetDC(target->handle());
    ASSERT_NE(live, nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, kWhite);
    ASSERT_NE(pen, nullptr);

    for (HDC bad : {released, HDC(pen)}) {
        SCOPED_TRACE(bad == released ? "released" : "a pen");
        POINT previous{7, 7};
        EXPECT_EQ(MoveToEx(bad, 10, 10, &previous), 0);
        EXPECT_EQ(previous.x, 7);
        EXPECT_EQ(LineTo(bad, 50, 10), 0);
        EXPECT_EQ(SetPixel(bad, 3, 3, kWhite), CLR_INVALID);
        EXPECT_EQ(SelectObject(bad, pen), nullptr);
        EXPECT_EQ(ReleaseDC(target->handle(), bad), 0);
    }

    // The live device context is untouched: the pen was never selected into it, it still holds the
    // stock pen, and it draws nothing on release.
    EXPECT_EQ(DeleteObject(pen), 1);
    POINT position{-1, -1};
    EXPECT_EQ(MoveToEx(live, 0, 0, &position), 1);
    EXPECT_EQ(position.x, 0);
    EXPECT_EQ(position.y, 0);
    EXPECT_EQ(ReleaseDC(target->handle(), live), 1);
    EXPECT_EQ(target->read(), expected);
}

TEST_P(PixelRules, PngScreenshotHoldsTheWindowPixels) {
    drawLines({{0, 0, kWidth, kHeight, RGB(10, 200, 30)}, {5, 60, 90, 2, RGB(250, 0, 128)}});
    const std::string path = ::testing::TempDir() + "platform-shot-" + backendName(GetParam()) + ".png";
    ASSERT_EQ(PlatformWindow_writePng(target->handle(), path.c_str()), 1);

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&image, path.c_str()), 0) << image.message;
    ASSERT_EQ(image.width, unsigned(kWidth));
    ASSERT_EQ(image.height, unsigned(kHeight));
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_NE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr), 0) << image.message;
    std::remove(path.c_str());

    std::vector<COLORREF> decoded(expected.size());
    for (size_t i = 0; i < decoded.size(); ++i) decoded[i] = RGB(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    EXPECT_EQ(decoded, expected);
}

INSTANTIATE_TEST_SUITE_P(Backends, PixelRules, ::testing::Values(Backend::Memory, Backend::X11),
                         [](const auto& info) { return backendName(info.param); });

}  // namespace
