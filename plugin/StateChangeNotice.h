// The plug-in's notify port: an atom sequence on which it tells its host, with one state:StateChanged
// object, that a setting it keeps only as state (one only the panel makes: "dB Multiply", "Vibes
// Watch", "Hz Stretch", "PHASEN") has changed, so that the host marks its session as changed. A run
// compares the instance's panel-only settings with those last announced or restored; the host's own
// changes (a restored state or preset) are not announced back to it.
//
// Threads: map and acknowledge [main-thread] (instantiation and state restore); connect and run
// [audio-thread] (no allocation, lock or wait).
#pragma once

#include "plugin/AnalyzerPlugin.h"

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>

class StateChangeNotice {
public:
    // Maps the URIDs it writes and takes the instance's settings as announced.
    void map(const LV2_URID_Map& map, const AnalyzerPlugin& plugin);

    // The host's atom sequence (null: not connected, nothing is written).
    void connect(void* data) { port_ = static_cast<LV2_Atom_Sequence*>(data); }

    // The settings as they are now came from the host: nothing to announce.
    void acknowledge(const AnalyzerPlugin& plugin);

    // Writes the sequence: empty, or one StateChanged event at frame 0 when a setting changed since
    // the last announcement. A change that does not fit the host's buffer waits for the next run.
    void run(const AnalyzerPlugin& plugin);

private:
    LV2_URID sequence_ = 0, object_ = 0, stateChanged_ = 0;
    LV2_Atom_Sequence* port_ = nullptr;
    std::atomic<int32_t> announced_[4] = {};
};
