#include "host/AudioSources.h"

#ifndef _WIN32   // no libsndfile in the Windows build: the generator only
#include <sndfile.h>
#endif

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr double kTwoPi = 6.28318530718;

class Generator : public AudioSource {
public:
    explicit Generator(int rate) : rate_(rate) {}

    bool read(int32_t* const inputs[4], int frames) override {
        const double amplitude = std::pow(10.0, -6.0 / 20.0);
        for (int i = 0; i < frames; ++i) {
            const double phase = kTwoPi * 1000.0 * double(n_) / rate_;
            inputs[0][i] = toFullScale(amplitude * std::sin(phase));
            inputs[1][i] = toFullScale(amplitude * std::sin(phase - kTwoPi / 4));
            inputs[2][i] = toFullScale(0.25 * pink());
            inputs[3][i] = toFullScale(amplitude * std::sin(sweepPhase_));
            // 20 Hz to 20 kHz in 10 s, evenly in octaves, then back down.
            const double t = std::fmod(double(n_) / rate_, 20.0);
            const double position = t < 10.0 ? t / 10.0 : 2.0 - t / 10.0;
            sweepPhase_ = std::fmod(sweepPhase_ + kTwoPi * 20.0 * std::pow(1000.0, position) / rate_, kTwoPi);
            ++n_;
        }
        return true;
    }
    int sampleRate() const override { return rate_; }
    std::string describe() const override { return "generator"; }

private:
    // Pink noise: white noise through Paul Kellet's economy filter, about -3 dB per octave.
    double pink() {
        seed_ = seed_ * 1664525u + 1013904223u;
        const double white = double(int32_t(seed_)) / 2147483648.0;
        b0_ = 0.99765 * b0_ + white * 0.0990460;
        b1_ = 0.96300 * b1_ + white * 0.2965164;
        b2_ = 0.57000 * b2_ + white * 1.0526913;
        return (b0_ + b1_ + b2_ + white * 0.1848) * 0.25;
    }

    int rate_;
    int64_t n_ = 0;
    double sweepPhase_ = 0;
    uint32_t seed_ = 12345;
    double b0_ = 0, b1_ = 0, b2_ = 0;
};

#ifndef _WIN32
class SoundFile : public AudioSource {
public:
    SoundFile(SNDFILE* file, const SF_INFO& info, std::string path, bool loop)
        : file_(file), info_(info), path_(std::move(path)), loop_(loop) {}
    ~SoundFile() override { sf_close(file_); }

    bool read(int32_t* const inputs[4], int frames) override {
        const int channels = info_.channels;
        buffer_.resize(size_t(frames) * size_t(channels));
        int got = 0;
        while (got < frames) {
            const sf_count_t n = sf_readf_double(file_, buffer_.data() + size_t(got) * size_t(channels), frames - got);
            if (n > 0) {
                got += int(n);
                continue;
            }
            if (!loop_ || sf_seek(file_, 0, SEEK_SET) < 0 || info_.frames == 0) break;
        }
        if (got == 0) return false;
        for (int i = 0; i < frames; ++i)
            for (int input = 0; input < 4; ++input)
                inputs[input][i] =
                    i < got && input < channels ? toFullScale(buffer_[size_t(i) * size_t(channels) + size_t(input)]) : 0;
        return true;
    }
    int sampleRate() const override { return info_.samplerate; }
    std::string describe() const override { return "file " + path_; }

private:
    SNDFILE* file_;
    SF_INFO info_;
    std::string path_;
    bool loop_;
    std::vector<double> buffer_;
};

#endif  // _WIN32

}  // namespace

int32_t toFullScale(double sample) {
    const double scaled = std::nearbyint(sample * 2147483648.0);
    if (!(scaled > -2147483648.0)) return scaled == scaled ? INT32_MIN : 0;
    if (scaled >= 2147483647.0) return INT32_MAX;
    return int32_t(scaled);
}

std::unique_ptr<AudioSource> makeGenerator(int sampleRate) { return std::make_unique<Generator>(sampleRate); }

#ifndef _WIN32
std::unique_ptr<AudioSource> openSoundFile(const std::string& path, bool loop, std::string& error) {
    SF_INFO info;
    std::memset(&info, 0, sizeof info);
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        error = path + ": " + sf_strerror(nullptr);
        return nullptr;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(file);
        error = path + ": no audio in it";
        return nullptr;
    }
    return std::make_unique<SoundFile>(file, info, path, loop);
}
#endif
