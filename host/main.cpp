// analyzer-host: loads the analyzer module and drives it as a modular audio host would: its main
// thread runs the platform loop (the analyzer windows live on it); every instance gets block after block
// from the built-in generator or a sound file on a processing thread, or from live JACK input on JACK's
// process thread.
//
//   analyzer-host [options]                     run the analyzer (see --help)
//   analyzer-host --describe [--module PATH]    print the module's names and pin table
#include "host/AnalyzerSession.h"
#include "host/AudioSources.h"
#include "host/BlockRunner.h"
#include "host/DescribeModule.h"
#include "host/DescriptorImage.h"
#include "host/HostOptions.h"
#include "host/JackInput.h"
#include "host/ModuleLoader.h"
#include "host/OutputLog.h"
#include "host/ProcessingThread.h"
#include "host/ThreadCount.h"
#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "analyzer-host: %s\n", message.c_str());
    return code;
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// SIGINT and SIGTERM arrive as a readable descriptor on the loop: the run ends at the next round.
struct StopSignals {
    int fd = -1;
    bool received = false;
    StopSignals() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);  // before any thread starts: all inherit it
        fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
        PlatformLoop_addFd(PlatformLoop_shared(), fd, POLLIN, &StopSignals::onSignal, this);
    }
    ~StopSignals() {
        PlatformLoop_removeFd(PlatformLoop_shared(), fd);
        close(fd);
    }
    static void onSignal(int fd, short, void* context) {
        signalfd_siginfo info;
        while (::read(fd, &info, sizeof info) == ssize_t(sizeof info))
            static_cast<StopSignals*>(context)->received = true;
        PlatformLoop_quit(PlatformLoop_shared());
    }
};

int run(const HostOptions& options) {
    StopSignals signals;
    if (!PlatformWindow_x11Available())
        return fail(kExitDisplay, "no display to open the analyzer window on (DISPLAY is not set or its X server "
                                  "cannot be reached); scripts/run starts a private one when there is none");

    AnalyzerSession session;
    std::string error;
    int code = session.open(options.modulePath, error);
    if (code != kExitOk) return fail(code, error);

    // The source, and with it the sample rate and block size: a generator or a file read by the
    // processing thread, or live JACK input that JACK's own thread runs.
    std::unique_ptr<AudioSource> source;
    std::unique_ptr<JackInput> jack;
    int blockSize = options.blockSize;
    switch (options.source) {
    case SourceKind::generator: source = makeGenerator(options.sampleRate); break;
    case SourceKind::file:
        source = openSoundFile(options.file, options.loop, error);
        if (!source) return fail(kExitFile, error);
        break;
    case SourceKind::jack: {
        std::vector<std::string> names;
        for (int i = 0; i < 4; ++i)
            names.push_back(session.description().inputs[size_t(session.description().controlInputCount + i)].name);
        jack = JackInput::open(names, error);
        if (!jack || !jack->connect(options.connections, error)) return fail(kExitJack, error);
        blockSize = jack->period();
        break;
    }
    }
    const int sampleRate = jack ? jack->sampleRate() : source->sampleRate();
    const std::string sourceName = jack ? jack->describe() : source->describe();

    // Every setting names its pin; resolve them all before anything runs.
    std::vector<std::pair<int, int32_t>> pinValues;
    if (const int pinCode = session.resolvePinSettings(options, pinValues, error); pinCode != kExitOk)
        return fail(pinCode, error);

    if (!session.createInstances(options.instances, sampleRate, error)) return fail(kExitInstance, error);
    for (const auto& [pin, value] : pinValues) session.setPin(pin, value);

    PlatformLoop* loop = PlatformLoop_shared();
    BlockRunner runner(session);
    std::unique_ptr<ProcessingThread> processing;
    if (jack)
        jack->feed(runner, blockSize);
    else
        processing = std::make_unique<ProcessingThread>(runner, *source, blockSize, !options.fast);
    const auto sourceEnded = [&] { return processing && processing->ended(); };
    OutputLog outputLog(runner.outputs());

    const auto start = std::chrono::steady_clock::now();
    const unsigned long drawingsAtStart = PlatformWindow_drawingCount();
    const double cpuAtStart = processCpuSeconds();
    auto lastStatus = start;
    long lastBlocks = 0;
    unsigned long lastDrawings = PlatformWindow_drawingCount();
    double lastCpu = processCpuSeconds();
    const auto seconds = [](std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); };
    bool serverLost = false;
    while (!signals.received && !sourceEnded()) {
        if (jack && jack->serverLost()) {
            serverLost = true;
            break;
        }
        // The loop wakes for its windows and signals by itself; the rest is looked at every 200 ms (a
        // lost server, an ended file), at the next status line and at the end of --duration, and every
        // 50 ms while outputs are printed.
        {
            const auto now = std::chrono::steady_clock::now();
            double untilNext = options.printOutputs ? 0.05 : 0.2;
            if (!options.quiet) untilNext = std::min(untilNext, 1.0 - seconds(now - lastStatus));
            if (options.duration > 0) untilNext = std::min(untilNext, options.duration - seconds(now - start));
            PlatformLoop_runFor(loop, std::max(1, int(std::ceil(1000.0 * untilNext))));
        }
        const auto now = std::chrono::steady_clock::now();
        if (options.duration > 0 && seconds(now - start) >= options.duration) break;
        if (options.printOutputs) outputLog.printChanges(runner.outputs(), session.description());
        if (!options.quiet && seconds(now - lastStatus) >= 1.0) {
            const double wall = seconds(now - lastStatus), cpu = processCpuSeconds();
            const long blocks = runner.blocks();
            const unsigned long drawings = PlatformWindow_drawingCount();
            std::fprintf(stderr,
                         "analyzer-host: %s, %d Hz, blocks of %d: %.0f blocks/s, %.1f traces drawn/s, "
                         "%ld dropped, CPU %.1f %%\n",
                         sourceName.c_str(), sampleRate, blockSize, double(blocks - lastBlocks) / wall,
                         double(drawings - lastDrawings) / wall, jack ? jack->dropped() : 0L,
                         100.0 * (cpu - lastCpu) / wall);
            lastStatus = now;
            lastBlocks = blocks;
            lastDrawings = drawings;
            lastCpu = cpu;
        }
    }

    if (jack) jack->stopFeeding();
    if (processing) processing->stop();
    const bool ended = sourceEnded();
    if (!options.screenshot.empty()) {
        const HWND window = FindWindowA(nullptr, "Analyzer");
        if (window == 0 || !PlatformWindow_writePng(window, options.screenshot.c_str()))
            std::fprintf(stderr, "analyzer-host: could not write the screenshot %s\n", options.screenshot.c_str());
        else if (!options.quiet)
            std::fprintf(stderr, "analyzer-host: screenshot written to %s\n", options.screenshot.c_str());
    }
    session.destroyAll();
    jack.reset();  // the JACK client closes here
    source.reset();
    PlatformLoop_runFor(loop, 20);
    if (!options.quiet)
        std::fprintf(stderr,
                     "analyzer-host: %s after %.1f s: %ld blocks (%.1f s of audio), %lu traces drawn, CPU %.2f s, "
                     "%d thread(s) left\n",
                     serverLost         ? "JACK server lost"
                     : signals.received ? "stopped by signal"
                     : ended            ? "source ended"
                                        : "done",
                     seconds(std::chrono::steady_clock::now() - start), runner.blocks(),
                     double(runner.blocks()) * blockSize / sampleRate, PlatformWindow_drawingCount() - drawingsAtStart,
                     processCpuSeconds() - cpuAtStart, threadCount());
    if (serverLost) return fail(kExitJack, "the JACK server went away (it stopped, or it dropped this client)");
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    HostOptions options;
    std::string error;
    if (!parseHostOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "analyzer-host: %s\n", error.c_str());
        return kExitUsage;
    }
    if (options.help) {
        printHostUsage(stdout);
        return kExitOk;
    }
    if (options.modulePath.empty()) options.modulePath = ModuleLoader::defaultModulePath();
    if (options.describe) return describeModule(options.modulePath);
    return run(options);
}
