// Draws the five embedded images, encodes each as a baseline JPEG with libjpeg and writes a C++ source
// that holds them as byte arrays with their lengths (see EmbeddedImages.h).
//
//   make_images OUTPUT.cpp
//
// Build-time tool, single-threaded. The output is the same on every run: libjpeg encodes
// deterministically and nothing here depends on the time or the machine.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>  // needs size_t and FILE first

namespace {

struct Rgb {
    unsigned char r, g, b;
};

Rgb grey(int level) { return Rgb{(unsigned char)level, (unsigned char)level, (unsigned char)level}; }

struct Picture {
    int width, height;
    std::vector<Rgb> pixels;
    Picture(int w, int h, Rgb fill) : width(w), height(h), pixels(size_t(w * h), fill) {}
    void set(int x, int y, Rgb c) { pixels[size_t(y * width + x)] = c; }
    void fillRect(int x0, int y0, int x1, int y1, Rgb c) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) set(x, y, c);
    }
};

// Baseline JPEG, full chroma resolution, quality 95: flat areas stay flat, edges ring only slightly.
std::vector<unsigned char> encode(const Picture& picture) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(picture.width);
    cinfo.image_height = JDIMENSION(picture.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    for (int c = 0; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(size_t(picture.width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const Rgb* source = &picture.pixels[size_t(cinfo.next_scanline) * size_t(picture.width)];
        for (int x = 0; x < picture.width; ++x) {
            row[size_t(3 * x)] = source[x].r;
            row[size_t(3 * x + 1)] = source[x].g;
            row[size_t(3 * x + 2)] = source[x].b;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<unsigned char> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

// A light grey bar: dark top edge, a gradient from 0xD2 down to 0xB3, a black and a dark grey bottom row.
Picture titleBar() {
    struct Anchor {
        int row, level;
    };
    const Anchor anchors[] = {{1, 0xD2}, {5, 0xD0}, {10, 0xC7}, {15, 0xC1}, {20, 0xBA}, {25, 0xB5}, {26, 0xB3}};
    Picture p(50, 29, grey(0));
    p.fillRect(0, 0, 49, 0, grey(0x68));
    for (size_t a = 0; a + 1 < sizeof anchors / sizeof anchors[0]; ++a) {
        const Anchor from = anchors[a], to = anchors[a + 1];
        for (int row = from.row; row <= to.row; ++row) {
            const int level = from.level + (to.level - from.level) * (row - from.row) / (to.row - from.row);
            p.fillRect(0, row, 49, row, grey(level));
        }
    }
    p.fillRect(0, 27, 49, 27, grey(0x02));
    p.fillRect(0, 28, 49, 28, grey(0x62));
    return p;
}

// A rounded bar in a dark frame; lit green when on, dark grey when off.
Picture historyBar(bool on) {
    Picture p(22, 14, grey(0x20));
    p.fillRect(1, 1, 20, 12, grey(0x10));
    const Rgb body = on ? Rgb{0x30, 0xE0, 0x30} : grey(0x50);
    const Rgb shine = on ? Rgb{0x90, 0xFF, 0x90} : grey(0x68);
    p.fillRect(3, 3, 18, 10, body);
    p.fillRect(4, 4, 17, 5, shine);
    return p;
}

// An empty light-grey box with a darker border; the on image carries an X inside.
Picture toggleBox(bool on) {
    Picture p(13, 13, grey(0x80));
    p.fillRect(1, 1, 11, 11, grey(0xD8));
    if (on)
        for (int i = 3; i <= 9; ++i) {
            p.set(i, i, grey(0x10));
            p.set(12 - i, i, grey(0x10));
        }
    return p;
}

void writeArray(FILE* out, const char* name, const std::vector<unsigned char>& bytes) {
    std::fprintf(out, "\nnamespace {\nconst unsigned char %sBytes[%zu] = {", name, bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) std::fprintf(out, "%s%u,", i % 24 == 0 ? "\n    " : "", bytes[i]);
    std::fprintf(out, "\n};\n}  // namespace\n");
    std::fprintf(out, "const EmbeddedImage %s{%sBytes, %zu};\n", name, name, bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_images OUTPUT.cpp\n");
        return 2;
    }
    const std::string path = argv[1];
    const std::string temporary = path + ".tmp";
    FILE* out = std::fopen(temporary.c_str(), "w");
    if (!out) {
        std::perror(temporary.c_str());
        return 1;
    }
    std::fprintf(out,
                 "// Generated by resources/make_images.cpp; do not edit.\n#include \"resources/EmbeddedImages.h\"\n");
    std::fprintf(out, "\nnamespace images {\n");
    writeArray(out, "titleBar", encode(titleBar()));
    writeArray(out, "historyOn", encode(historyBar(true)));
    writeArray(out, "historyOff", encode(historyBar(false)));
    writeArray(out, "toggleOff", encode(toggleBox(false)));
    writeArray(out, "toggleOn", encode(toggleBox(true)));
    std::fprintf(out, "\n}  // namespace images\n");
    if (std::fclose(out) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::perror(path.c_str());
        return 1;
    }
    return 0;
}
