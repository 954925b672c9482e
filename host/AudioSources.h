// Where the four inputs A-D come from: the built-in generator or a sound file. A source fills blocks
// of 32-bit samples at full scale (the module's sample format), one array per input.
//
// Threads: created on [main-thread], read on the processing thread only.
#pragma once

#include "common/FullScale.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Fills frames samples of each of the four arrays. Returns false when the source has ended
    // (then nothing was filled).
    virtual bool read(int32_t* const inputs[4], int frames) = 0;
    virtual int sampleRate() const = 0;
    virtual std::string describe() const = 0;
};

// A 1 kHz sine at -6 dBFS on A, the same sine a quarter period later on B (A against B draws a
// circle), pink noise on C, and on D a logarithmic sweep from 20 Hz to 20 kHz and back to 20 Hz every
// 20 seconds.
std::unique_ptr<AudioSource> makeGenerator(int sampleRate);

// A sound file read with libsndfile; its channels go to A, B, C, D in order (missing ones are silent,
// further ones ignored). Returns null with error set when the file cannot be read.
std::unique_ptr<AudioSource> openSoundFile(const std::string& path, bool loop, std::string& error);

// Samples in -1 .. 1 become full-scale 32-bit samples as common/FullScale.h converts them.
