// The control slots the engine reads, exchanges and publishes. Slot k is control input pin k,
// control output pin k and panelValues entry k at once.
#pragma once

namespace slot {

// Read as settings (written by the panel).
constexpr int kSpectrumMode = 1;  // "Time/Frequency_Select": 0 time, other spectrum
constexpr int kMarker = 2;  // marker column; the engine answers with its frequency
constexpr int kMagnitudes = 3;  // "Absolute Values"
constexpr int kFftSize = 4;  // "FFT_Blocksize"
constexpr int kHold = 5;  // hold state, toggled on the panel
constexpr int kLevelFactor = 11;  // "dB Multiply"
constexpr int kAltDisplay = 12;  // "Vibes Watch"
constexpr int kCatcher = 13;  // "Catcher mode"
constexpr int kWindow = 18;  // "Window"
constexpr int kFirstSelection = 20;  // 20..23: "Input_Select" of traces 1..4
constexpr int kFirstHistory = 24;  // 24..27: "History" of traces 1..4
constexpr int kFirstColour = 32;  // 32..43: red, green, blue of traces 1..4
constexpr int kShape = 47;  // "Hz Stretch"
constexpr int kPhase = 48;  // "PHASEN": 0 time, 1 X*Y, 2 X*X

// Published to the panel.
constexpr int kIdleCount = 0;
constexpr int kMarksValid = 6;
constexpr int kBinWidth = 7;
constexpr int kFirstMark = 8;  // 8, 9, 10: first columns at 100 Hz, 1 kHz, 10 kHz
constexpr int kFirstMarkerLevel = 14;  // 14..17: level of each trace at the marker
constexpr int kRedraw = 19;
constexpr int kFirstHeldTrace = 28;  // 28..31: display rows handed over while hold is on
// The value sent with each held trace: "read trace k's rows from the instance's held-trace buffer".
// A token rather than an address, so that it fits the 32-bit value on any build.
constexpr int kHeldRowsToken = 1;
constexpr bool isHeldTrace(int slot) { return slot >= kFirstHeldTrace && slot < kFirstHeldTrace + 4; }

// Pins.
constexpr int kReadyPin = 0;
constexpr int kShowPin = 44;

}  // namespace slot
