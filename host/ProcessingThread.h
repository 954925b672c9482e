// The host's processing thread for the generator and sound files: block after block, it reads the four
// inputs from the source and runs them through the instances. In real time (paced by the clock), or
// as fast as possible with --fast. Live JACK input needs no thread of its own: JACK's process thread
// runs the blocks (host/JackInput.h).
//
// Threads: start and stop [main-thread]; the loop itself [audio-thread]; ended [any-thread].
#pragma once

#include "host/AudioSources.h"
#include "host/BlockRunner.h"

#include <atomic>
#include <thread>

class ProcessingThread {
public:
    ProcessingThread(BlockRunner& runner, AudioSource& source, int blockSize, bool paced);
    ~ProcessingThread();

    bool ended() const { return ended_.load(); }  // the source has no more samples

    void stop();

private:
    void run();

    BlockRunner& runner_;
    AudioSource& source_;
    const int blockSize_;
    const bool paced_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};
