// A long storm of control values, outside the default suite: three instances with windows; a processing
// thread toggles the show pin on every control call (now and then with values other than 0 and 1) for
// 50-1550 calls, with an audio block of 1024-8192 samples every eighth call, then sends a burst of
// 1-300 calls that each change 1-6 exchanged pins (a quarter of the values extreme), each followed by
// an audio block; meanwhile the main thread stops running the loop for 10-200 ms every 0.2-1 s. Then
// the pins rest, the show pin at 0 or 1, and the loop runs for up to 5 s: every output pin must carry
// what the last value sent makes its control show, and every window must be in the last show state.
//
// Run by hand under a display: STORM_SECONDS=600 scripts/with-xvfb build/bench/bench_control_storm
#include "AnalyzerHarness.h"

#include "host/PointerWord.h"
#include "qanagui/protocol.h"

#include <cstdlib>
#include <random>

namespace {

const int kExchanged[] = {1,  3,  4,  13, 18, 20, 21, 22, 23, 24, 25, 26, 27,
                          32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43};
const int32_t kExtremes[] = {-1, -7, 2, 5, 100000, INT32_MIN, INT32_MAX};
constexpr int kShowPin = 44;

// A value inside the control's range, which the panel echoes as it is.
int32_t inRange(int pin, int i) {
    static const int32_t sizes[] = {1024, 2048, 4096, 8192}, windows[] = {0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11};
    if (pin == 4) return sizes[i % 4];
    if (pin == 13) return i % 9;
    if (pin == 18) return windows[i % 11];
    if (pin >= 20 && pin <= 23) return 1 + i % 17;
    if (pin >= 32) return i % 256;
    return i % 2;
}

class ControlStorm : public AnalyzerHarness {
protected:
    // What each pin echoes for each extreme value, learnt on a calm instance.
    std::map<std::pair<int, int32_t>, int32_t> echoOfExtreme;

    void settle(int32_t h, int ms) {
        for (int t = 0; t < ms / 5; ++t) {
            control(h);
            pump(5);
        }
    }
    void learnExtremes(int32_t h) {
        for (int32_t extreme : kExtremes) {
            for (int pin : kExchanged) pins.at(h)->inputs[pin] = inRange(pin, 3);
            settle(h, 500);
            for (int pin : kExchanged) pins.at(h)->inputs[pin] = extreme;
            settle(h, 1000);
            for (int pin : kExchanged) echoOfExtreme[{pin, extreme}] = pins.at(h)->outputs[pin];
        }
    }
    int32_t expectedEcho(int pin, int32_t sent) {
        auto it = echoOfExtreme.find({pin, sent});
        return it == echoOfExtreme.end() ? sent : it->second;
    }
};

TEST_F(ControlStorm, EveryPinEndsOnItsLastValueAndEveryWindowOnTheLastShowValue) {
    const char* secondsText = std::getenv("STORM_SECONDS");
    const double seconds = secondsText ? std::atof(secondsText) : 60;
    std::vector<int32_t> handles = {create(), create(), create()};
    ASSERT_TRUE(waitUntil([&] { return analyzerWindows().size() == 3; }));
    for (int32_t h : handles) startUp(h);
    learnExtremes(handles[0]);
    // A pin is forwarded only when it changes: every pin starts on a value that it changed to.
    for (int32_t h : handles) {
        for (int pin : kExchanged) pins.at(h)->inputs[pin] = inRange(pin, 5);
        settle(h, 500);
    }

    std::vector<int32_t> noise(8192);
    std::mt19937 random(12345);
    for (int32_t& x : noise) x = int32_t(random()) / 4;
    const int32_t* rows[4] = {noise.data(), noise.data(), noise.data(), noise.data()};
    auto audio = [&](int32_t h, int count) {
        reinterpret_cast<QanaguiProcessAudioFn>(uintptr_t(entries[0]))(uint32_t(h), 0, pointerWord(rows), 0, 0, 0,
                                                                       count);
    };
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };

    long rounds = 0, wrongPins = 0, wrongWindows = 0;
    std::string firstFaults;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        ++rounds;
        // The storm, on a thread of its own; its random numbers are drawn here, before it starts.
        struct Call {
            int pins[6];
            int32_t values[6];
            int changed;
            int32_t show;
            int audioCount;
        };
        std::vector<Call> calls(size_t(pick(50, 1550)));
        for (size_t i = 0; i < calls.size(); ++i) {
            const bool odd = pick(0, 15) == 0;
            calls[i] = {{}, {}, 0, odd ? kExtremes[pick(0, 6)] : int32_t(i % 2), i % 8 == 7 ? pick(1024, 8192) : 0};
        }
        const int32_t rest = pick(0, 1);
        for (int i = pick(1, 300); i > 0; --i) {
            Call c{{}, {}, pick(1, 6), rest, pick(1024, 8192)};
            for (int k = 0; k < c.changed; ++k) {
                c.pins[k] = kExchanged[pick(0, 24)];
                c.values[k] = pick(0, 3) == 0 ? kExtremes[pick(0, 6)] : inRange(c.pins[k], pick(0, 1000));
            }
            calls.push_back(c);
        }
        std::atomic<bool> done{false};
        std::thread storm([&] {
            for (const Call& c : calls)
                for (int32_t h : handles) {
                    for (int k = 0; k < c.changed; ++k) pins.at(h)->inputs[c.pins[k]] = c.values[k];
                    pins.at(h)->inputs[kShowPin] = c.show;
                    control(h);
                    if (c.audioCount > 0) audio(h, c.audioCount);
                }
            done = true;
        });
        auto nextStall = std::chrono::steady_clock::now() + std::chrono::milliseconds(pick(200, 1000));
        while (!done) {
            pump(5);
            if (std::chrono::steady_clock::now() < nextStall) continue;
            std::this_thread::sleep_for(std::chrono::milliseconds(pick(10, 200)));
            nextStall = std::chrono::steady_clock::now() + std::chrono::milliseconds(pick(200, 1000));
        }
        storm.join();

        // The rest: the loop runs, the pins stay, and the outputs are read after each control call.
        auto faults = [&](bool record) {
            int found = 0;
            for (size_t n = 0; n < handles.size(); ++n) {
                const InstancePins& p = *pins.at(handles[n]);
                for (int pin : kExchanged) {
                    const int32_t expected = expectedEcho(pin, p.inputs[pin]);
                    if (p.outputs[pin] == expected) continue;
                    ++found;
                    if (record && firstFaults.size() < 2000)
                        firstFaults += "round " + std::to_string(rounds) + " instance " + std::to_string(n) + " pin " +
                                       std::to_string(pin) + ": sent " + std::to_string(p.inputs[pin]) + ", expected " +
                                       std::to_string(expected) + ", echoed " + std::to_string(p.outputs[pin]) + "\n";
                }
            }
            return found;
        };
        auto windowFaults = [&] {
            int found = 0;
            for (Window w : analyzerWindows()) found += isMapped(w) != (rest == 1);
            return found;
        };
        waitUntil(
            [&] {
                for (int32_t h : handles) control(h);
                return faults(false) == 0 && windowFaults() == 0;
            },
            5000);
        wrongPins += faults(true);
        const int windows = windowFaults();
        wrongWindows += windows;
        if (windows > 0 && firstFaults.size() < 2000)
            firstFaults += "round " + std::to_string(rounds) + ": " + std::to_string(windows) + " windows not " +
                           (rest ? "shown" : "hidden") + "\n";
    }
    std::printf("%ld rounds in %.0f s: %ld pins ended on another value than the last sent, %ld windows in the "
                "wrong state\n%s",
                rounds, seconds, wrongPins, wrongWindows, firstFaults.c_str());
    EXPECT_EQ(wrongPins, 0);
    EXPECT_EQ(wrongWindows, 0);
}

}  // namespace
