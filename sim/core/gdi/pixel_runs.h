// Operations on a run of pixels (or owner map entries) along a row, eight
// at a time: in blocks the compiler stores as vectors, and with SSE2 where
// the owner map decides which pixels are written.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sim {

#if defined(__SSE2__)
// The eight owners from p against `want` (four copies of an owner): a
// 16-bit lane of all ones for each that is the owner.
inline __m128i owned_mask(const uint32_t* p, __m128i want) {
    __m128i low = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), want);
    __m128i high = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4)), want);
    return _mm_packs_epi32(low, high);
}
#endif

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

// Sets to `colour` the pixels of the run whose owner is `owner`.
inline void fill_owned(uint16_t* pixels, const uint32_t* owners, int n, uint32_t owner, uint16_t colour) {
    int i = 0;
#if defined(__SSE2__)
    // Eight at a time: the owners compared to a mask of 16-bit lanes, the
    // colour where the mask is set and the pixel as it was elsewhere.
    const __m128i want = _mm_set1_epi32(int(owner));
    const __m128i fill = _mm_set1_epi16(short(colour));
    for (; i + 8 <= n; i += 8) {
        __m128i mask = owned_mask(owners + i, want);
        __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i),
                         _mm_or_si128(_mm_and_si128(mask, fill), _mm_andnot_si128(mask, old)));
    }
#endif
    for (; i < n; ++i)
        if (owners[i] == owner) pixels[i] = colour;
}

// Copies `from` onto the pixels of the run whose owner is `owner`.
inline void copy_owned(uint16_t* pixels, const uint16_t* from, const uint32_t* owners, int n, uint32_t owner) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i want = _mm_set1_epi32(int(owner));
    for (; i + 8 <= n; i += 8) {
        __m128i mask = owned_mask(owners + i, want);
        __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
        __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i),
                         _mm_or_si128(_mm_and_si128(mask, now), _mm_andnot_si128(mask, old)));
    }
#endif
    for (; i < n; ++i)
        if (owners[i] == owner) pixels[i] = from[i];
}

}  // namespace sim
