// A host whose memory is exhausted while its analyzer window has values to apply and frames to paint,
// and whose next creation is refused: its loop goes on (the frames are skipped) without spinning on
// the events that wait, and once memory is back the panel follows its pins and paints again. In a child process, which pumps the loop as a
// host must.
#include "AnalyzerHarness.h"

#include "platform/MessageLoop.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MemoryExhaustion.h"

namespace {

// Bytes left to allocate; 1.5 MB is enough for the toolkit's round but not for a new back buffer
// (2.4 MB), which the window needs once it has released its old one after 3 s without painting.
class PaintWithoutMemory : public AnalyzerHarness, public ::testing::WithParamInterface<size_t> {};
constexpr size_t kNoRoomForABackBuffer = 1536 * 1024;

// Counts the loop's rounds: one poll each.
int countRound(void* rounds) {
    ++*static_cast<int*>(rounds);
    return 0;
}

TEST_P(PaintWithoutMemory, FramesAreSkippedAndTheWindowPaintsWhenMemoryIsBack) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves its shadow memory up front; an address-space limit cannot be set";
#endif
    expectChildSucceeds([&] {
        display = XOpenDisplay(nullptr);  // the parent's connection stays the parent's
        const int32_t h = create();
        if (!waitUntil([&] { return analyzerWindows().size() == 1; })) return 20;
        const Window window = analyzerWindows()[0];
        startUp(h);
        InstancePins& p = *pins.at(h);
        if (!waitPainted(window)) return 21;
        const std::vector<COLORREF> redSliderAtZero = pixels(window, 85, 487, 33, 14);
        if (GetParam() == kNoRoomForABackBuffer) pump(3500);
        int rounds = 0;
        const int counting = PlatformLoop_addPrePollHook(PlatformLoop_shared(), &countRound, &rounds);
        pump(1);  // the loop takes the new hook in while it has the memory for it
        rounds = 0;
        {
            MemoryExhaustion exhausted;
            exhausted.leave(GetParam());
            if (GetParam() < kNoRoomForABackBuffer) {  // a creation refused, then the loop goes on
                int32_t in = 0, out[2] = {-9, 0}, returned = 0;
                module.command(1025, &in, 4, out, 8, returned);  // create
                if (out[0] != -1) return 26;
            }
            for (int i = 1; i <= 20; ++i) {  // a value for the panel and a repaint each round
                p.inputs[32] = 10 * i;
                p.inputs[44] = i % 2;  // hidden, shown: the whole window repaints
                control(h);
                pump(10);
            }
        }
        PlatformLoop_removePrePollHook(PlatformLoop_shared(), counting);
        // The toolkit's waiting events must not keep the loop from sleeping: a few rounds a frame.
        if (rounds > 200) return 27;
        p.inputs[32] = 255;
        p.inputs[44] = 1;
        if (!waitUntil([&] {
                control(h);
                return p.outputs[32] == 255;
            }))
            return 22;
        if (!waitUntil([&] { return pixels(window, 85, 487, 33, 14) != redSliderAtZero; })) return 23;
        if (!waitPainted(window)) return 25;
        if (destroy(h) != 0) return 24;
        return 0;
    });
}

INSTANTIATE_TEST_SUITE_P(BytesLeft, PaintWithoutMemory,
                         ::testing::Values(size_t(0), size_t(1024), size_t(64 * 1024), kNoRoomForABackBuffer));

}  // namespace
