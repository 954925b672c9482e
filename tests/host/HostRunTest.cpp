// analyzer-host run as a user runs it, with the real module, under the suite's display: what it draws,
// from the generator, a sound file and live JACK input; its settings on the output pins; its errors
// and exit codes; a clean end on SIGTERM.
#include "engine/FrequencyMap.h"
#include "tests/support/RunHost.h"

#include <gtest/gtest.h>

#include <png.h>
#include <poll.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string temporaryPath(const std::string& name) {
    return ::testing::TempDir() + "analyzer-host-" + std::to_string(getpid()) + "-" + name;
}

// A file in the test's temporary folder, removed when the test ends, also when an assertion ends it
// early.
struct TemporaryFile {
    explicit TemporaryFile(const std::string& name) : path(temporaryPath(name)) {}
    ~TemporaryFile() { std::remove(path.c_str()); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string path;
};

// An RGB(A) PNG as rows of 0xRRGGBB.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y * width + x)]; }
};

bool readPng(const std::string& path, Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
    picture.width = int(image.width);
    picture.height = int(image.height);
    picture.pixels.resize(size_t(picture.width * picture.height));
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = uint32_t(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]);
    return true;
}

// The display column (0..1023) where trace 1 (green) reaches highest, and that row; -1 if none.
std::pair<int, int> greenPeak(const Picture& p) {
    int bestColumn = -1, bestRow = 1 << 30;
    for (int i = 0; i < 1023; ++i)
        for (int y = 45; y < 460; ++y)
            if (p.at(14 + i, y) == 0x00FF00) {
                if (y < bestRow) bestRow = y, bestColumn = i;
                break;
            }
    return {bestColumn, bestRow};
}

int binOfColumn(int column) {
    static int32_t map[kSizeCodes][1024];
    static const bool built = (buildFrequencyMap(21.0, &map[0][0], 1024), true);
    (void)built;
    return map[0][column];
}

const char* kSpectrumOfA = "--view spectrum --magnitudes --trace1 A --quiet";

TEST(HostRun, GeneratorSineShowsItsSpectrumPeakAt1kHz) {
    const TemporaryFile pngFile("generator.png");
    const std::string& png = pngFile.path;
    const HostRun run = runHost(std::string(kSpectrumOfA) + " --duration 2 --screenshot " + png);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Picture picture;
    ASSERT_TRUE(readPng(png, picture));
    EXPECT_EQ(picture.width, 1067);
    EXPECT_EQ(picture.height, 562);
    const auto [column, row] = greenPeak(picture);
    ASSERT_GE(column, 0) << "no trace in the window";
    // 1 kHz at 48 kHz is bin 21.3 of 1024; -6 dBFS stands well above the floor (row 445).
    EXPECT_GE(binOfColumn(column), 20) << column;
    EXPECT_LE(binOfColumn(column), 22) << column;
    EXPECT_LT(row, 400);
}

TEST(HostRun, WithoutSettingsTheFourInputsShowAsSpectra) {
    const HostRun run = runHost("--duration 1.5 --print-outputs");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* expected : {"A02 = 1\n", "A04 = 1\n", "A21 = 2\n", "A22 = 3\n", "A23 = 4\n", "A24 = 5\n"})
        EXPECT_NE(run.output.find(expected), std::string::npos) << expected << " in:\n" << run.output;
}

TEST(HostRun, WavFileDrawsWhereTheGeneratorDraws) {
    const TemporaryFile wavFile("sine.wav"), pngFile("file.png");
    const std::string &wav = wavFile.path, &png = pngFile.path;
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* file = sf_open(wav.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<double> frames(2 * 48000);
    for (int i = 0; i < 48000; ++i) {
        frames[size_t(2 * i)] = 0.5 * std::sin(6.28318530718 * 1000.0 * i / 48000.0);
        frames[size_t(2 * i + 1)] = 0.0;
    }
    sf_writef_double(file, frames.data(), 48000);
    sf_close(file);

    const HostRun run =
        runHost("--view spectrum --magnitudes --trace1 A --file " + wav + " --loop --duration 2 --screenshot " + png);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    Picture picture;
    ASSERT_TRUE(readPng(png, picture));
    const auto [column, row] = greenPeak(picture);
    ASSERT_GE(column, 0) << "no trace in the window:\n" << run.output;
    EXPECT_GE(binOfColumn(column), 20);
    EXPECT_LE(binOfColumn(column), 22);
    EXPECT_LT(row, 400);

    // Without --loop the run ends with the file (1 s of audio, played in real time).
    const HostRun once = runHost("--file " + wav);
    EXPECT_EQ(once.exitCode, 0) << once.output;
    EXPECT_NE(once.output.find("source ended"), std::string::npos) << once.output;
}

struct ErrorCase {
    const char* what;
    std::string arguments, environment;
    int exitCode;
    const char* message;
};

class HostErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(HostErrors, ExitWithTheirCodeAndSayWhy) {
    const ErrorCase& c = GetParam();
    std::string arguments = c.arguments;
    const TemporaryFile text("text.wav");
    if (arguments.find("TEXT_WAV") != std::string::npos) {
        std::ofstream(text.path) << "this is not a sound file\n";
        arguments.replace(arguments.find("TEXT_WAV"), 8, text.path);
    }
    const HostRun run = runHost(arguments + " --duration 1", c.environment);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.what << ": " << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << c.what << ": " << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostErrors,
    ::testing::Values(ErrorCase{"unknown option", "--frobnicate", "", 1, "unknown argument"},
                      ErrorCase{"bad block size", "--fft 1000", "", 1, "accepted: 1024, 2048, 4096, 8192"},
                      ErrorCase{"bad trace source", "--trace2 E", "", 1, "A+B"},
                      ErrorCase{"unknown pin", "--set iZZ=3", "", 1, "iA05"},
                      ErrorCase{"pin value not a number", "--set iA05=big", "", 1, "PIN=VALUE"},
                      ErrorCase{"missing module", "--module /nonexistent/qanagui.so", "", 2, "/nonexistent/qanagui.so"},
                      ErrorCase{"missing file", "--file /nonexistent/tone.wav", "", 4, "/nonexistent/tone.wav"},
                      ErrorCase{"text file named .wav", "--file TEXT_WAV", "", 4, "text.wav"},
                      ErrorCase{"no JACK server", "--jack", "JACK_DEFAULT_SERVER=qanagui-none-$$", 5, "no JACK server"},
                      ErrorCase{"no display", "", "env -u DISPLAY", 6, "no display"}));

TEST(HostRun, SettingsReachTheOutputPins) {
    const HostRun run =
        runHost("--print-outputs --quiet --duration 1 --set iA05=4096 --window Hann --catcher D- --trace3 A-B");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* line : {"A05 = 4096", "A19 = 1", "A14 = 8", "A23 = 12", "SHow = 1"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << " in:\n" << run.output;
}

TEST(HostRun, SigtermEndsTheRunCleanly) {
    const TemporaryFile logFile("sigterm.log");
    const std::string& log = logFile.path;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!std::freopen(log.c_str(), "w", stderr)) _exit(120);
        execl(ANALYZER_HOST_PATH, ANALYZER_HOST_PATH, "--trace1", "A", "--trace2", "B", nullptr);
        _exit(121);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    std::ifstream in(log);
    const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("stopped by signal"), std::string::npos) << output;
    EXPECT_NE(output.find("1 thread(s) left"), std::string::npos) << "every instance, window and thread gone:\n"
                                                                  << output;
}

}  // namespace

namespace {

// A program started in the background with its output silenced.
pid_t spawn(std::vector<const char*> argv) {
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(120);
        execvp(argv[0], const_cast<char* const*>(argv.data()));
        _exit(121);
    }
    return pid;
}

// Xvfb on a display number it picks itself and reports once it accepts connections (-displayfd):
// ":N", or "" when it did not start. A number chosen here may name the socket of a server killed
// earlier, which is there before the new server listens on it.
std::string startXvfb(pid_t* server) {
    int ends[2];
    if (pipe(ends) != 0) return "";
    const std::string writeEnd = std::to_string(ends[1]);
    *server = spawn({"Xvfb", "-displayfd", writeEnd.c_str(), "-nolisten", "tcp"});
    close(ends[1]);
    std::string number;
    pollfd ready{ends[0], POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, 10000) > 0 && read(ends[0], &c, 1) == 1 && c != '\n') number += c;
    close(ends[0]);
    return number.empty() ? "" : ":" + number;
}

// A JACK server of the test's own (the dummy back end: no sound card, no real-time rights) with a
// click source on it; stopped by its process id.
class DummyJackServer {
public:
    DummyJackServer() : name_("qanagui-test-" + std::to_string(getpid())) {
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        server_ = spawn({"jackd", "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"});
    }
    ~DummyJackServer() {
        for (pid_t pid : {metro_, server_})
            if (pid > 0) {
                kill(pid, SIGTERM);
                waitpid(pid, nullptr, 0);
            }
        unsetenv("JACK_DEFAULT_SERVER");
    }
    bool waitFor(const std::string& port) {
        for (int i = 0; i < 100; ++i) {
            if (shell("jack_lsp 2>/dev/null | grep -qx '" + port + "'") == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    void startClicks() { metro_ = spawn({"jack_metro", "-b", "600", "-f", "1000", "-D", "50"}); }
    // Holds the click source for a while: it misses the server's cycles, which the server reports to
    // every client as xruns.
    void stallClicks(std::chrono::milliseconds time) {
        kill(metro_, SIGSTOP);
        std::this_thread::sleep_for(time);
        kill(metro_, SIGCONT);
    }
    // Stops the server under its clients. (SIGTERM: a server killed outright leaves its entry in
    // JACK's shared registry, and after a few of those no server starts on the machine any more.)
    void stop() {
        kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
        server_ = -1;
    }
    static int shell(const std::string& command) { return std::system(command.c_str()); }

private:
    std::string name_;
    pid_t server_ = -1, metro_ = -1;
};

TEST(HostRun, LiveJackInputIsAnalysedWithItsXrunsReported) {
    if (DummyJackServer::shell("command -v jackd >/dev/null && command -v jack_metro >/dev/null") != 0)
        GTEST_SKIP() << "jackd2 is not installed";
    DummyJackServer server;
    ASSERT_TRUE(server.waitFor("system:playback_1")) << "the dummy server did not start";
    server.startClicks();
    ASSERT_TRUE(server.waitFor("metro:600_bpm"));

    const HostRun unknown = runHost("--connect a=nosuch:port --duration 1");
    EXPECT_EQ(unknown.exitCode, 5) << unknown.output;
    EXPECT_NE(unknown.output.find("no port 'nosuch:port'"), std::string::npos) << unknown.output;

    HostRun run;
    std::thread host(
        [&] { run = runHost("--connect a=metro:600_bpm --duration 5 --view spectrum --magnitudes --trace1 A"); });
    const bool started = server.waitFor("analyzer-host:a");
    // The stall comes after the first status lines, which count the traces drawn undisturbed.
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    server.stallClicks(std::chrono::milliseconds(300));
    host.join();
    ASSERT_TRUE(started) << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // Status lines: "..., 48000 Hz, blocks of 256: B blocks/s, T traces drawn/s, X xruns, longest callback
    // C µs, ...".
    int lines = 0;
    double mostTraces = 0;
    for (size_t at = run.output.find("blocks of 256"); at != std::string::npos;
         at = run.output.find("blocks of 256", at + 1)) {
        const std::string line = run.output.substr(at, run.output.find('\n', at) - at);
        double blocks = 0, traces = 0, longest = -1;
        long xruns = -1;
        ASSERT_EQ(std::sscanf(line.c_str(),
                              "blocks of 256: %lf blocks/s, %lf traces drawn/s, %ld xruns, longest callback %lf",
                              &blocks, &traces, &xruns, &longest),
                  4)
            << line;
        mostTraces = std::max(mostTraces, traces);
        ++lines;
    }
    EXPECT_GE(lines, 2) << run.output;
    // Every capture of 1024 samples at 48 kHz drawn: 46.9 a second for the one trace.
    EXPECT_GT(mostTraces, 40.0) << run.output;
    // The summary: the stalled click source's xruns, and the longest callback that ran blocks.
    long xruns = -1;
    double longest = -1;
    const size_t summary = run.output.find("traces drawn, ");
    ASSERT_NE(summary, std::string::npos) << run.output;
    ASSERT_EQ(
        std::sscanf(run.output.c_str() + summary, "traces drawn, %ld xruns, longest callback %lf", &xruns, &longest), 2)
        << run.output;
    EXPECT_GE(xruns, 1) << run.output;
    EXPECT_GT(longest, 0.0) << run.output;
}

TEST(HostRun, EndsWithExitCode5SoonAfterTheJackServerStops) {
    if (DummyJackServer::shell("command -v jackd >/dev/null") != 0) GTEST_SKIP() << "jackd2 is not installed";
    DummyJackServer server;
    ASSERT_TRUE(server.waitFor("system:playback_1")) << "the dummy server did not start";

    HostRun run;
    std::thread host([&] { run = runHost("--jack --duration 30 --trace1 A"); });
    const bool started = server.waitFor("analyzer-host:a");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto stopped = std::chrono::steady_clock::now();
    server.stop();
    host.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count();
    ASSERT_TRUE(started) << run.output;
    EXPECT_EQ(run.exitCode, 5) << run.output;
    EXPECT_NE(run.output.find("the JACK server went away"), std::string::npos) << run.output;
    // Liveness, not speed: without the fix the host runs its full 30 s.
    EXPECT_LT(seconds, 10.0) << run.output;
}

// The X server dies under three instances that draw: the host keeps feeding them for the rest of its
// run, then destroys them all and ends as usual, with no thread left.
TEST(HostRun, LivesOnWhenTheXServerDies) {
    if (DummyJackServer::shell("command -v Xvfb >/dev/null") != 0) GTEST_SKIP() << "Xvfb is not installed";
    pid_t server = 0;
    const std::string display = startXvfb(&server);
    ASSERT_GT(server, 0);
    ASSERT_FALSE(display.empty()) << "Xvfb reported no display";

    HostRun run;
    std::thread host([&] {
        run = runHost("--instances 3 --trace1 A --trace2 B --view spectrum --duration 4", "DISPLAY=" + display);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    host.join();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("the X connection was lost"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("done after 4."), std::string::npos) << "fed to the end:\n" << run.output;
    EXPECT_NE(run.output.find("1 thread(s) left"), std::string::npos) << "every instance destroyed:\n" << run.output;
}

}  // namespace
