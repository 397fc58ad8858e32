#include "support/ReferenceConversion.h"

#include <algorithm>
#include <cstring>

namespace wedmorph::test {

namespace {

constexpr int kTile = 5120;
constexpr int kPalette = 1024;

unsigned u16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | b[at + 1] << 8; }
int s16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(u16(b, at)));
}
std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

bool keyed(const std::uint8_t* tile) { return tile[0] == 0 && tile[1] == 0xFF && tile[2] == 0; }

void solidify(const std::uint8_t* in, std::uint8_t* out) {
    if (referenceFillKeyPixels(in + kPalette, out + kPalette, 64, 64)) {
        out[0] = 0x61;
        out[1] = 0x42;
        out[2] = 0x29;
    }
}

}  // namespace

bool referenceFillKeyPixels(const std::uint8_t* source, std::uint8_t* destination, int width,
                            int height) {
    if (width < 2 || height < 2) return false;
    bool adjacentKeys = false;
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* row = source + r * width;
        for (int c = 0; c < width; ++c) {
            if (row[c] != 0) continue;
            destination[r * width + c] = c == 0 ? row[1] : row[c - 1];
            if (c > 0 && row[c - 1] == 0) adjacentKeys = true;
        }
    }
    return adjacentKeys;
}

void referenceTrimOverlayEdges(const std::uint8_t* source, std::uint8_t* destination, int width,
                               int height) {
    if (width < 2 || height < 2) return;
    auto key = [&](int flat) { return source[flat] == 0; };
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            const int at = r * width + c;
            if (key(at)) continue;
            const bool first = r == 0, last = r == height - 1;
            bool clear = false;
            if (first || last) {
                const int across = first ? at + width : at - width;
                if (c == 0) {
                    clear = key(at + 1) && key(across);
                } else if (c == width - 1) {
                    clear = key(at - 1) && key(across);
                } else {
                    clear = key(at - 1) && key(at + 1);
                }
            } else {
                int count = 0;
                for (int neighbour : {at - width, at + width, at - 1, at + 1}) count += key(neighbour);
                clear = count >= 2;
            }
            if (clear) destination[at] = 0;
        }
    }
}

ReferenceOutput referenceConversion(const std::vector<std::uint8_t>& wed,
                                    const std::vector<std::uint8_t>& tis,
                                    const std::string& outputName, bool saveHeader) {
    ReferenceOutput out;
    const std::uint32_t table = u32(wed, 16);
    const int width = s16(wed, table), height = s16(wed, table + 2);
    const std::uint32_t tilemap = u32(wed, table + 16);
    const int cells = width * height;
    auto entry = [&](int k) { return tilemap + 10 * static_cast<std::size_t>(k); };

    out.basicTiles = cells;
    int highestSecondary = -1;
    // The tiles that overlay 0's lookup table names for the cells' frames;
    // offset 0 is no table, and entries past the end of the file name nothing.
    const std::uint64_t lookup = u32(wed, table + 20);
    int highestLooked = -1;
    for (int k = 0; k < cells; ++k) {
        const int frames = s16(wed, entry(k) + 2), secondary = s16(wed, entry(k) + 4);
        highestSecondary = std::max(highestSecondary, secondary);
        for (int f = 0; f < frames && lookup != 0; ++f) {
            const std::uint64_t at = lookup + 2 * (u16(wed, entry(k)) + static_cast<std::uint64_t>(f));
            if (at + 2 > wed.size()) continue;
            highestLooked = std::max(highestLooked, static_cast<int>(u16(wed, static_cast<std::size_t>(at))));
        }
        const int mask = wed[entry(k) + 6];
        if (secondary > 0) ++out.doorExtraTiles;
        if (mask != 0 && secondary > 0) ++out.overlayedDoorTiles;
        if (frames > 1) {
            out.basicTiles += frames;
            out.animationExtraTiles += frames;
        }
    }

    const bool hasHeader = tis.size() >= 3 && tis[0] == 'T' && tis[1] == 'I' && tis[2] == 'S';
    const std::size_t first = hasHeader ? u32(tis, 16) : 0;
    const std::size_t inFile = std::min(tis.size() / kTile, (tis.size() - first) / kTile);
    // Every tile a cell names is kept, past the counted ones included. The run
    // refuses a TIS without every tile a door cell names; the lookup table
    // may name tiles the file does not hold.
    const int kept = std::max({out.basicTiles + out.doorExtraTiles, highestSecondary + 1, highestLooked + 1});
    out.copiedTiles = static_cast<int>(std::min<std::size_t>(inFile, static_cast<std::size_t>(kept)));
    const std::uint8_t* input = tis.data() + first;

    std::vector<std::uint8_t> tiles(input, input + static_cast<std::size_t>(out.copiedTiles) * kTile);
    std::vector<std::uint8_t> extras;
    out.wed = wed;
    for (std::size_t i = 0; i < 8; ++i) {
        out.wed[table + 4 + i] = i < outputName.size() ? static_cast<std::uint8_t>(outputName[i]) : 0;
    }

    int next = out.copiedTiles;
    for (int o = 1; o <= 4; ++o) {
        const std::size_t record = table + 24 * static_cast<std::size_t>(o);
        if (s16(wed, record) <= 0 || s16(wed, record + 2) <= 0) continue;
        for (int i = 0; i < out.basicTiles; ++i) {
            if (i >= cells || i >= out.copiedTiles) continue;
            if (wed[entry(i) + 6] != (1 << o)) continue;
            const std::uint8_t* in = input + static_cast<std::size_t>(i) * kTile;
            if (!keyed(in)) {
                out.wed[entry(i) + 6] = 0;
                continue;
            }
            solidify(in, tiles.data() + static_cast<std::size_t>(i) * kTile);
            if (s16(wed, entry(i) + 4) >= 0) {
                out.wed[entry(i) + 6] = 0;
                continue;
            }
            const std::size_t at = extras.size();
            extras.insert(extras.end(), in, in + kTile);
            referenceTrimOverlayEdges(in + kPalette, extras.data() + at + kPalette, 64, 64);
            out.wed[entry(i) + 4] = static_cast<std::uint8_t>(next);
            out.wed[entry(i) + 5] = static_cast<std::uint8_t>(next >> 8);
            ++next;
            ++out.extraTiles;
        }
    }
    for (int j = std::max(out.basicTiles, 0); j < out.copiedTiles; ++j) {
        const std::uint8_t* in = input + static_cast<std::size_t>(j) * kTile;
        if (keyed(in)) solidify(in, tiles.data() + static_cast<std::size_t>(j) * kTile);
    }

    if (saveHeader) {
        const std::uint8_t header[24] = {'T', 'I', 'S', ' ', 'V', '1', ' ', ' ',
                                         static_cast<std::uint8_t>(next),
                                         static_cast<std::uint8_t>(next >> 8),
                                         static_cast<std::uint8_t>(next >> 16),
                                         static_cast<std::uint8_t>(next >> 24),
                                         0x00, 0x14, 0, 0, 0x18, 0, 0, 0, 0x40, 0, 0, 0};
        out.tis.assign(header, header + 24);
    }
    out.tis.insert(out.tis.end(), tiles.begin(), tiles.end());
    out.tis.insert(out.tis.end(), extras.begin(), extras.end());
    return out;
}

}  // namespace wedmorph::test
