// The library's C calls when the address space runs out: each fails with its failure value, the
// process goes on, what was made before stays usable, and everything works again once memory is back.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <vector>

#include "platform/MemorySurface.h"
#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"
#include "platform/win32.h"

namespace {

constexpr int kWidth = 64, kHeight = 32;
constexpr size_t kMaxObjects = 1000000;  // far more than a few megabytes can hold
constexpr COLORREF kGreen = RGB(0, 255, 0);

// Why the child failed, by its exit code.
enum Outcome : int {
    kRecovered = 0,
    kNoLimit = 10,
    kDcsNeverRanOut,
    kLineToNeverRanOut,
    kPensNeverRanOut,
    kPostsNeverRanOut,
    kThreadStartedWithoutMemory,
    kReleaseFailed,
    kDeleteFailed,
    kRaiseFailed,
    kDrawingBrokenAfterwards,
    kThreadBrokenAfterwards,
    kTasksLost,
};
const char* const kOutcomeNames[] = {
    // from kNoLimit on
    "no limit set",
    "GetDC never ran out",
    "LineTo never ran out",
    "CreatePen never ran out",
    "PlatformLoop_post never ran out",
    "CreateThread started a thread without memory",
    "ReleaseDC failed",
    "DeleteObject failed",
    "limit not raised",
    "drawing broken afterwards",
    "thread broken afterwards",
    "posted tasks lost or repeated",
};

DWORD quickRoutine(void*) { return 0; }

void countTask(void* context) { ++*static_cast<size_t*>(context); }

// Runs in the forked child. Everything the child keeps track of is allocated before the limit. As in
// a host calling the library from C, nothing catches an exception: one escaping the library ends the
// child with SIGABRT.
Outcome exhaustAndRecover(HWND window) noexcept {
    std::vector<HDC> dcs;
    std::vector<HPEN> pens;
    dcs.reserve(kMaxObjects);
    pens.reserve(kMaxObjects);
    PlatformLoop* loop = PlatformLoop_create();
    size_t ran = 0;

    rlimit original{};
    getrlimit(RLIMIT_AS, &original);
    FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (!loop || !statm || std::fscanf(statm, "%lu", &pages) != 1) return kNoLimit;
    std::fclose(statm);
    rlimit lowered = original;
    lowered.rlim_cur = rlim_t(pages) * 4096 + 2u * 1024 * 1024;
    if (setrlimit(RLIMIT_AS, &lowered) != 0) return kNoLimit;

    while (dcs.size() < kMaxObjects) {
        HDC dc = GetDC(window);
        if (!dc) break;
        dcs.push_back(dc);
    }
    if (dcs.empty() || dcs.size() == kMaxObjects) return kDcsNeverRanOut;
    size_t segments = 0;
    while (segments < kMaxObjects && LineTo(dcs[0], int(segments % 2), 0)) ++segments;
    if (segments == kMaxObjects) return kLineToNeverRanOut;
    while (pens.size() < kMaxObjects) {
        HPEN pen = CreatePen(PS_SOLID, 1, kGreen);
        if (!pen) break;
        pens.push_back(pen);
    }
    if (pens.size() == kMaxObjects) return kPensNeverRanOut;
    size_t posted = 0;
    while (posted < kMaxObjects && PlatformLoop_post(loop, countTask, &ran) == 0) ++posted;
    if (posted == kMaxObjects) return kPostsNeverRanOut;
    if (HANDLE thread = CreateThread(nullptr, 0, quickRoutine, nullptr, 0, nullptr)) {
        CloseHandle(thread);
        return kThreadStartedWithoutMemory;
    }

    // Still without memory: releasing and deleting need none.
    for (HDC dc : dcs) {
        if (ReleaseDC(window, dc) != 1) return kReleaseFailed;
    }
    for (HPEN pen : pens) {
        if (DeleteObject(pen) != 1) return kDeleteFailed;
    }

    if (setrlimit(RLIMIT_AS, &original) != 0) return kRaiseFailed;
    HDC dc = GetDC(window);
    HPEN pen = CreatePen(PS_SOLID, 1, kGreen);
    if (!dc || !pen || !SelectObject(dc, pen) || !MoveToEx(dc, 0, 5, nullptr) || !LineTo(dc, kWidth, 5) ||
        ReleaseDC(window, dc) != 1 || DeleteObject(pen) != 1)
        return kDrawingBrokenAfterwards;
    std::vector<COLORREF> row(kWidth);
    if (!PlatformWindow_readPixels(window, 0, 5, kWidth, 1, row.data()) || row != std::vector<COLORREF>(kWidth, kGreen))
        return kDrawingBrokenAfterwards;
    HANDLE thread = CreateThread(nullptr, 0, quickRoutine, nullptr, 0, nullptr);
    if (!thread || WaitForSingleObject(thread, INFINITE) != WAIT_OBJECT_0 || CloseHandle(thread) != 1)
        return kThreadBrokenAfterwards;
    PlatformLoop_pump(loop, 0);
    if (ran != posted) return kTasksLost;
    return kRecovered;
}

TEST(OutOfMemory, EveryCallFailsWithItsFailureValueAndWorksAgainOnceMemoryIsBack) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves its shadow memory up front; an address-space limit cannot be set";
#endif
    const HWND window = PlatformSurface_register(0, kWidth, kHeight, "out of memory");
    ASSERT_NE(window, 0u);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(exhaustAndRecover(window));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    PlatformSurface_unregister(window);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    const int code = WEXITSTATUS(status);
    const int reason = code - kNoLimit;
    EXPECT_EQ(code, kRecovered) << (reason >= 0 && reason < int(std::size(kOutcomeNames)) ? kOutcomeNames[reason]
                                                                                          : "unknown exit");
}

}  // namespace
