// The panel's and the title bar's JPEG images, embedded in the module as byte arrays with their exact
// lengths. make_images.cpp draws and encodes them at build time; the toolkit decodes them from memory.
//
// Threads: constant data, [any-thread].
#pragma once

namespace images {

struct EmbeddedImage {
    const unsigned char* data;
    int size;  // bytes of the JPEG file
};

// 50 x 29: the title bar's background, stretched over the 1065 x 30 bar.
extern const EmbeddedImage titleBar;
// 22 x 14: the history buttons, a lit green bar (on) and a dark grey bar (off).
extern const EmbeddedImage historyOn;
extern const EmbeddedImage historyOff;
// 13 x 13: the small toggles, an empty light-grey box (off) and the same box with an X (on).
extern const EmbeddedImage toggleOff;
extern const EmbeddedImage toggleOn;

}  // namespace images
