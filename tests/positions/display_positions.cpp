// Prints the display positions the engine computes for fixed inputs and settings, one line per
// trace row per analysis. Built for Linux and for Windows: scripts/test-win32 runs both and compares
// the two outputs byte for byte, so that the two builds of the engine cannot drift apart.
//
// The inputs are made with integer and plain IEEE arithmetic only (no libm), so that both programs
// feed exactly the same samples; whatever differs in the output differs in the engine.
#include "common/ControlSlots.h"
#include "engine/GuiCtrl.h"
#include "tests/support/EngineInstance.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kBlock = 512;

// Four test inputs at 48 kHz: sines at 1 kHz and 3.1 kHz by rotation (cos and sin of their step as
// literals), white noise from a linear congruential generator, and a sawtooth.
class Inputs {
public:
    void fill(std::vector<int32_t> (&rows)[4]) {
        for (int i = 0; i < kBlock; ++i) {
            rotate(a_, 0.9914448613738104, 0.13052619222005157);
            rotate(b_, 0.9187912101488983, 0.39474385638426723);
            seed_ = seed_ * 1664525u + 1013904223u;
            saw_ = (saw_ + 7919u * 4096u);
            rows[0][size_t(i)] = int32_t(a_[1] * 1.0e9);
            rows[1][size_t(i)] = int32_t(b_[1] * 6.0e8 + a_[0] * 3.0e8);
            rows[2][size_t(i)] = int32_t(seed_) / 4;
            rows[3][size_t(i)] = int32_t(saw_) / 2;
        }
    }

private:
    static void rotate(double (&p)[2], double c, double s) {
        const double x = p[0] * c - p[1] * s, y = p[0] * s + p[1] * c;
        p[0] = x;
        p[1] = y;
    }
    double a_[2] = {1.0, 0.0}, b_[2] = {1.0, 0.0};
    uint32_t seed_ = 12345u, saw_ = 0u;
};

struct Setting {
    int slot;
    int32_t value;
};

struct Case {
    const char* name;
    std::vector<Setting> settings;
};

void runCase(const Case& c) {
    auto instance = makeEngineInstance();
    int32_t pins[99] = {};
    const int32_t* pointers[99];
    int32_t outputs[77] = {};
    for (int i = 0; i < 99; ++i) pointers[i] = &pins[i];
    pins[slot::kShowPin] = 1;

    // The panel's defaults for what these cases do not set, then the case's own settings.
    instance->setPanelValue(slot::kLevelFactor, 1);
    instance->setPanelValue(slot::kShape, 21);
    instance->setPanelValue(slot::kFftSize, 1024);
    for (int k = 0; k < 4; ++k) instance->setPanelValue(slot::kFirstSelection + k, 2 + k);
    for (const Setting& s : c.settings) instance->setPanelValue(s.slot, s.value);

    for (int i = 0; i <= kStartupCalls; ++i) instance->processControlPins(pointers, outputs);

    Inputs inputs;
    std::vector<int32_t> rows[4];
    for (auto& r : rows) r.assign(kBlock, 0);
    int analyses = 0;
    for (int block = 0; block < 80 && analyses < 3; ++block) {
        // An analysis starts only once the worker is done: wait, so that no block's analysis depends
        // on how fast the worker was.
        while (!instance->workers().isIdle()) std::this_thread::yield();
        inputs.fill(rows);
        instance->processControlPins(pointers, outputs);
        const int32_t* audio[4] = {rows[0].data(), rows[1].data(), rows[2].data(), rows[3].data()};
        const int32_t before = instance->capture().captureCount;
        instance->processAudioBlock(audio, 0, kBlock);
        if (instance->capture().captureCount >= before) continue;  // no analysis in this block
        ++analyses;
        while (!instance->workers().isIdle()) std::this_thread::yield();  // the worker analyses it
        for (int row = 0; row < kHistoryRows; ++row) {
            std::printf("%s analysis %d row %d:", c.name, analyses, row);
            for (int i = 0; i < kDisplayColumns; ++i) std::printf(" %d", instance->capture().history[row][i]);
            std::printf("\n");
        }
    }
    std::printf("%s analyses %d marker levels %d %d %d %d\n", c.name, analyses, instance->capture().markerLevels[0],
                instance->capture().markerLevels[1], instance->capture().markerLevels[2],
                instance->capture().markerLevels[3]);
}

}  // namespace

int main() {
    engineSampleRate() = 48000;
    const Case cases[] = {
        {"time", {{slot::kSpectrumMode, 0}}},
        {"time-sums-factor3",
         {{slot::kSpectrumMode, 0},
          {slot::kLevelFactor, 3},
          {slot::kFirstSelection, 6},
          {slot::kFirstSelection + 1, 12},
          {slot::kFirstSelection + 2, 17}}},
        {"spectrum-hann-abs",
         {{slot::kSpectrumMode, 1}, {slot::kWindow, 1}, {slot::kMagnitudes, 1}, {slot::kMarker, 300}}},
        {"spectrum-4096-blackmanharris",
         {{slot::kSpectrumMode, 1},
          {slot::kFftSize, 4096},
          {slot::kWindow, 7},
          {slot::kShape, 40},
          {slot::kLevelFactor, 4}}},
        {"spectrum-8192-flattop-catcher",
         {{slot::kSpectrumMode, 1},
          {slot::kFftSize, 8192},
          {slot::kWindow, 10},
          {slot::kMagnitudes, 1},
          {slot::kCatcher, 1}}},
        {"vibes-2048-nuttall",
         {{slot::kSpectrumMode, 1},
          {slot::kFftSize, 2048},
          {slot::kWindow, 9},
          {slot::kAltDisplay, 1},
          {slot::kMagnitudes, 1}}},
        {"phase-xy", {{slot::kSpectrumMode, 0}, {slot::kPhase, 1}}},
        // Three inputs (A, B+C, C): a group of lanes filled only partly.
        {"spectrum-three-inputs",
         {{slot::kSpectrumMode, 1},
          {slot::kLevelFactor, 2},
          {slot::kFirstSelection + 1, 9},
          {slot::kFirstSelection + 3, 1}}},
    };
    for (const Case& c : cases) runCase(c);
    return 0;
}
