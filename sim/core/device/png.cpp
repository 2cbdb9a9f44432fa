// PNG files of the screen, through libpng's simplified interface, always
// to and from memory: files are read through read_host_file and written
// through write_output_file.
#include <cstring>
#include <functional>

#include <png.h>

#include "device/png.h"
#include "files/host_file.h"
#include "files/output_file.h"

namespace sim {

namespace {

void set_error(std::string* error, const std::string& text) {
    if (error) *error = text;
}

const png_uint_32 kMostPixels = 16u << 20;

// Decodes PNG bytes whose header's size `size_problem` takes ("" : it
// does; else " is W x H pixels, ..."), asked before any pixel is decoded
// or any room made for them.
bool decode(const std::string& bytes, const std::string& name, int* width, int* height, std::vector<uint8_t>* rgb,
            const std::function<std::string(png_uint_32 w, png_uint_32 h)>& size_problem, std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        set_error(error, one_line("cannot read " + name, image.message));
        png_image_free(&image);
        return false;
    }
    std::string problem = size_problem(image.width, image.height);
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
        for (int x = 0; x < width; ++x, out += 3) rgb565_to_rgb(fb.pixels[y / scale][x / scale], out[0], out[1], out[2]);
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
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&image, &out[0], &size, 0, rgb.data(), width * 3, nullptr)) {
        set_error(error, std::string("cannot make the PNG picture: ") + image.message);
        png_image_free(&image);
        return false;
    }
    out.resize(size);
    *png = std::move(out);
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
