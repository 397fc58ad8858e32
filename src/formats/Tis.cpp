#include "formats/Tis.h"

#include "formats/LittleEndian.h"

#include <algorithm>

namespace wedmorph {

TisReading readTisSource(std::span<const std::uint8_t> mapped) {
    TisReading reading;
    TisSource& source = reading.source;
    // The file's size is read as a 32-bit value: a file of 4 GiB or more is
    // seen as its size modulo 2^32, and the tiles past that are not counted.
    const std::size_t size = static_cast<std::uint32_t>(mapped.size());
    source.hasHeader = size >= 3 && mapped[0] == 'T' && mapped[1] == 'I' && mapped[2] == 'S';
    if (source.hasHeader) {
        if (size < tis::kHeaderSize) return reading;
        const std::uint32_t tileLength = readU32(mapped, tis::kTileLength);
        if (tileLength == tis::kPvrzTileLength) {
            reading.check = TisCheck::PvrzTiles;
            return reading;
        }
        if (tileLength != tis::kTileSize) return reading;
        const auto version = mapped.subspan(tis::kVersion, 4);
        source.versionText.assign(version.begin(),
                                  std::find(version.begin(), version.end(), std::uint8_t{0}));
        source.firstTile = readU32(mapped, tis::kDataOffset);
        if (source.firstTile > size) return reading;
    }
    // A header never adds a tile; a tile cut short by the end of the file is dropped.
    source.tilesInFile = static_cast<std::uint32_t>(
        std::min(size / tis::kTileSize, (size - source.firstTile) / tis::kTileSize));
    reading.check = TisCheck::Valid;
    return reading;
}

void applyHoleColour(std::uint8_t* tile) {
    tile[2] = 0x29;
    tile[1] = 0x42;
    tile[0] = 0x61;
}

TisHeader makeTisHeader(std::uint32_t tileCount) {
    TisHeader header{'T', 'I', 'S', ' ', 'V', '1', ' ', ' '};
    writeU32(header, tis::kTileCount, tileCount);
    writeU32(header, tis::kTileLength, static_cast<std::uint32_t>(tis::kTileSize));
    writeU32(header, tis::kDataOffset, static_cast<std::uint32_t>(tis::kHeaderSize));
    writeU32(header, tis::kTileDimension, tis::kTileSide);
    return header;
}

}  // namespace wedmorph
