#include "convert/PixelFilters.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "convert/WideFilters.h"

namespace wedmorph {

namespace {

// Tiles are 64 pixels wide: a row's key pixels fit one 64-bit mask, bit c for
// column c. Runs, neighbours and neighbour counts then take a few word
// operations per row; bytes are touched only where one is written.
constexpr int kRow = 64;

std::uint64_t keyMask(const std::uint8_t* row) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    std::uint64_t mask = 0;
    for (int block = 0; block < 4; ++block) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 16 * block));
        const auto bits = static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)));
        mask |= std::uint64_t{bits} << (16 * block);
    }
    return mask;
#else
    std::uint64_t mask = 0;
    for (int c = 0; c < kRow; ++c) mask |= std::uint64_t{row[c] == 0} << c;
    return mask;
#endif
}

// Writes in[c - 1] (in[1] for column 0) into out[c] for every key pixel c of a
// row whose key mask is `keys`, from the right: `out` may be `in`.
void fillRow(const std::uint8_t* in, std::uint8_t* out, std::uint64_t keys) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int block = 3; block >= 0; --block) {
        if (((keys >> (16 * block)) & 0xFFFF) == 0) continue;
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * block));
        // The left neighbours; within block 0 column 0 gets a placeholder, set below.
        const __m128i left =
            block == 0 ? _mm_slli_si128(here, 1)
                       : _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * block - 1));
        const __m128i key = _mm_cmpeq_epi8(here, zero);
        auto* target = reinterpret_cast<__m128i*>(out + 16 * block);
        const __m128i kept = _mm_andnot_si128(key, _mm_loadu_si128(target));
        _mm_storeu_si128(target, _mm_or_si128(kept, _mm_and_si128(key, left)));
    }
    if (keys & 1) out[0] = in[1];
#else
    for (std::uint64_t left = keys; left != 0; left &= ~(std::uint64_t{1} << (63 - std::countl_zero(left)))) {
        const int c = 63 - std::countl_zero(left);
        out[c] = c == 0 ? in[1] : in[c - 1];
    }
#endif
}

void clearPixels(std::uint8_t* out, std::uint64_t cleared) {
    for (; cleared != 0; cleared &= cleared - 1) out[std::countr_zero(cleared)] = 0;
}

bool fillKeyPixelsInRows(const std::uint8_t* source, std::uint8_t* destination, int height) {
    bool runsLeft = false;
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* in = source + r * kRow;
        const std::uint64_t keys = keyMask(in);
        if (keys == 0) continue;
        runsLeft |= (keys & (keys << 1)) != 0;  // a key pixel right of another
        fillRow(in, destination + r * kRow, keys);
    }
    return runsLeft;
}

// In place, every row from its right end, sixteen pixels at a time: each
// pixel is read before its left neighbour is written, and a key pixel (0)
// takes its left neighbour by an or. No row's mask is needed.
bool fillKeyPixelsInPlace(std::uint8_t* pixels, int height) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    // Column 0 has no left neighbour in its row: no run starts it.
    const __m128i notFirst = _mm_slli_si128(_mm_cmpeq_epi8(zero, zero), 1);
    __m128i runs = zero;
    for (int r = 0; r < height; ++r) {
        std::uint8_t* row = pixels + r * kRow;
        const bool firstIsKey = row[0] == 0;
        for (int block = 3; block >= 0; --block) {
            auto* at = reinterpret_cast<__m128i*>(row + 16 * block);
            const __m128i here = _mm_loadu_si128(at);
            const __m128i left = block == 0 ? _mm_slli_si128(here, 1)
                                            : _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 16 * block - 1));
            const __m128i key = _mm_cmpeq_epi8(here, zero);
            __m128i run = _mm_and_si128(key, _mm_cmpeq_epi8(left, zero));
            if (block == 0) run = _mm_and_si128(run, notFirst);
            runs = _mm_or_si128(runs, run);
            _mm_storeu_si128(at, _mm_or_si128(here, _mm_and_si128(key, left)));
        }
        if (firstIsKey) row[0] = row[1];
    }
    return _mm_movemask_epi8(runs) != 0;
#else
    return fillKeyPixelsInRows(pixels, pixels, height);
#endif
}

// First and last rows: the pixels beside them in the row, and in the
// corners the one inside the row together with the one across.
void trimEdgeRows(const std::uint8_t* source, std::uint8_t* destination, int height) {
    constexpr std::uint64_t kFirst = 1, kLast = std::uint64_t{1} << 63;
    constexpr std::uint64_t kMiddle = ~(kFirst | kLast);
    auto edgeRow = [&](int r, int across) {
        const std::uint64_t keys = keyMask(source + r * kRow);
        const std::uint64_t other = keyMask(source + across * kRow);
        const std::uint64_t left = keys << 1, right = keys >> 1;
        const std::uint64_t cleared =
            ~keys & (((left & right) & kMiddle) | (right & other & kFirst) | (left & other & kLast));
        clearPixels(destination + r * kRow, cleared);
    };
    edgeRow(0, 1);
    edgeRow(height - 1, height - 2);
}

void trimEdgesInRows(const std::uint8_t* source, std::uint8_t* destination, int height) {
    trimEdgeRows(source, destination, height);
    // Inner rows: two of the four neighbours, where the left of column 0 is
    // the previous row's last pixel and the right of column 63 the next row's first.
    std::uint64_t above = keyMask(source);
    std::uint64_t keys = keyMask(source + kRow);
    for (int r = 1; r < height - 1; ++r) {
        const std::uint64_t below = keyMask(source + (r + 1) * kRow);
        const std::uint64_t left = (keys << 1) | (above >> 63);
        const std::uint64_t right = (keys >> 1) | (below << 63);
        const std::uint64_t twoOrMore =
            ((above | below) & (left | right)) | (above & below) | (left & right);
        clearPixels(destination + r * kRow, twoOrMore & ~keys);
        above = keys;
        keys = below;
    }
}

}  // namespace

bool fillKeyPixels(const std::uint8_t* source, std::uint8_t* destination, int width, int height) {
    if (width < 2 || height < 2) return false;
    if (width == kRow) {
        if (destination == source) {
            return wide::available() ? wide::fillInPlace(destination, height)
                                     : fillKeyPixelsInPlace(destination, height);
        }
        return fillKeyPixelsInRows(source, destination, height);
    }
    bool runsLeft = false;
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* in = source + static_cast<long>(r) * width;
        std::uint8_t* out = destination + static_cast<long>(r) * width;
        int run = 0;
        for (int c = width - 1; c >= 0; --c) {
            if (in[c] != 0) {
                run = 0;
                continue;
            }
            ++run;
            out[c] = c == 0 ? in[1] : in[c - 1];
            if (run >= 2) runsLeft = true;
        }
    }
    return runsLeft;
}

void copyTrimmingOverlayEdges(const std::uint8_t* source, std::uint8_t* destination, int width, int height) {
    if (width == kRow && height >= 2) {
        if (!wide::available()) {
            std::copy_n(source, height * kRow, destination);
            trimEdgesInRows(source, destination, height);
            return;
        }
        const int last = (height - 1) * kRow;
        std::copy_n(source, kRow, destination);
        std::copy_n(source + last, kRow, destination + last);
        trimEdgeRows(source, destination, height);
        wide::copyTrimmedInnerRows(source, destination, height);
        return;
    }
    std::copy_n(source, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), destination);
    trimOverlayEdges(source, destination, width, height);
}

void trimOverlayEdges(const std::uint8_t* source, std::uint8_t* destination, int width,
                      int height) {
    if (width < 2 || height < 2) return;
    if (width == kRow) {
        trimEdgesInRows(source, destination, height);
        return;
    }
    const long w = width;
    const long last = w - 1;
    auto key = [&](long at) { return source[at] == 0; };

    for (int edge = 0; edge < 2; ++edge) {
        const long row = edge == 0 ? 0 : static_cast<long>(height - 1) * w;
        const long across = edge == 0 ? w : -w;
        for (long c = 0; c < w; ++c) {
            const long at = row + c;
            if (key(at)) continue;
            bool clear;
            if (c == 0) {
                clear = key(at + 1) && key(at + across);
            } else if (c == last) {
                clear = key(at - 1) && key(at + across);
            } else {
                clear = key(at - 1) && key(at + 1);
            }
            if (clear) destination[at] = 0;
        }
    }

    for (long r = 1; r < height - 1; ++r) {
        for (long c = 0; c < w; ++c) {
            const long at = r * w + c;
            if (key(at)) continue;
            const int keyed = key(at - w) + key(at + w) + key(at - 1) + key(at + 1);
            if (keyed >= 2) destination[at] = 0;
        }
    }
}

}  // namespace wedmorph
