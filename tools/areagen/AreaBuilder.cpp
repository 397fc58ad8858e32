#include "areagen/AreaBuilder.h"

#include <cstdio>
#include <cstring>

#include "formats/LittleEndian.h"
#include "formats/Wed.h"

namespace wedmorph::areagen {

namespace {

constexpr std::size_t kWedHeaderSize = 32;
constexpr std::size_t kSecondaryHeaderSize = 20;
constexpr std::size_t kDoorSize = 26;
constexpr std::size_t kWallGroupSize = 4;
constexpr std::size_t kEntrySize = wed::kEntrySize;

std::size_t cellsOf(const OverlayPlan& overlay) {
    if (overlay.width <= 0 || overlay.height <= 0) return 0;
    return static_cast<std::size_t>(overlay.width) * static_cast<std::size_t>(overlay.height);
}

void writeName(std::vector<std::uint8_t>& bytes, std::size_t at, const std::string& name) {
    for (std::size_t i = 0; i < 8 && i < name.size(); ++i) bytes[at + i] = static_cast<std::uint8_t>(name[i]);
}

void writeEntry(std::span<std::uint8_t> out, std::size_t at, std::size_t firstLookup, const CellPlan& cell) {
    writeU16(out, at, static_cast<std::uint16_t>(firstLookup));
    writeU16(out, at + 2, static_cast<std::uint16_t>(cell.frameCount));
    writeU16(out, at + 4, static_cast<std::uint16_t>(cell.secondaryTile));
    out[at + 6] = cell.overlayMask;
}

}  // namespace

std::uint64_t Random::next() {
    // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::vector<std::uint8_t> buildWed(const WedPlan& plan) {
    constexpr int kOverlays = wed::kOverlayCount;
    std::size_t extraFrames = 0;
    for (const CellPlan& cell : plan.cells) {
        if (cell.frameCount > 1) extraFrames += static_cast<std::size_t>(cell.frameCount - 1);
    }
    std::array<std::size_t, kOverlays> cells{}, lookupEntries{};
    cells[0] = plan.cells.size();
    lookupEntries[0] = plan.withTileLookup ? cells[0] + extraFrames : 0;
    for (int o = 1; o < kOverlays; ++o) {
        const OverlayPlan& overlay = plan.overlays[static_cast<std::size_t>(o)];
        cells[static_cast<std::size_t>(o)] = cellsOf(overlay);
        lookupEntries[static_cast<std::size_t>(o)] =
            cellsOf(overlay) > 0 ? static_cast<std::size_t>(std::max<std::int16_t>(overlay.frames, 1)) : 0;
    }
    std::size_t doorCellCount = 0;
    for (const DoorPlan& door : plan.doors) doorCellCount += door.cells.size();
    const OverlayPlan& base = plan.overlays[0];
    const std::size_t wallGroupCount =
        cells[0] == 0 ? 0
                      : static_cast<std::size_t>((base.width + 9) / 10) * static_cast<std::size_t>((2 * base.height + 14) / 15);

    // The sections one after another, in the order real files have them.
    std::size_t end = 0;
    auto place = [&end](std::size_t bytes) {
        const std::size_t start = end;
        end += bytes;
        return start;
    };
    place(kWedHeaderSize);
    const std::size_t overlayTable = place(wed::kOverlaySize * kOverlays);
    const std::size_t secondaryHeader = place(kSecondaryHeaderSize);
    const std::size_t doorTable = place(kDoorSize * plan.doors.size());
    std::array<std::size_t, kOverlays> tilemaps{}, lookups{};
    for (int o = 0; o < kOverlays; ++o) tilemaps[static_cast<std::size_t>(o)] = place(kEntrySize * cells[static_cast<std::size_t>(o)]);
    const std::size_t doorCells = place(2 * doorCellCount);
    for (int o = 0; o < kOverlays; ++o) lookups[static_cast<std::size_t>(o)] = place(2 * lookupEntries[static_cast<std::size_t>(o)]);
    const std::size_t wallGroups = place(kWallGroupSize * wallGroupCount);
    const std::size_t polygons = place(0);  // no wall polygons, no vertices, no polygon lookup

    std::vector<std::uint8_t> bytes(end, 0);
    std::span<std::uint8_t> out(bytes);
    std::memcpy(bytes.data(), "WED ", 4);
    for (std::size_t i = 0; i < 4 && i < plan.version.size(); ++i) bytes[4 + i] = static_cast<std::uint8_t>(plan.version[i]);
    writeU32(out, 8, kOverlays);
    writeU32(out, 12, static_cast<std::uint32_t>(plan.doors.size()));
    writeU32(out, 16, static_cast<std::uint32_t>(overlayTable));
    writeU32(out, 20, static_cast<std::uint32_t>(secondaryHeader));
    writeU32(out, 24, static_cast<std::uint32_t>(doorTable));
    writeU32(out, 28, static_cast<std::uint32_t>(doorCells));

    for (int o = 0; o < kOverlays; ++o) {
        const std::size_t n = static_cast<std::size_t>(o);
        const OverlayPlan& overlay = plan.overlays[n];
        const std::size_t at = overlayTable + wed::kOverlaySize * n;
        writeU16(out, at, static_cast<std::uint16_t>(overlay.width));
        writeU16(out, at + 2, static_cast<std::uint16_t>(overlay.height));
        writeName(bytes, at + 4, overlay.tilesetName);
        writeU16(out, at + 12, static_cast<std::uint16_t>(lookupEntries[n]));  // distinct tiles
        writeU32(out, at + 16, static_cast<std::uint32_t>(tilemaps[n]));
        writeU32(out, at + 20, static_cast<std::uint32_t>(lookups[n]));
    }

    writeU32(out, secondaryHeader, 0);  // wall polygons
    writeU32(out, secondaryHeader + 4, static_cast<std::uint32_t>(polygons));
    writeU32(out, secondaryHeader + 8, static_cast<std::uint32_t>(polygons));  // vertices
    writeU32(out, secondaryHeader + 12, static_cast<std::uint32_t>(wallGroups));
    writeU32(out, secondaryHeader + 16, static_cast<std::uint32_t>(polygons));  // polygon index lookup

    std::size_t nextDoorCell = 0;
    for (std::size_t d = 0; d < plan.doors.size(); ++d) {
        const DoorPlan& door = plan.doors[d];
        const std::size_t at = doorTable + kDoorSize * d;
        writeName(bytes, at, door.name);
        writeU16(out, at + 10, static_cast<std::uint16_t>(nextDoorCell));
        writeU16(out, at + 12, static_cast<std::uint16_t>(door.cells.size()));
        writeU32(out, at + 18, static_cast<std::uint32_t>(polygons));  // open polygons: none
        writeU32(out, at + 22, static_cast<std::uint32_t>(polygons));  // closed polygons: none
        for (std::uint16_t cell : door.cells) writeU16(out, doorCells + 2 * nextDoorCell++, cell);
    }

    std::size_t nextLookup = 0;
    std::uint16_t nextFrameTile = static_cast<std::uint16_t>(cells[0]);
    for (std::size_t k = 0; k < cells[0]; ++k) {
        const CellPlan& cell = plan.cells[k];
        writeEntry(out, tilemaps[0] + kEntrySize * k, nextLookup, cell);
        if (!plan.withTileLookup) continue;
        writeU16(out, lookups[0] + 2 * nextLookup++, static_cast<std::uint16_t>(k));
        for (int f = 1; f < cell.frameCount; ++f) {
            writeU16(out, lookups[0] + 2 * nextLookup++, nextFrameTile++);
        }
    }
    for (std::size_t o = 1; o < kOverlays; ++o) {
        const CellPlan animated{static_cast<std::int16_t>(lookupEntries[o]), -1, 0};
        for (std::size_t k = 0; k < cells[o]; ++k) writeEntry(out, tilemaps[o] + kEntrySize * k, 0, animated);
        for (std::size_t f = 0; f < lookupEntries[o]; ++f) {
            writeU16(out, lookups[o] + 2 * f, static_cast<std::uint16_t>(f));
        }
    }
    return bytes;
}

Tile makeTile(std::uint64_t seed, std::uint8_t fill) {
    Tile tile{};
    Random random(seed);
    for (std::size_t entry = 0; entry < 256; ++entry) {
        const std::uint64_t colour = random.next();
        tile[4 * entry] = static_cast<std::uint8_t>(colour);
        tile[4 * entry + 1] = static_cast<std::uint8_t>(colour >> 8);
        tile[4 * entry + 2] = static_cast<std::uint8_t>(colour >> 16);
        tile[4 * entry + 3] = 0;
    }
    // Entry 0 of an ordinary tile is never pure green.
    if (isKeyColour(tile.data())) tile[1] = 0xFE;
    std::memset(tile.data() + tis::kPaletteSize, fill, tis::kPixelCount);
    return tile;
}

void setKeyColour(Tile& tile, std::uint8_t fourthByte) {
    tile[0] = 0x00;
    tile[1] = 0xFF;
    tile[2] = 0x00;
    tile[3] = fourthByte;
}

std::vector<std::uint8_t> buildTis(const std::vector<Tile>& tiles, bool withHeader) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(tis::kHeaderSize + tiles.size() * tis::kTileSize);
    if (withHeader) {
        const TisHeader header = makeTisHeader(static_cast<std::uint32_t>(tiles.size()));
        bytes.insert(bytes.end(), header.begin(), header.end());
    }
    for (const Tile& tile : tiles) bytes.insert(bytes.end(), tile.begin(), tile.end());
    return bytes;
}

std::vector<std::uint8_t> buildMos(int width, int height, std::uint64_t seed) {
    std::vector<std::uint8_t> bytes(24, 0);
    std::memcpy(bytes.data(), "MOS V1  ", 8);
    std::span<std::uint8_t> out(bytes);
    writeU16(out, 8, static_cast<std::uint16_t>(width));
    writeU16(out, 10, static_cast<std::uint16_t>(height));
    Random random(seed);
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<std::uint8_t>(random.next()));
    return bytes;
}

std::vector<std::uint8_t> buildBitmap(int width, int height, std::uint64_t seed) {
    // An uncompressed 24-bit BMP; rows padded to four bytes.
    const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const std::size_t pixels = row * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> bytes(54 + pixels, 0);
    std::span<std::uint8_t> out(bytes);
    bytes[0] = 'B';
    bytes[1] = 'M';
    writeU32(out, 2, static_cast<std::uint32_t>(bytes.size()));
    writeU32(out, 10, 54);
    writeU32(out, 14, 40);
    writeU32(out, 18, static_cast<std::uint32_t>(width));
    writeU32(out, 22, static_cast<std::uint32_t>(height));
    writeU16(out, 26, 1);
    writeU16(out, 28, 24);
    writeU32(out, 34, static_cast<std::uint32_t>(pixels));
    Random random(seed);
    for (std::size_t i = 54; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(random.next());
    }
    return bytes;
}

bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return (std::fclose(file) == 0) && ok;
}

}  // namespace wedmorph::areagen
