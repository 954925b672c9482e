// The host's processing thread: block after block, it reads the four inputs from the source and calls
// every instance's control and audio entries. In real time for the generator and files (paced by the
// clock), as fast as possible with --fast, and as the data arrives for live input.
//
// Threads: start and stop [main-thread]; the loop itself [audio-thread]; the counters [any-thread].
#pragma once

#include "host/AnalyzerSession.h"
#include "host/AudioSources.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class ProcessingThread {
public:
    ProcessingThread(AnalyzerSession& session, AudioSource& source, int blockSize, bool paced);
    ~ProcessingThread();

    // Sets a control input pin of every instance between two blocks.
    void setPin(int pin, int32_t value);
    // The control outputs of the first instance after the last block.
    std::vector<int32_t> outputs();

    long blocks() const { return blocks_.load(); }
    bool ended() const { return ended_.load(); }   // the source has no more samples

    void stop();

private:
    void run();

    AnalyzerSession& session_;
    AudioSource& source_;
    const int blockSize_;
    const bool paced_;
    std::mutex pinsMutex_;   // the pins are the host's: set here between blocks
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<long> blocks_{0};
    std::thread thread_;
};
