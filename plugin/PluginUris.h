// The plug-in's identity: its URI, its editor's, the file name of its one binary, its version, and
// the keys of the settings it saves as state.
#pragma once

#define QANAGUI_LV2_URI "urn:qanagui:analyzer"
#define QANAGUI_LV2_UI_URI "urn:qanagui:analyzer#editor"
#define QANAGUI_LV2_BINARY "qanagui_lv2.so"

// The bundle's version (lv2:minorVersion, lv2:microVersion): the minor number grows with every
// compatible addition (a port, a preset), the micro number with every fix. As LV2 reads them, an odd
// number in either is a development build, so a release carries even ones.
#define QANAGUI_LV2_MINOR_VERSION 2
#define QANAGUI_LV2_MICRO_VERSION 0

// The state keys of the settings only the panel makes, in the order of AnalyzerPlugin::kPanelOnlySlots.
#define QANAGUI_LV2_STATE_DB_MULTIPLY QANAGUI_LV2_URI "#dbMultiply"
#define QANAGUI_LV2_STATE_VIBES_WATCH QANAGUI_LV2_URI "#vibesWatch"
#define QANAGUI_LV2_STATE_HZ_STRETCH QANAGUI_LV2_URI "#hzStretch"
#define QANAGUI_LV2_STATE_PHASEN QANAGUI_LV2_URI "#phasen"
