// Device-independent bitmaps as stored in RT_BITMAP resources: a
// BITMAPINFOHEADER (or a longer V4/V5 header, or the old 12-byte core
// header), the colour table and the pixel rows, without the file header of a
// .bmp file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct Dib {
    int width = 0;
    int height = 0;
    int bit_count = 0;             // as stored: 1, 4, 8, 16, 24 or 32
    std::vector<uint32_t> palette;  // 0x00BBGGRR; the colour table as stored
    // width * height colours (0x00BBGGRR, as COLORREF), the top row first
    // whatever the stored row order.
    std::vector<uint32_t> pixels;

    uint32_t pixel(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Parses uncompressed (BI_RGB) and BI_BITFIELDS bitmaps, bottom-up or
// top-down.  False (with *error) when the data is cut short, a field is out
// of range or the compression is not supported; nothing outside
// [data, data + size) is read.
bool parse_dib(const void* data, size_t size, Dib* out, std::string* error);

}  // namespace sim
