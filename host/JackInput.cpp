#include "host/JackInput.h"

#include <algorithm>

namespace {
constexpr size_t kRingSeconds = 2;
}  // namespace

JackInput::JackInput() { sem_init(&periods_, 0, 0); }

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
    if (jack_activate(input->client_) != 0) {
        error = "JACK: could not activate the client";
        return nullptr;
    }
    return input;
}

JackInput::~JackInput() {
    if (client_) {
        jack_deactivate(client_);
        jack_client_close(client_);
    }
    for (jack_ringbuffer_t* ring : rings_)
        if (ring) jack_ringbuffer_free(ring);
    sem_destroy(&periods_);
}

void JackInput::cancel() {
    cancelled_ = true;
    sem_post(&periods_);
}

int JackInput::process(jack_nframes_t frames, void* context) {
    auto* self = static_cast<JackInput*>(context);
    const size_t bytes = size_t(frames) * sizeof(float);
    for (jack_ringbuffer_t* ring : self->rings_)
        if (jack_ringbuffer_write_space(ring) < bytes) {
            self->dropped_.fetch_add(1, std::memory_order_relaxed);
            return 0;
        }
    for (int i = 0; i < 4; ++i) {
        const auto* samples = static_cast<const char*>(jack_port_get_buffer(self->ports_[i], frames));
        jack_ringbuffer_write(self->rings_[i], samples, bytes);
    }
    sem_post(&self->periods_);
    return 0;
}

bool JackInput::read(int32_t* const inputs[4], int frames) {
    const size_t bytes = size_t(frames) * sizeof(float);
    // The last ring written is the fullest test: every ring gets its period before the next one. A post
    // left from a period read without waiting only makes one more turn of this loop.
    while (jack_ringbuffer_read_space(rings_[3]) < bytes) {
        if (cancelled_) return false;
        sem_wait(&periods_);   // interrupted by a signal: the loop looks again
    }
    for (int i = 0; i < 4; ++i) {
        // The block lies in at most two pieces of the ring, each whole floats (the ring's size is a power
        // of two, every write whole floats).
        jack_ringbuffer_data_t pieces[2];
        jack_ringbuffer_get_read_vector(rings_[i], pieces);
        const int first = int(std::min(pieces[0].len, bytes) / sizeof(float));
        toFullScaleBlock(reinterpret_cast<const float*>(pieces[0].buf), inputs[i], first);
        toFullScaleBlock(reinterpret_cast<const float*>(pieces[1].buf), inputs[i] + first, frames - first);
        jack_ringbuffer_read_advance(rings_[i], bytes);
    }
    return true;
}
