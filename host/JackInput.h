// Live input from a JACK server: four input ports named after the module's audio inputs. The JACK
// process callback never calls the module and never waits: it copies each period into lock-free ring
// buffers, or counts the period as dropped when they are full, and posts a semaphore per period
// copied. The processing thread sleeps on that semaphore until a block of the server's period is in
// the rings, and converts it straight out of them.
//
// Threads: open and destruction [main-thread]; the process callback [JACK's thread]; read
// [audio-thread]; dropped [any-thread].
#pragma once

#include "host/AudioSources.h"

#include <jack/jack.h>
#include <jack/ringbuffer.h>
#include <semaphore.h>

#include <atomic>
#include <string>
#include <vector>

class JackInput : public AudioSource {
public:
    ~JackInput() override;

    // Connects to a running server (never starts one) and registers the ports. Returns null with
    // error set when there is no server or the ports cannot be made.
    static std::unique_ptr<JackInput> open(const std::vector<std::string>& portNames, std::string& error);

    bool read(int32_t* const inputs[4], int frames) override;
    int sampleRate() const override { return int(jack_get_sample_rate(client_)); }
    std::string describe() const override { return "JACK client " + std::string(jack_get_client_name(client_)); }

    int period() const { return int(jack_get_buffer_size(client_)); }
    long dropped() const { return dropped_.load(); }
    // Makes a waiting read return false, and every later one.
    void cancel();

private:
    JackInput();
    static int process(jack_nframes_t frames, void* self);

    jack_client_t* client_ = nullptr;
    jack_port_t* ports_[4] = {};
    jack_ringbuffer_t* rings_[4] = {};
    std::atomic<long> dropped_{0};
    std::atomic<bool> cancelled_{false};
    sem_t periods_;   // posted per period copied, and by cancel
};
