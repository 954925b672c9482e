// Live input from a JACK server: four input ports named after the module's audio inputs. Once fed to a
// runner, JACK's process thread itself runs the blocks: each period goes into lock-free rings, and
// every whole block in them is converted and run through the instances there and then, as a JACK
// client does its work in its process callback. No other thread wakes per period. Until it is fed,
// the callback leaves the periods alone.
//
// Threads: open, feed, stopFeeding and destruction [main-thread]; the process callback
// [audio-thread] (JACK's process thread); the shutdown callback [JACK's own thread]; dropped and
// serverLost [any-thread].
#pragma once

#include "host/BlockRunner.h"

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class JackInput {
public:
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

    // From the next period on, every block of blockSize frames goes through runner on JACK's process
    // thread. Once only.
    void feed(BlockRunner& runner, int blockSize);
    // Ends the feeding: when it returns, the process callback runs no more.
    void stopFeeding();

    // Periods the rings had no room for (the blocks ran slower than the server's clock).
    long dropped() const { return dropped_.load(); }
    // The server has shut down or dropped this client: no period will come any more.
    bool serverLost() const { return serverLost_.load(); }

private:
    JackInput() = default;
    static int process(jack_nframes_t frames, void* self);
    static void onShutdown(jack_status_t code, const char* reason, void* self);
    // The period of frames into the rings, then every whole block out of them through runner.
    void take(jack_nframes_t frames, BlockRunner& runner);
    void runWholeBlocks(BlockRunner& runner);

    jack_client_t* client_ = nullptr;
    jack_port_t* ports_[4] = {};
    jack_ringbuffer_t* rings_[4] = {};
    bool active_ = false;
    int blockSize_ = 0;
    std::vector<int32_t> blocks_[4];
    int32_t* rows_[4] = {};
    std::atomic<BlockRunner*> runner_{nullptr};
    std::atomic<bool> inCallback_{false};
    std::atomic<long> dropped_{0};
    std::atomic<bool> serverLost_{false};
};
