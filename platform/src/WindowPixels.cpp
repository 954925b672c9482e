// Read-back and PNG output of WindowPixels.h, for in-memory surfaces and X11 windows alike.
#include "platform/WindowPixels.h"

#include <png.h>

#include <cstdio>
#include <new>
#include <vector>

#include "Surfaces.h"
#include "X11Connection.h"

using platform::Surface;
using platform::X11Connection;

namespace {

// libpng reports errors by longjmp, so nothing here may live across the setjmp but libpng's own state.
bool writeRgbPng(FILE* file, int width, int height, png_bytepp rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

extern "C" {

BOOL PlatformWindow_getSize(HWND window, int* width, int* height) noexcept {
    if (!width || !height) return 0;
    if (auto surface = platform::findSurface(window)) {
        *width = surface->width;
        *height = surface->height;
        return 1;
    }
    X11Connection* connection = X11Connection::instance();
    return connection && connection->getSize(window, width, height) ? 1 : 0;
}

BOOL PlatformWindow_readPixels(HWND window, int x, int y, int width, int height, COLORREF* pixels) noexcept {
    if (!pixels) return 0;
    if (auto surface = platform::findSurface(window)) {
        if (!platform::rectangleInside(x, y, width, height, surface->width, surface->height)) return 0;
        std::lock_guard<std::mutex> lock(surface->mutex);
        for (int row = 0; row < height; ++row) {
            const COLORREF* from = &surface->pixels[size_t(y + row) * size_t(surface->width) + size_t(x)];
            std::copy(from, from + width, pixels + size_t(row) * size_t(width));
        }
        return 1;
    }
    X11Connection* connection = X11Connection::instance();
    return connection && connection->readPixels(window, x, y, width, height, pixels) ? 1 : 0;
}

BOOL PlatformWindow_writePng(HWND window, const char* path) noexcept {
    int width = 0, height = 0;
    if (!path || !PlatformWindow_getSize(window, &width, &height)) return 0;
    std::vector<COLORREF> pixels;
    std::vector<png_byte> rgb;
    std::vector<png_bytep> rows;
    try {
        pixels.resize(size_t(width) * size_t(height));
        rgb.resize(pixels.size() * 3);
        rows.resize(size_t(height));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!PlatformWindow_readPixels(window, 0, 0, width, height, pixels.data())) return 0;

    for (size_t i = 0; i < pixels.size(); ++i) {
        rgb[3 * i] = png_byte(pixels[i] & 0xFF);
        rgb[3 * i + 1] = png_byte((pixels[i] >> 8) & 0xFF);
        rgb[3 * i + 2] = png_byte((pixels[i] >> 16) & 0xFF);
    }
    for (int row = 0; row < height; ++row) rows[size_t(row)] = &rgb[size_t(row) * size_t(width) * 3];

    FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    bool ok = writeRgbPng(file, width, height, rows.data());
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::remove(path);
    return ok ? 1 : 0;
}

unsigned long PlatformWindow_x11ErrorCount(void) noexcept { return X11Connection::errorCount(); }

unsigned long PlatformWindow_drawingCount(void) noexcept { return platform::drawingCount(); }

void PlatformWindow_installX11ErrorHandler(void* toolkitDisplay) noexcept {
    X11Connection::installErrorHandler(static_cast<Display*>(toolkitDisplay));
}

BOOL PlatformWindow_x11Available(void) noexcept {
    return X11Connection::instance() != nullptr && !X11Connection::lost() ? 1 : 0;
}

BOOL PlatformWindow_x11ConnectionLost(void) noexcept { return X11Connection::lost() ? 1 : 0; }

}  // extern "C"
