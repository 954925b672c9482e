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
#include "host/OutputLog.h"
#include "host/BlockRunner.h"
#include "host/ProcessingThread.h"
#include "host/win32/HostLoop.h"
#include "platform/windows/WindowCapture.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

std::atomic<bool> stopRequested{false};

BOOL WINAPI onConsoleControl(DWORD) {
    stopRequested = true;
    return TRUE;
}

double processCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    const auto seconds = [](const FILETIME& t) {
        return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "analyzer-host: %s\n", message.c_str());
    return code;
}

int run(const HostOptions& options) {
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
    ProcessingThread processing(runner, *source, options.blockSize, !options.fast);
    OutputLog outputLog(runner.outputs());

    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    const auto start = Clock::now();
    const double cpuAtStart = processCpuSeconds();
    auto lastStatus = start;
    long lastBlocks = 0;
    double lastCpu = cpuAtStart;
    while (!stopRequested && !processing.ended()) {
        runMessagesFor(50);
        const auto now = Clock::now();
        if (options.duration > 0 && seconds(now - start) >= options.duration) break;
        if (options.printOutputs) outputLog.printChanges(runner.outputs(), session.description());
        if (!options.quiet && seconds(now - lastStatus) >= 1.0) {
            const double wall = seconds(now - lastStatus), cpu = processCpuSeconds();
            const long blocks = runner.blocks();
            std::fprintf(stderr, "analyzer-host: %s, %d Hz, blocks of %d: %.0f blocks/s, CPU %.1f %%\n",
                         source->describe().c_str(), source->sampleRate(), options.blockSize,
                         double(blocks - lastBlocks) / wall, 100.0 * (cpu - lastCpu) / wall);
            lastStatus = now;
            lastBlocks = blocks;
            lastCpu = cpu;
        }
    }

    processing.stop();
    if (!options.screenshot.empty()) {
        runMessagesFor(50);  // the last repaints
        const HWND window = FindWindowA(nullptr, "Analyzer");
        if (window == nullptr || !platform_win32::writeClientPng(window, options.screenshot.c_str()))
            std::fprintf(stderr, "analyzer-host: could not write the screenshot %s\n", options.screenshot.c_str());
        else if (!options.quiet)
            std::fprintf(stderr, "analyzer-host: screenshot written to %s\n", options.screenshot.c_str());
    }
    session.destroyAll();
    runMessagesFor(20);
    if (!options.quiet)
        std::fprintf(stderr,
                     "analyzer-host: %s after %.1f s: %ld blocks (%.1f s of audio), CPU %.2f s, %d thread(s) left\n",
                     stopRequested ? "stopped" : "done", seconds(Clock::now() - start), runner.blocks(),
                     double(runner.blocks()) * options.blockSize / source->sampleRate(),
                     processCpuSeconds() - cpuAtStart, processThreadCount());
    return kExitOk;
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
