// One block through every instance, as the host's audio thread runs it, and what the host's loop reads
// of it: the blocks run so far and the control outputs of the first instance after the last one. The
// reader never holds up the audio thread: each output is a word of its own, stored after each block.
//
// Threads: process [audio-thread] (one thread at a time: the processing thread, or JACK's process
// thread); blocks and outputs [any-thread].
#pragma once

#include "host/AnalyzerSession.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class BlockRunner {
public:
    // The session's instances exist already; their number and pins stay as they are while blocks run.
    explicit BlockRunner(AnalyzerSession& session);

    // Control entry, then audio entry, of every instance, with frames samples of each input.
    void process(int32_t* const samples[4], int frames);

    long blocks() const { return blocks_.load(std::memory_order_relaxed); }
    std::vector<int32_t> outputs() const;

private:
    AnalyzerSession& session_;
    const size_t outputCount_;
    std::unique_ptr<std::atomic<int32_t>[]> outputs_;
    std::atomic<long> blocks_{0};
};
