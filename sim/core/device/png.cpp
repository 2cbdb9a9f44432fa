// PNG files of the screen, through libpng's simplified interface, always
// to and from memory: files are read through read_host_file and written
// through write_output_file.
#include <cstring>
#include <functional>

#include <png.h>
#include <zlib.h>

#include "device/png.h"
#include "base/host_file.h"
#include "base/output_file.h"

namespace sim {

namespace {

void set_error(std::string* error, const std::string& text) {
    if (error) *error = text;
}

const png_uint_32 kMostPixels = 16u << 20;

uint32_t big_endian(const std::string& bytes, size_t at) {
    auto b = [&](size_t i) { return uint32_t(static_cast<unsigned char>(bytes[at + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

// How many bytes the image data of a picture with this header inflates to
// (each row with its filter byte; an interlaced one pass by pass).
uint64_t image_data_bytes(uint32_t width, uint32_t height, unsigned depth, unsigned colour_type, bool interlaced) {
    static const unsigned kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    const uint64_t bits = uint64_t(depth) * (colour_type < 7 ? kChannels[colour_type] : 4);
    auto rows = [&](uint64_t w, uint64_t h) { return w && h ? h * (1 + (w * bits + 7) / 8) : 0; };
    if (!interlaced) return rows(width, height);
    // Adam7: where each pass starts and how far apart its pixels are.
    static const unsigned kX0[7] = {0, 4, 0, 2, 0, 1, 0}, kDx[7] = {8, 8, 4, 4, 2, 2, 1};
    static const unsigned kY0[7] = {0, 0, 4, 0, 2, 0, 1}, kDy[7] = {8, 8, 8, 4, 4, 2, 2};
    uint64_t total = 0;
    for (int p = 0; p < 7; ++p) {
        uint64_t w = width > kX0[p] ? (width - kX0[p] + kDx[p] - 1) / kDx[p] : 0;
        uint64_t h = height > kY0[p] ? (height - kY0[p] + kDy[p] - 1) / kDy[p] : 0;
        total += rows(w, h);
    }
    return total;
}

// Every chunk holds no more than the file does: libpng makes room for what
// a chunk's length says before it reads it (a 347-byte file whose text
// chunk says 464 MB took that much).  "" when the chunks fit.
std::string chunks_problem(const std::string& bytes) {
    // A chunk's length and name, then as many bytes, then its sum.
    for (size_t at = 8; at + 8 <= bytes.size();) {
        const uint32_t length = big_endian(bytes, at);
        if (uint64_t(length) + 12 > bytes.size() - at)
            return " has a chunk that says it holds " + std::to_string(length) + " bytes, more than the file holds";
        at += 12 + size_t(length);
    }
    return "";
}

// The picture's compressed image data inflates to no more than its header
// says it holds: a stream that goes on behind the rows (gigabytes of zeros
// in a few MiB) is refused at once rather than inflated for a minute.
// Everything else (the chunks' order and sums, the stream's own faults) is
// left to libpng; "" when nothing is wrong here.
std::string image_data_problem(const std::string& bytes) {
    const size_t kSignature = 8;
    if (bytes.size() < kSignature + 8 + 13 || bytes.compare(kSignature + 4, 4, "IHDR") != 0) return "";
    const size_t ihdr = kSignature + 8;
    const uint64_t most = image_data_bytes(big_endian(bytes, ihdr), big_endian(bytes, ihdr + 4),
                                           static_cast<unsigned char>(bytes[ihdr + 8]),
                                           static_cast<unsigned char>(bytes[ihdr + 9]), bytes[ihdr + 12] != 0);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return "";
    unsigned char out[65536];
    uint64_t inflated = 0;
    std::string problem;
    bool done = false;
    for (size_t at = kSignature; !done && at + 12 <= bytes.size();) {
        const uint32_t length = big_endian(bytes, at);
        if (length > bytes.size() - at - 12) break;  // chunks_problem says so
        if (bytes.compare(at + 4, 4, "IDAT") == 0) {
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + at + 8));
            z.avail_in = length;
            while (z.avail_in > 0 && !done) {
                z.next_out = out;
                z.avail_out = sizeof out;
                int r = inflate(&z, Z_NO_FLUSH);
                inflated += sizeof out - z.avail_out;
                if (inflated > most) {
                    problem = " holds more image data than its " + std::to_string(big_endian(bytes, ihdr)) + " x " +
                              std::to_string(big_endian(bytes, ihdr + 4)) + " pixels need";
                    done = true;
                } else if (r != Z_OK) {
                    done = true;  // the end of the stream, or a fault libpng names
                }
            }
        }
        at += 12 + size_t(length);
    }
    inflateEnd(&z);
    return problem;
}

// Decodes PNG bytes whose header's size `size_problem` takes ("" : it
// does; else " is W x H pixels, ..."), asked before any pixel is decoded
// or any room made for them.
bool decode(const std::string& bytes, const std::string& name, int* width, int* height, std::vector<uint8_t>* rgb,
            const std::function<std::string(png_uint_32 w, png_uint_32 h)>& size_problem, std::string* error) {
    std::string lie = chunks_problem(bytes);
    if (!lie.empty()) {
        set_error(error, name + lie);
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        set_error(error, one_line("cannot read " + name, image.message));
        png_image_free(&image);
        return false;
    }
    std::string problem = size_problem(image.width, image.height);
    if (problem.empty()) problem = image_data_problem(bytes);
    if (!problem.empty()) {
        set_error(error, name + problem);  // "p.png is 240 x 319 pixels, ..."
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    png_color black{0, 0, 0};
    if (!png_image_finish_read(&image, &black, pixels.data(), 0, nullptr)) {
        set_error(error, one_line("cannot read " + name, image.message));
        png_image_free(&image);
        return false;
    }
    *width = int(image.width);
    *height = int(image.height);
    *rgb = std::move(pixels);
    return true;
}

}  // namespace

bool write_png(const Framebuffer& fb, const std::string& path, int scale, std::string* error) {
    if (scale < 1 || scale > 16) {
        set_error(error, "screenshot scale must be 1 to 16, not " + std::to_string(scale));
        return false;
    }
    const int width = kScreenWidth * scale, height = kScreenHeight * scale;
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        uint8_t* out = rgb.data() + size_t(y) * size_t(width) * 3;
        if (y % scale != 0) {  // the row above, again
            std::memcpy(out, out - size_t(width) * 3, size_t(width) * 3);
            continue;
        }
        const uint16_t* row = fb.pixels[y / scale];
        for (int x = 0; x < kScreenWidth; ++x) {
            uint8_t r, g, b;
            rgb565_to_rgb(row[x], r, g, b);
            for (int i = 0; i < scale; ++i, out += 3) {
                out[0] = r;
                out[1] = g;
                out[2] = b;
            }
        }
    }
    return write_rgb_png(path, width, height, rgb, error);
}

bool encode_rgb_png(int width, int height, const std::vector<uint8_t>& rgb, std::string* png, std::string* error) {
    if (width < 1 || height < 1 || rgb.size() != size_t(width) * size_t(height) * 3) {
        set_error(error, "a picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels needs " +
                             std::to_string(size_t(width) * size_t(height) * 3) + " bytes, not " +
                             std::to_string(rgb.size()));
        return false;
    }
    // Rows written as they are, without trying each filter on each row: a
    // screen is mostly runs of one colour, which zlib packs as small as a
    // filtered row, and in a fraction of the time.
    struct Writer {
        std::string out;
        std::string message;
    } w;
    png_structp png_ptr = png_create_write_struct(
        PNG_LIBPNG_VER_STRING, &w,
        [](png_structp p, png_const_charp m) {
            static_cast<Writer*>(png_get_error_ptr(p))->message = m;
            png_longjmp(p, 1);
        },
        [](png_structp, png_const_charp) {});
    png_infop info = png_ptr ? png_create_info_struct(png_ptr) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png_ptr, nullptr);
        set_error(error, "cannot make the PNG picture: out of memory");
        return false;
    }
    std::vector<png_const_bytep> rows(static_cast<size_t>(height), nullptr);
    if (setjmp(png_jmpbuf(png_ptr))) {
        png_destroy_write_struct(&png_ptr, &info);
        set_error(error, "cannot make the PNG picture: " + w.message);
        return false;
    }
    png_set_write_fn(
        png_ptr, &w,
        [](png_structp p, png_bytep data, png_size_t size) {
            static_cast<Writer*>(png_get_io_ptr(p))->out.append(reinterpret_cast<const char*>(data), size);
        },
        nullptr);
    png_set_IHDR(png_ptr, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png_ptr, Z_DEFAULT_COMPRESSION);
    png_set_filter(png_ptr, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    for (int y = 0; y < height; ++y) rows[size_t(y)] = rgb.data() + size_t(y) * size_t(width) * 3;
    png_write_info(png_ptr, info);
    png_write_rows(png_ptr, const_cast<png_bytepp>(rows.data()), png_uint_32(height));
    png_write_end(png_ptr, info);
    png_destroy_write_struct(&png_ptr, &info);
    *png = std::move(w.out);
    return true;
}

bool write_rgb_png(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                   std::string* error) {
    std::string png, why;
    if (!encode_rgb_png(width, height, rgb, &png, &why)) {
        set_error(error, path + ": cannot write: " + why);
        return false;
    }
    std::string e;
    if (!write_output_file(path, png, &e)) {
        set_error(error, e);
        return false;
    }
    return true;
}

bool read_screen_picture(const std::string& bytes, const std::string& name, std::vector<uint8_t>* rgb,
                         std::string* error) {
    int width = 0, height = 0;
    return decode(
        bytes, name, &width, &height, rgb,
        [](png_uint_32 w, png_uint_32 h) {
            if (w == png_uint_32(kScreenWidth) && h == png_uint_32(kScreenHeight)) return std::string();
            return " is " + std::to_string(w) + " x " + std::to_string(h) + " pixels, not the screen's " +
                   std::to_string(kScreenWidth) + " x " + std::to_string(kScreenHeight);
        },
        error);
}

bool read_png(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb, std::string* error) {
    std::string bytes, why;
    if (!read_host_file(path, kMaxPictureBytes, Links::Follow, &bytes, &why)) {
        set_error(error, "cannot read " + path + ": " + why);
        return false;
    }
    return decode(
        bytes, path, &width, &height, &rgb,
        [](png_uint_32 w, png_uint_32 h) {
            if (uint64_t(w) * h <= kMostPixels) return std::string();
            return " is " + std::to_string(w) + " x " + std::to_string(h) + " pixels, more than a picture read";
        },
        error);
}

}  // namespace sim
