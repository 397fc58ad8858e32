#include "convert/PixelFilters.h"

namespace wedmorph {

bool fillKeyPixels(const std::uint8_t* source, std::uint8_t* destination, int width, int height) {
    if (width < 2 || height < 2) return false;
    bool runsLeft = false;
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* in = source + static_cast<long>(r) * width;
        std::uint8_t* out = destination + static_cast<long>(r) * width;
        int run = 0;
        for (int c = 0; c < width; ++c) {
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

void trimOverlayEdges(const std::uint8_t* source, std::uint8_t* destination, int width,
                      int height) {
    if (width < 2 || height < 2) return;
    const long w = width;
    const long last = w - 1;
    auto key = [&](long at) { return source[at] == 0; };

    // First and last rows: only the row neighbours count, and in the corners
    // the one neighbour inside the row together with the one across.
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

    // Inner rows: the four neighbours, the left and right ones being the bytes
    // just before and after the pixel, across the row boundary at the ends.
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
