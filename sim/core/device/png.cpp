// PNG files of the screen, through libpng's simplified interface.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <png.h>

#include "device/png.h"
#include "files/host_file.h"

namespace sim {

namespace {

void set_error(std::string* error, const std::string& text) {
    if (error) *error = text;
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

bool write_rgb_png(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                   std::string* error) {
    // The name as given, whole: no NUL or control character cuts it short,
    // and a symbolic link in its place is not followed.
    if (has_control_character(path)) {
        set_error(error, "cannot write a screenshot whose name holds a control character");
        return false;
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        set_error(error, "cannot write " + path + ": " +
                             (errno == ELOOP ? std::string("a symbolic link is in its place") : std::strerror(errno)));
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0) {
        set_error(error, "cannot write " + path + ": " + std::strerror(errno));
        ::close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        set_error(error, "cannot write " + path + ": " + std::strerror(errno));
        ::close(fd);
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    bool written = png_image_write_to_stdio(&image, file, 0, rgb.data(), width * 3, nullptr);
    bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        set_error(error, "cannot write " + path + ": " + (written ? std::string("the file could not be closed")
                                                                  : std::string(image.message)));
        png_image_free(&image);
        return false;
    }
    return true;
}

bool read_png(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb, std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        set_error(error, "cannot read " + path + ": " + image.message);
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    png_color black{0, 0, 0};
    if (!png_image_finish_read(&image, &black, pixels.data(), 0, nullptr)) {
        set_error(error, "cannot read " + path + ": " + image.message);
        png_image_free(&image);
        return false;
    }
    width = int(image.width);
    height = int(image.height);
    rgb = std::move(pixels);
    return true;
}

}  // namespace sim
