// What every form of the host does once its instances exist: feed them until the run ends, with a
// status line a second and the control outputs when asked; then stop the feed, write the screenshot,
// destroy the instances and print the summary. The platform and the feed are the only differences
// between the Linux and the Windows host, and come in as the two interfaces below.
//
// Threads: [main-thread] (the thread that created the instances and runs their windows' loop).
#pragma once

#include <memory>
#include <string>

class AnalyzerSession;
class AudioSource;
class BlockRunner;
class ProcessingThread;
struct HostOptions;

// What the runner needs of the platform it runs on.
class HostPlatform {
public:
    virtual ~HostPlatform() = default;
    // Runs the windows' messages for up to this long; may return earlier when a stop arrives.
    virtual void runMessagesFor(int milliseconds) = 0;
    // A stop was asked for (a signal, a console control event).
    virtual bool stopRequested() const = 0;
    virtual double processCpuSeconds() const = 0;
    // Traces drawn into windows so far, or -1 where the platform does not count them.
    virtual long drawingCount() const { return -1; }
    // Writes the analyzer window's content to a PNG file; false when there is none or it failed.
    virtual bool writeScreenshot(const std::string& path) = 0;
    virtual int threadCount() const = 0;
};

// Where the blocks come from, as the runner sees it.
class RunFeed {
public:
    virtual ~RunFeed() = default;
    virtual std::string describe() const = 0;
    virtual int sampleRate() const = 0;
    virtual int blockSize() const = 0;
    // The source has no more audio (a file played once).
    virtual bool ended() const { return false; }
    // The source went away (a JACK server that stopped).
    virtual bool lost() const { return false; }
    // A feed driven by a server's periods (JACK) reports them: the server's xruns so far, and the
    // longest period callback in microseconds, over the whole run and since the last take (the
    // status line's). The others report nothing.
    virtual bool reportsPeriods() const { return false; }
    virtual long xruns() const { return 0; }
    virtual double longestCallbackMicroseconds() const { return 0.0; }
    virtual double takeLongestRecentMicroseconds() { return 0.0; }
    // Stops feeding: no block runs once this returns.
    virtual void stop() = 0;
    // Lets go of the source, after the instances are gone; nothing else is asked of the feed after it.
    virtual void close() {}
};

// A feed of the host's own processing thread, reading a generator or a sound file.
class ThreadFeed : public RunFeed {
public:
    ThreadFeed(BlockRunner& runner, std::unique_ptr<AudioSource> source, int blockSize, bool paced);
    ~ThreadFeed() override;
    std::string describe() const override;
    int sampleRate() const override;
    int blockSize() const override { return blockSize_; }
    bool ended() const override;
    void stop() override;
    void close() override;

private:
    std::unique_ptr<AudioSource> source_;
    std::unique_ptr<ProcessingThread> thread_;
    int blockSize_;
};

// Runs the session to its end and returns the host's exit code.
int runSession(const HostOptions& options, AnalyzerSession& session, BlockRunner& runner, RunFeed& feed,
               HostPlatform& platform);
