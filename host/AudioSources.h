// Where the four inputs A-D come from: the built-in generator or a sound file. A source fills blocks
// of 32-bit samples at full scale (the module's sample format), one array per input.
//
// Threads: created on [main-thread], read on the processing thread only.
#pragma once

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

// A sample in -1 .. 1 as a full-scale 32-bit sample: scaled by 2^31, rounded to nearest (ties to even),
// clamped to INT32_MIN .. INT32_MAX; NaN gives 0.
int32_t toFullScale(double sample);

// toFullScale over a block: count samples into out. The double form reads every stride-th value (an
// interleaved channel).
void toFullScaleBlock(const float* samples, int32_t* out, int count);
void toFullScaleBlock(const double* samples, size_t stride, int32_t* out, int count);
