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
#include "host/SessionRunner.h"
#include "host/ThreadCount.h"
#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "analyzer-host: %s\n", message.c_str());
    return code;
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

// The Linux platform: the shared platform loop, the library's drawing count and screenshots.
class LinuxPlatform : public HostPlatform {
public:
    void runMessagesFor(int milliseconds) override { PlatformLoop_runFor(PlatformLoop_shared(), milliseconds); }
    bool stopRequested() const override { return signals_.received; }
    double processCpuSeconds() const override {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    }
    long drawingCount() const override { return long(PlatformWindow_drawingCount()); }
    bool writeScreenshot(const std::string& path) override {
        const HWND window = FindWindowA(nullptr, "Analyzer");
        return window != 0 && PlatformWindow_writePng(window, path.c_str());
    }
    int threadCount() const override { return ::threadCount(); }

private:
    StopSignals signals_;
};

// Live JACK input: JACK's own thread runs the blocks.
class JackFeed : public RunFeed {
public:
    JackFeed(std::unique_ptr<JackInput> jack, BlockRunner& runner) : jack_(std::move(jack)) { jack_->feed(runner); }
    std::string describe() const override { return jack_->describe(); }
    int sampleRate() const override { return jack_->sampleRate(); }
    int blockSize() const override { return jack_->period(); }
    bool lost() const override { return jack_->serverLost(); }
    bool reportsPeriods() const override { return true; }
    long xruns() const override { return jack_->xruns(); }
    double longestCallbackMicroseconds() const override { return jack_->longestCallbackMicroseconds(); }
    double takeLongestRecentMicroseconds() override { return jack_->takeLongestRecentMicroseconds(); }
    void stop() override { jack_->stopFeeding(); }
    void close() override { jack_.reset(); }  // the JACK client closes here

private:
    std::unique_ptr<JackInput> jack_;
};

int run(const HostOptions& options) {
    LinuxPlatform platform;
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
        break;
    }
    }
    const int sampleRate = jack ? jack->sampleRate() : source->sampleRate();

    // Every setting names its pin; resolve them all before anything runs.
    std::vector<std::pair<int, int32_t>> pinValues;
    if (const int pinCode = session.resolvePinSettings(options, pinValues, error); pinCode != kExitOk)
        return fail(pinCode, error);

    if (!session.createInstances(options.instances, sampleRate, error)) return fail(kExitInstance, error);
    for (const auto& [pin, value] : pinValues) session.setPin(pin, value);

    BlockRunner runner(session);
    std::unique_ptr<RunFeed> feed;
    if (jack)
        feed = std::make_unique<JackFeed>(std::move(jack), runner);
    else
        feed = std::make_unique<ThreadFeed>(runner, std::move(source), options.blockSize, !options.fast);
    return runSession(options, session, runner, *feed, platform);
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
