// The plug-in in a real host: Debian's jalv.gtk3 on a private JACK dummy server, a 1 kHz tone from
// jack_metro on input A. The "Analyzer" window sits inside jalv's window, and trace 1 peaks at the
// display column of 1 kHz. A process-level test: only a real host shows that the editor embeds and
// draws there.
#include "engine/FrequencyMap.h"

#include <gtest/gtest.h>

// After the test framework: Xlib defines None.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// A program started for the test and ended with it.
class Program {
public:
    explicit Program(std::vector<std::string> argv) {
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, args[0], &quiet, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&quiet);
    }
    ~Program() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    bool started() const { return pid_ > 0; }
    // Runs a program to its end; true when it exited with 0.
    static bool succeeds(std::vector<std::string> argv) {
        Program p(std::move(argv));
        int status = 0;
        if (!p.started() || waitpid(p.pid_, &status, 0) != p.pid_) return false;
        p.pid_ = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t pid_ = -1;
};

template <typename Done>
bool within(int ms, Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// The window's title as its WM_NAME holds it, in whatever encoding (the toolkit writes UTF-8).
std::string nameOf(Display* display, Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::string result;
    if (XGetWindowProperty(display, window, XA_WM_NAME, 0, 256, False, AnyPropertyType, &type, &format, &items, &after,
                           &data) == Success &&
        data != nullptr && format == 8)
        result.assign(reinterpret_cast<char*>(data), items);
    if (data) XFree(data);
    return result;
}

// The windows below top, depth first, with the window above each.
void collect(Display* display, Window top, std::vector<std::pair<Window, Window>>& found) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, top, &root, &parent, &children, &count)) return;
    for (unsigned i = 0; i < count; ++i) {
        found.emplace_back(children[i], top);
        collect(display, children[i], found);
    }
    if (children) XFree(children);
}

TEST(PluginInJalv, TheEditorSitsInJalvsWindowAndShowsATonesPeakAtItsColumn) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) GTEST_SKIP() << "no display";
    // Reading a window that is not mapped yet fails (BadMatch): the read is tried again.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const std::string server = "qanagui-test-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    setenv("LV2_PATH", QANAGUI_LV2_BUNDLE "..", 1);
    Program jack({"jackd", "--no-realtime", "-n", server, "-d", "dummy", "-r", "48000", "-p", "256"});
    ASSERT_TRUE(jack.started());
    ASSERT_TRUE(within(10000, [] { return Program::succeeds({"jack_lsp"}); })) << "the JACK server runs";
    Program tone({"jack_metro", "-n", "tone", "-b", "30", "-f", "1000", "-D", "1990", "-A", "0.5"});
    Program jalv({"jalv.gtk3", "-n", "ana", "urn:qanagui:analyzer"});
    ASSERT_TRUE(within(60000, [] { return Program::succeeds({"jack_connect", "tone:30_bpm", "ana:in_a"}); }));

    // The editor's window: titled "Analyzer", below jalv's own windows.
    Window editor = 0, parent = 0;
    ASSERT_TRUE(within(20000, [&] {
        std::vector<std::pair<Window, Window>> windows;
        collect(display, DefaultRootWindow(display), windows);
        for (const auto& [window, above] : windows)
            if (above != DefaultRootWindow(display) && nameOf(display, window) == "Analyzer") {
                editor = window;
                parent = above;
            }
        return editor != 0;
    })) << "an \"Analyzer\" window inside another window";
    Window top = parent, root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    while (XQueryTree(display, top, &root, &up, &children, &count) && up != root) {
        if (children) XFree(children);
        top = up;
    }
    XClassHint hint{};
    ASSERT_TRUE(XGetClassHint(display, top, &hint));
    EXPECT_STREQ(hint.res_name, "jalv.gtk3") << "the top-level window is jalv's";
    XFree(hint.res_name);
    XFree(hint.res_class);

    // Trace 1 is green; its highest point lies at the 1 kHz column (4096 points at 48 kHz).
    int32_t map[kSizeCodes][1024];
    buildFrequencyMap(21.0, &map[0][0], 1024);
    int toneColumn = 0;
    while (toneColumn < 1023 && map[2][toneColumn] * 48000.0 / 4096 < 1000.0) ++toneColumn;
    int peakColumn = -1;
    EXPECT_TRUE(within(20000,
                       [&] {
                           XImage* image = XGetImage(display, editor, 14, 45, 1024, 400, AllPlanes, ZPixmap);
                           if (image == nullptr) return false;
                           int best = 400;
                           for (int x = 0; x < 1024; ++x)
                               for (int y = 0; y < best; ++y)
                                   if (XGetPixel(image, x, y) == 0x00FF00) {
                                       best = y;
                                       peakColumn = x;
                                       break;
                                   }
                           XDestroyImage(image);
                           return best < 380 && std::abs(peakColumn - toneColumn) <= 3;
                       }))
        << "peak at column " << peakColumn << ", 1 kHz at column " << toneColumn;
    XCloseDisplay(display);
}

}  // namespace
