#include "platform/windows/WindowCapture.h"

#include <zlib.h>

#include <cstdio>
#include <new>
#include <vector>

namespace platform_win32 {
namespace {

void putWord(std::vector<unsigned char>& out, uint32_t word) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((unsigned char)(word >> shift));
}

// One PNG chunk: length, type, data and the CRC over type and data.
void putChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data) {
    putWord(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putWord(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

}  // namespace

bool clientSize(HWND window, int* width, int* height) noexcept {
    RECT client;
    if (!IsWindow(window) || !GetClientRect(window, &client)) return false;
    *width = client.right - client.left;
    *height = client.bottom - client.top;
    return true;
}

bool readClientPixels(HWND window, int x, int y, int width, int height, COLORREF* pixels) noexcept {
    int clientWidth = 0, clientHeight = 0;
    if (!clientSize(window, &clientWidth, &clientHeight) || width <= 0 || height <= 0 || x < 0 || y < 0 ||
        x > clientWidth - width || y > clientHeight - height)
        return false;

    HDC windowDc = GetDC(window);
    if (windowDc == nullptr) return false;
    HDC memoryDc = CreateCompatibleDC(windowDc);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = memoryDc ? CreateDIBSection(memoryDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    bool copied = false;
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memoryDc, bitmap);
        copied = BitBlt(memoryDc, 0, 0, width, height, windowDc, x, y, SRCCOPY) != 0;
        GdiFlush();
        if (copied) {
            const uint32_t* source = static_cast<const uint32_t*>(bits);  // 0x00RRGGBB per pixel
            for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
                const uint32_t p = source[i];
                pixels[i] = RGB((p >> 16) & 255u, (p >> 8) & 255u, p & 255u);
            }
        }
        SelectObject(memoryDc, old);
        DeleteObject(bitmap);
    }
    if (memoryDc != nullptr) DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return copied;
}

bool writeClientPng(HWND window, const char* path) noexcept try {
    int width = 0, height = 0;
    if (!clientSize(window, &width, &height) || width <= 0 || height <= 0) return false;
    std::vector<COLORREF> pixels(size_t(width) * size_t(height));
    if (!readClientPixels(window, 0, 0, width, height, pixels.data())) return false;

    // Each row: filter type 0, then R, G, B.
    std::vector<unsigned char> raw;
    raw.reserve(size_t(height) * (1 + 3 * size_t(width)));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixels[size_t(y) * size_t(width) + size_t(x)];
            raw.push_back(GetRValue(c));
            raw.push_back(GetGValue(c));
            raw.push_back(GetBValue(c));
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9) != Z_OK) return false;
    packed.resize(packedSize);

    std::vector<unsigned char> header;
    putWord(header, uint32_t(width));
    putWord(header, uint32_t(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter set, no interlace

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", {});

    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
} catch (const std::bad_alloc&) {
    return false;
}

}  // namespace platform_win32
