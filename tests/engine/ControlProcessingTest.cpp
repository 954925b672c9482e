// The control entry: start-up, the show pin, the exchange of values between pins and panel, and the
// settings that follow the panel (transform size, frequency maps, marks, window).
#include "EngineHarness.h"

#include "platform/MemorySurface.h"

using ControlStartUp = EngineTest;
using ControlRunning = EngineTest;

TEST_F(ControlStartUp, First30CallsOnlyCountAndHoldTheReadyPinAt0) {
    inputs[slot::kShowPin] = 1;
    inputs[1] = 7;
    for (int call = 1; call <= 30; ++call) {
        control();
        ASSERT_EQ(outputs[0], 0) << call;
        for (int pin = 1; pin < 77; ++pin) ASSERT_EQ(outputs[pin], kUntouched) << "call " << call << " pin " << pin;
    }
    EXPECT_TRUE(panel.calls.empty());
    EXPECT_FALSE(instance->panelLink().windowShown);

    control();
    EXPECT_EQ(outputs[0], 1);
    EXPECT_EQ(outputs[slot::kShowPin], 1);
    EXPECT_EQ(panel.shows(), std::vector<int32_t>{1});
    EXPECT_EQ(panel.valuesOn(1), std::vector<int32_t>{7});
}

TEST_F(ControlStartUp, TheOwnWindowIsTakenOnCalls16To30AndNeverLookedUpByTitle) {
    const HWND titled = PlatformSurface_register(0, 64, 32, "Analyzer");
    const HWND early = PlatformSurface_register(0, 64, 32, "Mine");
    instance->adoptWindow(early);
    for (int call = 1; call <= 15; ++call) control();
    EXPECT_EQ(instance->panelLink().analyzerWindow, 0u) << "nothing before call 16";
    control();
    EXPECT_EQ(instance->panelLink().analyzerWindow, early);

    for (int call = 17; call <= 29; ++call) control();
    const HWND late = PlatformSurface_register(0, 64, 32, "Mine");
    instance->adoptWindow(late);
    control();  // call 30
    EXPECT_EQ(instance->panelLink().analyzerWindow, late);
    instance->adoptWindow(0);
    control();  // running calls take nothing
    EXPECT_EQ(instance->panelLink().analyzerWindow, late);

    instance = makeEngineInstance();
    for (int call = 1; call <= 31; ++call) control();
    EXPECT_EQ(instance->panelLink().analyzerWindow, 0u) << "without a window of its own, no other window is taken";
    for (HWND surface : {titled, early, late}) PlatformSurface_unregister(surface);
}

TEST_F(ControlRunning, ShowPinShowsOnceHidesAtZeroAndIgnoresNegatives) {
    startUp();
    inputs[slot::kShowPin] = 5;
    control();
    control();
    EXPECT_EQ(outputs[slot::kShowPin], 1);
    inputs[slot::kShowPin] = -1;
    control();
    EXPECT_EQ(outputs[slot::kShowPin], 1);
    inputs[slot::kShowPin] = 0;
    control();
    EXPECT_EQ(outputs[slot::kShowPin], 0);
    control();
    EXPECT_EQ(panel.shows(), (std::vector<int32_t>{1, 0}));
}

// The pins whose values travel between the host and the panel; the others are the engine's own.
bool exchanged(int pin) {
    return pin == 1 || pin == 3 || pin == 4 || pin == 11 || pin == 12 || pin == 13 || pin == 18 ||
           (pin >= 20 && pin <= 27) || (pin >= 32 && pin <= 43);
}

TEST_F(ControlRunning, ChangedInputsAreForwardedAndUnchangedOnesEchoThePanel) {
    startUp();
    for (int pin = 0; pin < 77; ++pin) instance->setPanelValue(pin, 1000 + pin);
    inputs[13] = 3;
    inputs[32] = 200;
    outputs[13] = -7;
    control();
    // The output of a changed pin keeps what the host left there.
    EXPECT_EQ(panel.valuesOn(13), std::vector<int32_t>{3});
    EXPECT_EQ(panel.valuesOn(32), std::vector<int32_t>{200});
    EXPECT_EQ(outputs[13], -7);
    EXPECT_EQ(outputs[32], kUntouched);
    // An input that stayed 0 since the start is never forwarded: its output carries the panel value;
    // pins outside the exchange are left alone (the ready pin, the show pin and the marker's answer
    // travel otherwise).
    for (int pin = 1; pin < 77; ++pin) {
        if (pin == 13 || pin == 32 || pin == slot::kShowPin) continue;
        EXPECT_EQ(outputs[pin], exchanged(pin) ? 1000 + pin : kUntouched) << pin;
    }

    panel.calls.clear();
    control();
    EXPECT_TRUE(panel.valuesOn(13).empty()) << "an unchanged input is not sent again";
    EXPECT_EQ(outputs[13], 1013);
    EXPECT_EQ(outputs[32], 1032);

    // Every exchanged input changed at once: each is forwarded once, in pin order, and no other.
    for (int pin = 0; pin < 77; ++pin) inputs[pin] = 500 + pin;
    panel.calls.clear();
    control();
    std::vector<int32_t> forwarded, expected;
    for (const PanelCall& c : panel.calls)
        if (!c.show && c.value == 500 + c.slot) forwarded.push_back(c.slot);
    for (int pin = 0; pin < 77; ++pin)
        if (exchanged(pin)) expected.push_back(pin);
    EXPECT_EQ(forwarded, expected);
}

TEST_F(ControlRunning, IdleCountAndMarkerFrequencyAreSentEveryCall) {
    startUp();
    instance->setPanelValue(slot::kShape, 21);
    const std::vector<int32_t> block(64, 0);
    for (int i = 0; i < 17; ++i) feed(block, block, block, block);  // the window is hidden: each block is idle
    instance->setPanelValue(slot::kMarker, 512);
    control();
    ASSERT_GE(panel.calls.size(), 2u);
    EXPECT_EQ(panel.calls[0], (PanelCall{false, 0, 17}));
    EXPECT_EQ(panel.calls[1], (PanelCall{false, 2, 90439}));

    instance->setPanelValue(slot::kMarker, 0);  // reads column 1 (bin 1)
    control();
    instance->setPanelValue(slot::kMarker, 5000);  // reads column 1023 (bin 514)
    control();
    EXPECT_EQ(panel.valuesOn(2), (std::vector<int32_t>{90439, 4306, 2213613}));
}

TEST_F(ControlRunning, MarksArePublishedOncePerChangeInTheirOrder) {
    startUp();
    instance->setPanelValue(slot::kShape, 21);
    instance->setPanelValue(slot::kSpectrumMode, 1);
    control();
    std::vector<PanelCall> marks;
    for (const PanelCall& c : panel.calls)
        if (!c.show && c.slot >= 6 && c.slot <= 10) marks.push_back(c);
    EXPECT_EQ(marks, (std::vector<PanelCall>{
                         {false, 7, 43}, {false, 8, 172}, {false, 9, 529}, {false, 10, 886}, {false, 6, 1}}));
    EXPECT_TRUE(instance->setup().resetRequest) << "the first running call sees the rate change from 32000";

    // The next analysis takes the request up; the same rate asks for nothing more.
    const std::vector<int32_t> silence(1024, 0);
    inputs[slot::kShowPin] = 1;
    control();
    analyse(silence, silence, silence, silence);
    panel.calls.clear();
    control();
    EXPECT_TRUE(panel.valuesOn(6).empty());
    EXPECT_FALSE(instance->setup().resetRequest);

    // A new sample rate republishes the marks and asks for a reset.
    engineSampleRate() = 48000;
    control();
    EXPECT_EQ(panel.valuesOn(7), std::vector<int32_t>{46});
    EXPECT_EQ(panel.valuesOn(6), std::vector<int32_t>{1});
    EXPECT_TRUE(instance->setup().resetRequest);

    // Time mode withdraws them; "Vibes Watch" does too.
    panel.calls.clear();
    instance->setPanelValue(slot::kSpectrumMode, 0);
    control();
    EXPECT_EQ(panel.valuesOn(6), std::vector<int32_t>{0});
    EXPECT_TRUE(panel.valuesOn(7).empty());
    instance->setPanelValue(slot::kAltDisplay, 1);
    analyse(silence, silence, silence, silence);  // "Vibes Watch" applies from this analysis on
    instance->setPanelValue(slot::kSpectrumMode, 1);
    control();
    EXPECT_EQ(panel.valuesOn(6), (std::vector<int32_t>{0})) << "still withdrawn, nothing new sent";
}

TEST_F(ControlRunning, TransformSizeFollowsThePanelOnlyInSpectrumMode) {
    startUp();
    instance->setPanelValue(slot::kWindow, 1);  // Hann
    instance->setPanelValue(slot::kFftSize, 4096);
    control();
    EXPECT_EQ(instance->setup().fftSize, 1024);
    EXPECT_EQ(instance->setup().fftSizeCode, 0);

    instance->setPanelValue(slot::kSpectrumMode, 1);
    control();
    EXPECT_EQ(instance->setup().fftSize, 4096);
    EXPECT_EQ(instance->setup().fftSizeCode, 2);
    EXPECT_EQ(instance->setup().fftObject.size(), 4096);
    EXPECT_EQ(instance->setup().appliedWindowCode, 1);
    // The Hann window was rebuilt for 4096 points: zero at both ends, near 1 in the middle.
    EXPECT_NEAR(instance->setup().windowCoefficients[0], 0.0, 1e-12);
    EXPECT_NEAR(instance->setup().windowCoefficients[4095], 0.0, 1e-12);
    EXPECT_NEAR(instance->setup().windowCoefficients[2047], 1.0, 1e-6);

    instance->setPanelValue(slot::kFftSize, 8192);
    control();
    EXPECT_EQ(instance->setup().fftSize, 8192);
    EXPECT_EQ(instance->setup().fftSizeCode, 3);

    instance->setPanelValue(slot::kSpectrumMode, 0);
    control();
    EXPECT_EQ(instance->setup().fftSize, 1024);
    EXPECT_EQ(instance->setup().fftSizeCode, 0);
    EXPECT_EQ(instance->setup().fftObject.size(), 1024);
    EXPECT_NEAR(instance->setup().windowCoefficients[1023], 0.0, 1e-12);
    EXPECT_NEAR(instance->setup().windowCoefficients[511], 1.0, 1e-5);
}

TEST_F(ControlRunning, UnknownSizeSelects1024AndWindowNoneStillRebuilds) {
    startUp();
    instance->setPanelValue(slot::kSpectrumMode, 1);
    instance->setPanelValue(slot::kFftSize, 2048);
    instance->setPanelValue(slot::kWindow, 2);  // Hamming
    control();
    EXPECT_EQ(instance->setup().fftSize, 2048);
    EXPECT_NEAR(instance->setup().windowCoefficients[0], 0.07672, 1e-12);

    instance->setPanelValue(slot::kFftSize, 3000);
    control();
    EXPECT_EQ(instance->setup().fftSize, 1024);
    EXPECT_EQ(instance->setup().fftSizeCode, 0);
    EXPECT_EQ(instance->setup().appliedWindowCode, 2);
}

TEST_F(ControlRunning, WindowCodesWithoutAFormulaKeepTheCoefficientsButAreRecorded) {
    startUp();
    instance->setPanelValue(slot::kWindow, 6);  // Blackman
    control();
    const double kept = instance->setup().windowCoefficients[300];
    EXPECT_NE(kept, 0.0);
    for (int32_t code : {4, 12, -1, 0}) {
        instance->setPanelValue(slot::kWindow, code);
        control();
        EXPECT_EQ(instance->setup().appliedWindowCode, code);
        EXPECT_EQ(instance->setup().windowCoefficients[300], kept) << code;
    }
}

TEST_F(ControlRunning, ShapeChangesRebuildTheMapsAndRepublishTheMarks) {
    startUp();
    instance->setPanelValue(slot::kSpectrumMode, 1);
    control();  // the panel stored no shape yet: P[47] = 0 rebuilds with shape 0
    EXPECT_EQ(instance->setup().frequencyShape, 0.0);
    EXPECT_EQ(instance->setup().binMap[0][511], 8);

    instance->setPanelValue(slot::kShape, 21);
    panel.calls.clear();
    control();
    EXPECT_EQ(instance->setup().frequencyShape, 21.0);
    EXPECT_EQ(instance->setup().binMap[0][511], 21);
    EXPECT_EQ(panel.valuesOn(8), std::vector<int32_t>{172});

    panel.calls.clear();
    control();
    EXPECT_TRUE(panel.valuesOn(8).empty()) << "the same shape changes nothing";
}

TEST_F(ControlRunning, NothingIsSentWithoutAPanel) {
    instance->attachPanel(nullptr);
    inputs[slot::kShowPin] = 1;
    inputs[3] = 9;
    instance->setPanelValue(slot::kSpectrumMode, 1);
    for (int call = 0; call < 40; ++call) control();
    EXPECT_TRUE(instance->panelLink().windowShown);
    EXPECT_EQ(outputs[3], 0);
    EXPECT_TRUE(panel.calls.empty());
}
