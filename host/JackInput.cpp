#include "host/JackInput.h"

#include "common/FullScale.h"

#include <pthread.h>
#include <x86intrin.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <thread>

std::unique_ptr<JackInput> JackInput::open(const std::vector<std::string>& portNames, std::string& error) {
    std::unique_ptr<JackInput> input(new JackInput());
    jack_status_t status;
    input->client_ = jack_client_open("analyzer-host", JackNoStartServer, &status);
    if (input->client_ == nullptr) {
        error = "no JACK server is running (start one, for example: jackd -d dummy -r 48000 -p 256)";
        return nullptr;
    }
    for (int i = 0; i < 4; ++i) {
        input->ports_[i] = jack_port_register(input->client_, portNames[size_t(i)].c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                              JackPortIsInput, 0);
        if (input->ports_[i] == nullptr) {
            error = "JACK: could not register input port '" + portNames[size_t(i)] + "'";
            return nullptr;
        }
    }
    jack_set_thread_init_callback(input->client_, &JackInput::nameProcessThread, nullptr);
    jack_set_process_callback(input->client_, &JackInput::process, input.get());
    jack_set_xrun_callback(input->client_, &JackInput::onXrun, input.get());
    jack_on_info_shutdown(input->client_, &JackInput::onShutdown, input.get());
    if (jack_activate(input->client_) != 0) {
        error = "JACK: could not activate the client";
        return nullptr;
    }
    input->active_ = true;
    return input;
}

JackInput::~JackInput() {
    if (client_) {
        stopFeeding();
        jack_client_close(client_);
    }
}

bool JackInput::connect(const std::vector<std::pair<int, std::string>>& connections, std::string& error) {
    for (const auto& [input, source] : connections) {
        if (jack_port_by_name(client_, source.c_str()) == nullptr) {
            error = "JACK: no port '" + source + "' to connect (jack_lsp lists the ports)";
            return false;
        }
        const int result = jack_connect(client_, source.c_str(), jack_port_name(ports_[input]));
        if (result != 0 && result != EEXIST) {
            error = "JACK: could not connect '" + source + "' to " + jack_port_name(ports_[input]);
            return false;
        }
    }
    return true;
}

void JackInput::feed(BlockRunner& runner) {
    rowFrames_ = period();
    for (int i = 0; i < 4; ++i) {
        blocks_[i].assign(size_t(rowFrames_), 0);
        rows_[i] = blocks_[i].data();
    }
    fedAtTicks_ = __rdtsc();
    fedAt_ = std::chrono::steady_clock::now();
    runner_.store(&runner, std::memory_order_release);
}

void JackInput::stopFeeding() {
    // The callback marks itself busy before it looks for the runner (both sequentially consistent): it
    // either sees no runner, or this sees it busy and waits until it has done.
    runner_.store(nullptr);
    while (inCallback_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (active_ && !serverLost_) jack_deactivate(client_);
    active_ = false;
}

// JACK's process thread gets a name of its own, so that tools that list threads (top -H, perf) tell
// it from the rest of the host's.
void JackInput::nameProcessThread(void*) { pthread_setname_np(pthread_self(), kProcessThreadName); }

int JackInput::onXrun(void* context) {
    static_cast<JackInput*>(context)->xruns_.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void JackInput::onShutdown(jack_status_t, const char*, void* context) {
    static_cast<JackInput*>(context)->serverLost_ = true;
}

int JackInput::process(jack_nframes_t frames, void* context) {
    auto* self = static_cast<JackInput*>(context);
    self->inCallback_.store(true);
    if (BlockRunner* runner = self->runner_.load()) {
        // The processor's time-stamp counter, not the system's clock: two reads of a register a period,
        // converted to time only when the loop reads the figures.
        const uint64_t start = __rdtsc();
        self->runPeriod(frames, *runner);
        self->noteCallbackTicks(uint32_t(std::min<uint64_t>(__rdtsc() - start, UINT32_MAX)));
    }
    self->inCallback_.store(false, std::memory_order_release);
    return 0;
}

void JackInput::runPeriod(jack_nframes_t frames, BlockRunner& runner) {
    const float* inputs[4];
    for (int i = 0; i < 4; ++i) inputs[i] = static_cast<const float*>(jack_port_get_buffer(ports_[i], frames));
    for (int done = 0; done < int(frames);) {
        const int count = std::min(int(frames) - done, rowFrames_);
        for (int i = 0; i < 4; ++i) toFullScaleBlock(inputs[i] + done, rows_[i], count);
        runner.process(rows_, count);
        done += count;
    }
}

// Keeps the longest callback times; this thread is their only writer, the status line's take their
// only other one (hence the exchange loop for the recent one).
void JackInput::noteCallbackTicks(uint32_t ticks) {
    if (ticks > longestTicks_.load(std::memory_order_relaxed)) longestTicks_.store(ticks, std::memory_order_relaxed);
    uint32_t recent = longestRecentTicks_.load(std::memory_order_relaxed);
    while (ticks > recent && !longestRecentTicks_.compare_exchange_weak(recent, ticks, std::memory_order_relaxed)) {}
}

// The counter's rate from the feeding's start to now: the counter runs at a constant rate (the
// kernel's clock is built on it on this kind of machine).
double JackInput::ticksToMicroseconds(uint32_t ticks) const {
    if (ticks == 0) return 0.0;
    const uint64_t elapsedTicks = __rdtsc() - fedAtTicks_;
    const double elapsedUs =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - fedAt_).count();
    if (elapsedTicks == 0 || elapsedUs <= 0.0) return 0.0;
    return double(ticks) * elapsedUs / double(elapsedTicks);
}
