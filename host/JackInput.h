// Live input from a JACK server: four input ports named after the module's audio inputs. Once fed to a
// runner, JACK's process thread itself runs the blocks: each period is converted straight from the
// ports' buffers and run through the instances there and then, as a JACK client does its work in its
// process callback. No other thread wakes per period, and no period waits in a ring: the block is the
// period. Until it is fed, the callback leaves the periods alone.
//
// What the host reports of the periods: the server's xruns (any client of its graph, this one
// included, that did not finish a cycle in time) and how long the process callback took at most.
//
// Threads: open, feed, stopFeeding and destruction [main-thread]; the process callback and the
// thread's naming [audio-thread] (JACK's process thread); the shutdown and xrun callbacks [JACK's own thread];
// xruns, the longest callbacks and serverLost [any-thread].
#pragma once

#include "host/BlockRunner.h"

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class JackInput {
public:
    // The name of JACK's process thread in the host ([JACK's own thread] names it before its first
    // period).
    static constexpr const char* kProcessThreadName = "analyzer-jack";

    ~JackInput();

    // Connects to a running server (never starts one), registers the ports and activates the client.
    // Returns null with error set when there is no server or the ports cannot be made.
    static std::unique_ptr<JackInput> open(const std::vector<std::string>& portNames, std::string& error);

    int sampleRate() const { return int(jack_get_sample_rate(client_)); }
    std::string describe() const { return "JACK client " + std::string(jack_get_client_name(client_)); }
    int period() const { return int(jack_get_buffer_size(client_)); }

    // Connects each (input 0-3, port) pair: the port's output goes to that input. False with error set
    // when a port does not exist or cannot be connected.
    bool connect(const std::vector<std::pair<int, std::string>>& connections, std::string& error);

    // From the next period on, every period goes through runner on JACK's process thread as one block
    // (a period longer than the one in force now, after the server changed its size, as several).
    // Once only.
    void feed(BlockRunner& runner);
    // Ends the feeding: when it returns, the process callback runs no more.
    void stopFeeding();

    // The xruns the server reported since the client was opened.
    long xruns() const { return xruns_.load(std::memory_order_relaxed); }
    // The longest process callback that ran blocks, in microseconds: over the whole run, and since the
    // last call of takeLongestRecentMicroseconds (one reader only).
    double longestCallbackMicroseconds() const {
        return ticksToMicroseconds(longestTicks_.load(std::memory_order_relaxed));
    }
    double takeLongestRecentMicroseconds() { return ticksToMicroseconds(longestRecentTicks_.exchange(0)); }
    // The server has shut down or dropped this client: no period will come any more.
    bool serverLost() const { return serverLost_.load(); }

private:
    JackInput() = default;
    static int process(jack_nframes_t frames, void* self);
    static void nameProcessThread(void*);
    static int onXrun(void* self);
    static void onShutdown(jack_status_t code, const char* reason, void* self);
    // The period's frames, converted to full scale, through runner in blocks of at most rowFrames_.
    void runPeriod(jack_nframes_t frames, BlockRunner& runner);
    // Callback times are kept in ticks of the processor's time-stamp counter.
    void noteCallbackTicks(uint32_t ticks);
    double ticksToMicroseconds(uint32_t ticks) const;

    jack_client_t* client_ = nullptr;
    jack_port_t* ports_[4] = {};
    bool active_ = false;
    int rowFrames_ = 0;
    std::vector<int32_t> blocks_[4];
    int32_t* rows_[4] = {};
    std::atomic<BlockRunner*> runner_{nullptr};
    std::atomic<bool> inCallback_{false};
    std::atomic<long> xruns_{0};
    std::atomic<uint32_t> longestTicks_{0};
    std::atomic<uint32_t> longestRecentTicks_{0};
    uint64_t fedAtTicks_ = 0;  // the counter and the clock when the feeding began [main-thread]
    std::chrono::steady_clock::time_point fedAt_;
    std::atomic<bool> serverLost_{false};
};
