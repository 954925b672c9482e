#include "host/AudioSources.h"

#ifndef _WIN32  // no libsndfile in the Windows build: the generator only
#include <sndfile.h>
#endif

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr double kTwoPi = 6.283185307179586476925;

// A point on a circle, turned by complex multiplication.
struct Phasor {
    double re, im;
    void turn(const Phasor& by) {
        const double r = re * by.re - im * by.im;
        im = re * by.im + im * by.re;
        re = r;
    }
    static Phasor at(double angle) { return {std::cos(angle), std::sin(angle)}; }
};

// e^(i delta) for a small angle from its series. The error, about delta^6/720, is 1.4e-9 at 0.1 (the
// sweep's largest step, at a 1 kHz rate, is 0.087) and under the rounding of doubles below 0.003 (at
// 48 kHz the step stays under 4e-5).
Phasor smallTurn(double delta) {
    const double d2 = delta * delta;
    return {1.0 - d2 / 2.0 * (1.0 - d2 / 12.0), delta * (1.0 - d2 / 6.0 * (1.0 - d2 / 20.0))};
}

// The signals come from recurrences, with no transcendental function per sample: each sine is a
// phasor turned by its per-sample rotation. The 1 kHz phasor is set afresh from the sample count, and
// the sweep's rotation from its frequency, every kResyncInterval samples (and at the sweep's turns), so
// rounding does not pile up; the sweep's phasor, an integral of its frequency, is brought back to unit
// length there. The sweep is 20 Hz to 20 kHz in 10 s, evenly in octaves, then back down: its angular
// step multiplies by a constant per sample, up then down, and its rotation follows by a small turn.
class Generator : public AudioSource {
public:
    explicit Generator(int rate)
        : rate_(rate), halfSweep_(10 * int64_t(rate)), amplitude_(std::pow(10.0, -6.0 / 20.0)),
          toneTurn_(Phasor::at(kTwoPi * 1000.0 / rate)), upStep_(std::expm1(std::log(1000.0) / double(halfSweep_))),
          downStep_(std::expm1(-std::log(1000.0) / double(halfSweep_))) {}

    bool read(int32_t* const inputs[4], int frames) override {
        for (int i = 0; i < frames;) {
            if (untilResync_ == 0) resync();
            const int run = int(std::min<int64_t>(frames - i, untilResync_));
            for (const int end = i + run; i < end; ++i) {
                inputs[0][i] = toFullScale(amplitude_ * tone_.im);
                inputs[1][i] = toFullScale(-amplitude_ * tone_.re);  // sin(x - 90°) = -cos(x)
                inputs[2][i] = toFullScale(0.25 * pink());
                inputs[3][i] = toFullScale(amplitude_ * sweep_.im);
                tone_.turn(toneTurn_);
                sweep_.turn(sweepTurn_);
                const double delta = sweepOmega_ * sweepStep_;
                sweepOmega_ += delta;
                sweepTurn_.turn(smallTurn(delta));
            }
            untilResync_ -= run;
            n_ += run;
        }
        return true;
    }
    int sampleRate() const override { return rate_; }
    std::string describe() const override { return "generator"; }

private:
    static constexpr int64_t kResyncInterval = 256;

    void resync() {
        tone_ = Phasor::at(kTwoPi * double(1000 * n_ % rate_) / rate_);
        // Where the sweep stands: rising for the first half of its 20 s, falling for the second.
        const int64_t at = n_ % (2 * halfSweep_);
        const bool rising = at < halfSweep_;
        const double position = rising ? double(at) / double(halfSweep_) : 2.0 - double(at) / double(halfSweep_);
        sweepOmega_ = kTwoPi * 20.0 * std::pow(1000.0, position) / rate_;
        sweepTurn_ = Phasor::at(sweepOmega_);
        sweepStep_ = rising ? upStep_ : downStep_;
        const double length = std::sqrt(sweep_.re * sweep_.re + sweep_.im * sweep_.im);
        sweep_ = {sweep_.re / length, sweep_.im / length};
        untilResync_ = std::min(kResyncInterval, (rising ? halfSweep_ : 2 * halfSweep_) - at);
    }

    // Pink noise: white noise through Paul Kellet's economy filter, about -3 dB per octave.
    double pink() {
        seed_ = seed_ * 1664525u + 1013904223u;
        const double white = double(int32_t(seed_)) / 2147483648.0;
        b0_ = 0.99765 * b0_ + white * 0.0990460;
        b1_ = 0.96300 * b1_ + white * 0.2965164;
        b2_ = 0.57000 * b2_ + white * 1.0526913;
        return (b0_ + b1_ + b2_ + white * 0.1848) * 0.25;
    }

    const int rate_;
    const int64_t halfSweep_;  // samples from 20 Hz to 20 kHz
    const double amplitude_;
    const Phasor toneTurn_;
    const double upStep_, downStep_;  // the sweep's relative change of angular step per sample
    int64_t n_ = 0;
    int64_t untilResync_ = 0;
    Phasor tone_{1.0, 0.0};
    Phasor sweep_{1.0, 0.0};
    Phasor sweepTurn_{1.0, 0.0};  // e^(i sweepOmega_)
    double sweepOmega_ = 0;  // the sweep's angle per sample, now
    double sweepStep_ = 0;
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
        for (int input = 0; input < 4; ++input) {
            const int filled = input < channels ? got : 0;
            if (filled > 0) toFullScaleBlock(buffer_.data() + input, size_t(channels), inputs[input], filled);
            std::fill(inputs[input] + filled, inputs[input] + frames, 0);
        }
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
