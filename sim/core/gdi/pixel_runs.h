// Operations on a run of pixels (or owner map entries) along a row, in
// blocks of eight so that the compiler stores and compares them as vectors.
#pragma once

#include <cstdint>
#include <cstring>

namespace sim {

template <typename T>
inline void fill_run(T* p, int n, T v) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        p[i] = v;
        p[i + 1] = v;
        p[i + 2] = v;
        p[i + 3] = v;
        p[i + 4] = v;
        p[i + 5] = v;
        p[i + 6] = v;
        p[i + 7] = v;
    }
    for (; i < n; ++i) p[i] = v;
}

// Whether the eight owners from p are all `owner`.
inline bool eight_owned(const uint32_t* p, uint32_t owner) {
    return ((p[0] ^ owner) | (p[1] ^ owner) | (p[2] ^ owner) | (p[3] ^ owner) | (p[4] ^ owner) | (p[5] ^ owner) |
            (p[6] ^ owner) | (p[7] ^ owner)) == 0;
}

// Sets to `colour` the pixels of the run whose owner is `owner`.
inline void fill_owned(uint16_t* pixels, const uint32_t* owners, int n, uint32_t owner, uint16_t colour) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        if (eight_owned(owners + i, owner)) {
            fill_run(pixels + i, 8, colour);
            continue;
        }
        for (int k = i; k < i + 8; ++k)
            if (owners[k] == owner) pixels[k] = colour;
    }
    for (; i < n; ++i)
        if (owners[i] == owner) pixels[i] = colour;
}

// Copies `from` onto the pixels of the run whose owner is `owner`.
inline void copy_owned(uint16_t* pixels, const uint16_t* from, const uint32_t* owners, int n, uint32_t owner) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        if (eight_owned(owners + i, owner)) {
            std::memcpy(pixels + i, from + i, 8 * sizeof *pixels);
            continue;
        }
        for (int k = i; k < i + 8; ++k)
            if (owners[k] == owner) pixels[k] = from[k];
    }
    for (; i < n; ++i)
        if (owners[i] == owner) pixels[i] = from[i];
}

}  // namespace sim
