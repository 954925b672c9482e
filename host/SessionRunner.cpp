#include "host/SessionRunner.h"

#include "host/AnalyzerSession.h"
#include "host/AudioSources.h"
#include "host/BlockRunner.h"
#include "host/HostOptions.h"
#include "host/OutputLog.h"
#include "host/ProcessingThread.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

ThreadFeed::ThreadFeed(BlockRunner& runner, std::unique_ptr<AudioSource> source, int blockSize, bool paced)
    : source_(std::move(source)), thread_(std::make_unique<ProcessingThread>(runner, *source_, blockSize, paced)),
      blockSize_(blockSize) {}

ThreadFeed::~ThreadFeed() = default;

std::string ThreadFeed::describe() const { return source_ ? source_->describe() : std::string(); }
int ThreadFeed::sampleRate() const { return source_ ? source_->sampleRate() : 0; }
bool ThreadFeed::ended() const { return thread_ && thread_->ended(); }
void ThreadFeed::stop() {
    if (thread_) thread_->stop();
}
void ThreadFeed::close() {
    thread_.reset();
    source_.reset();
}

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

enum class RunEnd { done, stopped, sourceEnded, sourceLost };

// One line a second: blocks, traces drawn (where counted), the server's xruns and the longest period
// callback (where the feed reports them) and CPU since the last line.
class StatusLine {
public:
    StatusLine(RunFeed& feed, const BlockRunner& runner, const HostPlatform& platform)
        : feed_(feed), runner_(runner), platform_(platform), last_(Clock::now()),
          lastCpu_(platform.processCpuSeconds()), lastDrawings_(platform.drawingCount()) {}

    double secondsToNext(Clock::time_point now) const { return 1.0 - seconds(now - last_); }

    void printIfDue(Clock::time_point now) {
        const double wall = seconds(now - last_);
        if (wall < 1.0) return;
        const double cpu = platform_.processCpuSeconds();
        const long blocks = runner_.blocks();
        const long drawings = platform_.drawingCount();
        std::fprintf(stderr, "analyzer-host: %s, %d Hz, blocks of %d: %.0f blocks/s", feed_.describe().c_str(),
                     feed_.sampleRate(), feed_.blockSize(), double(blocks - lastBlocks_) / wall);
        if (drawings >= 0) std::fprintf(stderr, ", %.1f traces drawn/s", double(drawings - lastDrawings_) / wall);
        if (feed_.reportsPeriods())
            std::fprintf(stderr, ", %ld xruns, longest callback %.0f µs", feed_.xruns(),
                         feed_.takeLongestRecentMicroseconds());
        std::fprintf(stderr, ", CPU %.1f %%\n", 100.0 * (cpu - lastCpu_) / wall);
        last_ = now;
        lastBlocks_ = blocks;
        lastDrawings_ = drawings;
        lastCpu_ = cpu;
    }

private:
    RunFeed& feed_;
    const BlockRunner& runner_;
    const HostPlatform& platform_;
    Clock::time_point last_;
    long lastBlocks_ = 0;
    double lastCpu_;
    long lastDrawings_;
};

RunEnd feedUntilTheEnd(const HostOptions& options, AnalyzerSession& session, BlockRunner& runner, RunFeed& feed,
                       HostPlatform& platform) {
    const auto start = Clock::now();
    OutputLog outputLog(runner.outputs());
    StatusLine status(feed, runner, platform);
    for (;;) {
        if (platform.stopRequested()) return RunEnd::stopped;
        if (feed.ended()) return RunEnd::sourceEnded;
        if (feed.lost()) return RunEnd::sourceLost;
        // The loop wakes for its windows by itself; the rest is looked at every 200 ms (a stop, a lost
        // source, an ended file), at the next status line and at the end of --duration, and every
        // 50 ms while outputs are printed.
        const auto before = Clock::now();
        double untilNext = options.printOutputs ? 0.05 : 0.2;
        if (!options.quiet) untilNext = std::min(untilNext, status.secondsToNext(before));
        if (options.duration > 0) untilNext = std::min(untilNext, options.duration - seconds(before - start));
        platform.runMessagesFor(std::max(1, int(std::ceil(1000.0 * untilNext))));

        const auto now = Clock::now();
        if (options.duration > 0 && seconds(now - start) >= options.duration) return RunEnd::done;
        if (options.printOutputs) outputLog.printChanges(runner.outputs(), session.description());
        if (!options.quiet) status.printIfDue(now);
    }
}

const char* describeEnd(RunEnd end) {
    switch (end) {
    case RunEnd::stopped: return "stopped by signal";
    case RunEnd::sourceEnded: return "source ended";
    case RunEnd::sourceLost: return "JACK server lost";
    case RunEnd::done: break;
    }
    return "done";
}

}  // namespace

int runSession(const HostOptions& options, AnalyzerSession& session, BlockRunner& runner, RunFeed& feed,
               HostPlatform& platform) {
    const auto start = Clock::now();
    // Read now: the feed lets go of its source before the summary.
    const int sampleRate = feed.sampleRate(), blockSize = feed.blockSize();
    const long drawingsAtStart = platform.drawingCount();
    const double cpuAtStart = platform.processCpuSeconds();

    const RunEnd end = feedUntilTheEnd(options, session, runner, feed, platform);

    feed.stop();
    // Read now: the feed lets go of its source (and a JACK client its figures) before the summary.
    const long xruns = feed.xruns();
    const double longestCallback = feed.longestCallbackMicroseconds();
    if (!options.screenshot.empty()) {
        platform.runMessagesFor(50);  // the last repaints
        if (!platform.writeScreenshot(options.screenshot))
            std::fprintf(stderr, "analyzer-host: could not write the screenshot %s\n", options.screenshot.c_str());
        else if (!options.quiet)
            std::fprintf(stderr, "analyzer-host: screenshot written to %s\n", options.screenshot.c_str());
    }
    session.destroyAll();
    feed.close();
    platform.runMessagesFor(20);

    if (!options.quiet) {
        std::fprintf(stderr, "analyzer-host: %s after %.1f s: %ld blocks (%.1f s of audio)", describeEnd(end),
                     seconds(Clock::now() - start), runner.blocks(), double(runner.blocks()) * blockSize / sampleRate);
        if (drawingsAtStart >= 0) std::fprintf(stderr, ", %ld traces drawn", platform.drawingCount() - drawingsAtStart);
        if (feed.reportsPeriods())
            std::fprintf(stderr, ", %ld xruns, longest callback %.0f µs", xruns, longestCallback);
        std::fprintf(stderr, ", CPU %.2f s, %d thread(s) left\n", platform.processCpuSeconds() - cpuAtStart,
                     platform.threadCount());
    }
    if (end == RunEnd::sourceLost) {
        std::fprintf(stderr, "analyzer-host: the JACK server went away (it stopped, or it dropped this client)\n");
        return kExitJack;
    }
    return kExitOk;
}
