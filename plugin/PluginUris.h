// The plug-in's identity: its URI, its editor's, and the file name of its one binary.
#pragma once

#define QANAGUI_LV2_URI "urn:qanagui:analyzer"
#define QANAGUI_LV2_UI_URI "urn:qanagui:analyzer#editor"
#define QANAGUI_LV2_BINARY "qanagui_lv2.so"
