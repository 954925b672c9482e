// analyzer-host.exe: the Windows form of analyzer-host. It loads qanagui.dll with LoadLibraryA and
// drives it as a Windows host does: its main thread creates the instances and runs the ordinary
// Win32 message loop (the analyzer windows live on it), a processing thread feeds every instance
// block after block from the built-in generator. Options, session, generator and processing thread
// are the Linux host's; sound files and JACK input are Linux-only.
#include "host/AnalyzerSession.h"
#include "host/AudioSources.h"
#include "host/DescribeModule.h"
#include "host/HostOptions.h"
#include "host/ModuleLoader.h"
#include "host/BlockRunner.h"
#include "host/SessionRunner.h"
#include "host/win32/HostLoop.h"
#include "platform/windows/WindowCapture.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

namespace {

std::atomic<bool> consoleStopRequested{false};

BOOL WINAPI onConsoleControl(DWORD) {
    consoleStopRequested = true;
    return TRUE;
}

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "analyzer-host: %s\n", message.c_str());
    return code;
}

// The Windows platform: the thread's message loop, console control events, GDI screenshots.
class WindowsPlatform : public HostPlatform {
public:
    void runMessagesFor(int milliseconds) override { ::runMessagesFor(DWORD(milliseconds)); }
    bool stopRequested() const override { return consoleStopRequested.load(); }
    double processCpuSeconds() const override {
        FILETIME created, exited, kernel, user;
        if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
        const auto seconds = [](const FILETIME& t) {
            return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
        };
        return seconds(kernel) + seconds(user);
    }
    bool writeScreenshot(const std::string& path) override {
        const HWND window = FindWindowA(nullptr, "Analyzer");
        return window != nullptr && platform_win32::writeClientPng(window, path.c_str());
    }
    int threadCount() const override { return processThreadCount(); }
};

int run(const HostOptions& options) {
    WindowsPlatform platform;
    AnalyzerSession session;
    std::string error;
    const int code = session.open(options.modulePath, error);
    if (code != kExitOk) return fail(code, error);

    std::unique_ptr<AudioSource> source = makeGenerator(options.sampleRate);

    std::vector<std::pair<int, int32_t>> pinValues;
    if (const int pinCode = session.resolvePinSettings(options, pinValues, error); pinCode != kExitOk)
        return fail(pinCode, error);

    if (!session.createInstances(options.instances, source->sampleRate(), error)) return fail(kExitInstance, error);
    for (const auto& [pin, value] : pinValues) session.setPin(pin, value);

    BlockRunner runner(session);
    ThreadFeed feed(runner, std::move(source), options.blockSize, !options.fast);
    return runSession(options, session, runner, feed, platform);
}

}  // namespace

int main(int argc, char** argv) {
    HostOptions options;
    std::string error;
    if (!parseHostOptions(argc, argv, options, error)) return fail(kExitUsage, error);
    if (options.help) {
        printHostUsage(stdout);
        std::printf("\nThis Windows build runs the built-in generator only: --file and --jack are Linux-only\n"
                    "(libsndfile and JACK are not part of the Windows build).\n");
        return kExitOk;
    }
    if (options.source != SourceKind::generator)
        return fail(kExitUsage, std::string(options.source == SourceKind::file ? "--file" : "--jack") +
                                    " is not available in the Windows build (Linux only); the built-in "
                                    "generator is the source here");
    if (options.modulePath.empty()) options.modulePath = ModuleLoader::defaultModulePath();
    if (options.describe) return describeModule(options.modulePath);
    SetConsoleCtrlHandler(&onConsoleControl, TRUE);
    return run(options);
}
