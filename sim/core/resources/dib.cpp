#include "resources/dib.h"

#include <cstring>

#include "resources/little_endian.h"

namespace sim {

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;  // Windows CE: four masks, alpha last
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kV2HeaderSize = 52;  // the info header with the three masks inside
constexpr int32_t kMaxDimension = 1 << 15;

uint32_t colorref(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

// One colour component picked out of a pixel by its mask, scaled to 0..255.
class Channel {
public:
    explicit Channel(uint32_t mask) : mask_(mask) {
        if (!mask) return;
        while (!((mask >> shift_) & 1)) ++shift_;
        uint32_t rest = mask >> shift_;
        while (rest & 1) {
            ++bits_;
            rest >>= 1;
        }
        max_ = bits_ >= 32 ? 0xFFFFFFFFu : (1u << bits_) - 1;
    }
    uint32_t operator()(uint32_t px) const {
        if (!mask_) return 0;
        uint64_t v = ((px & mask_) >> shift_) & max_;
        return uint32_t((v * 255 + max_ / 2) / max_);
    }

private:
    uint32_t mask_;
    int shift_ = 0;
    int bits_ = 0;
    uint32_t max_ = 0;
};

bool fail(std::string* error, const std::string& what) {
    if (error) *error = "bitmap: " + what;
    return false;
}

}  // namespace

bool parse_dib(const void* data, size_t size, Dib* out, std::string* error) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!bytes || size < 4) return fail(error, "truncated header");
    const uint32_t header_size = read_le32(bytes);
    if (header_size > size) return fail(error, "truncated header");

    int32_t width = 0, height = 0;
    uint16_t planes = 0, bit_count = 0;
    uint32_t compression = kBiRgb, colors_used = 0;
    size_t palette_entry_size = 4;
    size_t pos = header_size;
    if (header_size == kCoreHeaderSize) {
        width = read_le16(bytes + 4);
        height = read_le16(bytes + 6);
        planes = read_le16(bytes + 8);
        bit_count = read_le16(bytes + 10);
        palette_entry_size = 3;
    } else if (header_size >= kInfoHeaderSize) {
        std::memcpy(&width, bytes + 4, 4);
        std::memcpy(&height, bytes + 8, 4);
        planes = read_le16(bytes + 12);
        bit_count = read_le16(bytes + 14);
        compression = read_le32(bytes + 16);
        colors_used = read_le32(bytes + 32);
    } else {
        return fail(error, "unknown header size " + std::to_string(header_size));
    }
    if (planes != 1) return fail(error, "planes must be 1");
    if (width <= 0 || width > kMaxDimension || height == 0 || height < -kMaxDimension || height > kMaxDimension)
        return fail(error, "size out of range");
    const bool top_down = height < 0;
    if (top_down) height = -height;

    // Where the masks of each component stand, for 16 and 32 bits a pixel.
    uint32_t masks[3] = {0, 0, 0};
    switch (bit_count) {
    case 1:
    case 4:
    case 8:
    case 24:
        if (compression != kBiRgb) return fail(error, "unsupported compression " + std::to_string(compression));
        break;
    case 16:
    case 32:
        if (compression == kBiRgb) {
            if (bit_count == 16) {
                masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
            } else {
                masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
            }
        } else if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
            if (header_size >= kV2HeaderSize) {
                for (int i = 0; i < 3; ++i) masks[i] = read_le32(bytes + 40 + 4 * i);
            } else {
                const size_t n = compression == kBiBitfields ? 3 : 4;
                if (n * 4 > size - pos) return fail(error, "truncated colour masks");
                for (int i = 0; i < 3; ++i) masks[i] = read_le32(bytes + pos + 4 * i);
                pos += n * 4;
            }
        } else {
            return fail(error, "unsupported compression " + std::to_string(compression));
        }
        break;
    default:
        return fail(error, "unsupported bit depth " + std::to_string(bit_count));
    }

    // The colour table: every index for 8 bits or fewer unless the header
    // says how many are used; for deeper pixels only what the header says.
    uint64_t table_size = colors_used;
    if (header_size == kCoreHeaderSize || (colors_used == 0 && bit_count <= 8))
        table_size = bit_count <= 8 ? (1u << bit_count) : 0;
    if (table_size * palette_entry_size > size - pos) return fail(error, "truncated colour table");
    Dib dib;
    dib.width = width;
    dib.height = height;
    dib.bit_count = bit_count;
    if (bit_count <= 8) {
        dib.palette.reserve(size_t(table_size));
        for (uint64_t i = 0; i < table_size; ++i) {
            const uint8_t* q = bytes + pos + i * palette_entry_size;
            dib.palette.push_back(colorref(q[2], q[1], q[0]));
        }
    }
    pos += size_t(table_size * palette_entry_size);

    // Rows are padded to 32 bits; the last one may lack its padding.
    const uint64_t row_bits = uint64_t(width) * bit_count;
    const uint64_t stride = (row_bits + 31) / 32 * 4;
    const uint64_t needed = stride * uint64_t(height - 1) + (row_bits + 7) / 8;
    if (needed > size - pos) return fail(error, "truncated pixel data");
    const uint8_t* bits = bytes + pos;

    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    dib.pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bits + stride * uint64_t(top_down ? y : height - 1 - y);
        uint32_t* dest = &dib.pixels[size_t(y) * size_t(width)];
        for (int x = 0; x < width; ++x) {
            uint32_t color = 0;
            if (bit_count <= 8) {
                const int per_byte = 8 / bit_count;
                const int shift = 8 - bit_count * (x % per_byte + 1);
                const uint32_t index = (row[x / per_byte] >> shift) & ((1u << bit_count) - 1);
                color = index < dib.palette.size() ? dib.palette[index] : 0;
            } else if (bit_count == 24) {
                const uint8_t* q = row + size_t(x) * 3;
                color = colorref(q[2], q[1], q[0]);
            } else {
                const uint32_t px = bit_count == 16 ? read_le16(row + size_t(x) * 2) : read_le32(row + size_t(x) * 4);
                color = colorref(red(px), green(px), blue(px));
            }
            dest[x] = color;
        }
    }
    *out = std::move(dib);
    return true;
}

}  // namespace sim
