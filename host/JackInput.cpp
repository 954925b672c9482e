#include "host/JackInput.h"

#include "host/AudioSources.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {
constexpr size_t kRingSeconds = 2;
}  // namespace

std::unique_ptr<JackInput> JackInput::open(const std::vector<std::string>& portNames, std::string& error) {
    std::unique_ptr<JackInput> input(new JackInput());
    jack_status_t status;
    input->client_ = jack_client_open("analyzer-host", JackNoStartServer, &status);
    if (input->client_ == nullptr) {
        error = "no JACK server is running (start one, for example: jackd -d dummy -r 48000 -p 256)";
        return nullptr;
    }
    const size_t ringBytes = size_t(jack_get_sample_rate(input->client_)) * kRingSeconds * sizeof(float);
    for (int i = 0; i < 4; ++i) {
        input->ports_[i] = jack_port_register(input->client_, portNames[size_t(i)].c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                              JackPortIsInput, 0);
        input->rings_[i] = jack_ringbuffer_create(ringBytes);
        if (input->ports_[i] == nullptr || input->rings_[i] == nullptr) {
            error = "JACK: could not register input port '" + portNames[size_t(i)] + "'";
            return nullptr;
        }
    }
    jack_set_process_callback(input->client_, &JackInput::process, input.get());
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
    for (jack_ringbuffer_t* ring : rings_)
        if (ring) jack_ringbuffer_free(ring);
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

void JackInput::feed(BlockRunner& runner, int blockSize) {
    blockSize_ = blockSize;
    for (int i = 0; i < 4; ++i) {
        blocks_[i].assign(size_t(blockSize), 0);
        rows_[i] = blocks_[i].data();
    }
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

void JackInput::onShutdown(jack_status_t, const char*, void* context) {
    static_cast<JackInput*>(context)->serverLost_ = true;
}

int JackInput::process(jack_nframes_t frames, void* context) {
    auto* self = static_cast<JackInput*>(context);
    self->inCallback_.store(true);
    if (BlockRunner* runner = self->runner_.load()) self->take(frames, *runner);
    self->inCallback_.store(false, std::memory_order_release);
    return 0;
}

void JackInput::take(jack_nframes_t frames, BlockRunner& runner) {
    const size_t bytes = size_t(frames) * sizeof(float);
    bool room = true;
    for (jack_ringbuffer_t* ring : rings_) room = room && jack_ringbuffer_write_space(ring) >= bytes;
    if (room) {
        for (int i = 0; i < 4; ++i)
            jack_ringbuffer_write(rings_[i], static_cast<const char*>(jack_port_get_buffer(ports_[i], frames)), bytes);
    } else {
        dropped_.fetch_add(1, std::memory_order_relaxed);
    }
    runWholeBlocks(runner);
}

void JackInput::runWholeBlocks(BlockRunner& runner) {
    const size_t bytes = size_t(blockSize_) * sizeof(float);
    while (jack_ringbuffer_read_space(rings_[3]) >= bytes) {
        for (int i = 0; i < 4; ++i) {
            // The block lies in at most two pieces of the ring, each whole floats (the ring's size is a
            // power of two, every write whole floats).
            jack_ringbuffer_data_t pieces[2];
            jack_ringbuffer_get_read_vector(rings_[i], pieces);
            const int first = int(std::min(pieces[0].len, bytes) / sizeof(float));
            toFullScaleBlock(reinterpret_cast<const float*>(pieces[0].buf), rows_[i], first);
            toFullScaleBlock(reinterpret_cast<const float*>(pieces[1].buf), rows_[i] + first, blockSize_ - first);
            jack_ringbuffer_read_advance(rings_[i], bytes);
        }
        runner.process(rows_, blockSize_);
    }
}
