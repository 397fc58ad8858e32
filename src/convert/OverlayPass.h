// The overlay conversion pass: decides which input tiles the output tileset
// keeps, rebuilds the keyed overlay cells of the base layer (their tiles made
// solid, a trimmed copy of each appended as its secondary tile), and has the
// keyed door tiles that follow the basic tiles filled.
//
// The pass patches the output WED and records what becomes of each tile; the
// tiles themselves are made (makeOutputTile), a batch at a time, only as the
// output TIS is written. A tile the pass leaves alone is written straight
// from the input, so no copy of the whole tileset is ever held in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "formats/Tis.h"
#include "formats/Wed.h"
#include "memory/TileMemory.h"

namespace wedmorph {

// The output tileset: the copied input tiles, those whose key pixels the pass
// fills marked, then the extra overlay tiles, each a trimmed copy of an input
// tile, in creation order.
class OutputTileset {
public:
    OutputTileset() = default;
    OutputTileset(const OutputTileset&) = delete;
    OutputTileset& operator=(const OutputTileset&) = delete;

    std::int32_t copiedTileCount() const { return copied_; }
    std::int32_t extraTileCount() const { return extras_; }
    // The output header's tile count: the copied tiles and the extra ones.
    std::int32_t nextTileIndex() const { return copied_ + extras_; }

    // Whether copied tile `tile` is filled: marked by markFillCandidates as
    // one the pass fills if it is keyed, and still marked once noteKeys has
    // seen it.
    bool isFilled(std::int32_t tile) const { return filled_[static_cast<std::size_t>(tile)] != kNotFilled; }
    // Whether copied tile `tile` is filled and the source of an extra tile
    // of the first overlay the pass converts: those extra tiles come first,
    // in the order of their sources, so that the writer can make each as it
    // reads its source with the copied tiles, before the pass has run.
    bool isLeadingExtraSource(std::int32_t tile) const {
        return filled_[static_cast<std::size_t>(tile)] == kFilledWithExtra;
    }
    // The extra tiles of that first overlay, once the pass has run.
    std::int32_t leadingExtraCount() const { return leadingExtras_; }
    // Whether output tile `tile` is made by makeOutputTile; any other is the
    // input tile of its index, unchanged.
    bool isMade(std::int32_t tile) const { return tile >= copied_ || isFilled(tile); }
    // The input tile that extra tile k is a trimmed copy of. The pass adds
    // the extra tiles an overlay at a time, each overlay's in the order of
    // their sources.
    std::int32_t extraSource(std::int32_t k) const { return extraSources_[static_cast<std::size_t>(k)]; }
    // The input tile that made tile `tile` is made from.
    std::int32_t sourceOf(std::int32_t tile) const { return tile < copied_ ? tile : extraSource(tile - copied_); }
    // Takes the marks of the tiles that are not keyed away, for the whole
    // tiles in `tiles`, the input's from copied tile `first` on (tiles past
    // the copied ones are left out): what the pass needs to know of a tile,
    // noted as the input is read, so that the pass reads no tile itself.
    void noteKeys(std::int32_t first, std::span<const std::uint8_t> tiles);

    // Room for the marks of `copied` tiles and up to `extraCapacity` extra
    // tiles, and to make tiles in; false when the memory has none.
    bool reserve(TileMemory& memory, std::int32_t copied, std::int32_t extraCapacity);
    std::int32_t extraCapacity() const { return static_cast<std::int32_t>(extraSources_.size()); }
    void markFilled(std::int32_t tile, bool leadingExtraSource) {
        filled_[static_cast<std::size_t>(tile)] = leadingExtraSource ? kFilledWithExtra : kFilled;
    }
    void endLeadingExtras() { leadingExtras_ = extras_; }
    // False when there is no room for one more.
    bool addExtra(std::int32_t source);

    // Where the output TIS's writer reads input tiles and makes the tiles it
    // hands out, a batch of each (kBatchTiles): no part of what the tileset
    // records, only room reserved with the rest, so that writing the
    // file allocates nothing and a run without the memory ends before any
    // byte is written. Empty when the output has no tile.
    std::span<TileBytes> scratch() {
        return scratch_ ? std::span<TileBytes>(&scratch_[0], scratch_.size()) : std::span<TileBytes>();
    }

private:
    // A copied tile's mark.
    static constexpr std::uint8_t kNotFilled = 0, kFilled = 1, kFilledWithExtra = 2;

    std::int32_t copied_ = 0;
    std::int32_t extras_ = 0;
    std::int32_t leadingExtras_ = 0;
    MemoryArray<std::uint8_t> filled_;        // a mark per copied tile
    MemoryArray<std::int32_t> extraSources_;  // an input tile index per extra tile
    MemoryArray<TileBytes> scratch_;
};

// Makes output tile `tile`, one that the tileset marks as made, into `into`
// from `source`, the bytes of its input tile (sourceOf): that tile with its
// key pixels filled, or an extra tile, a trimmed copy of it. A filled tile
// may be made in place (`into` holding `source`). It reads only the
// tileset's record and `source`.
void makeOutputTile(const OutputTileset& tileset, std::int32_t tile, const std::uint8_t* source,
                    TileBytes& into);

// Input tiles the output TIS's writer reads at a time, with room to make as
// many: enough that a read and a write each move over half a megabyte, few
// enough that the tiles stay in the processor's cache while they are made,
// and a write under a megabyte (the kernel takes a larger write's page cache
// in larger blocks, which the host of a virtual machine often has to find
// memory for first).
inline constexpr std::int32_t kBatchTiles = 128;

// The highest tile index a tile map entry can name.
inline constexpr std::int32_t kMaxTileIndex = 32767;

// How the preparation or the pass ended; the run tells the user what it means.
enum class PassOutcome {
    Done,
    NoMemory,      // the memory had no room for what the pass records
    TooManyTiles,  // an extra tile would need an index past kMaxTileIndex
};

// The two tile counts of an area, side by side since they are easily taken
// for one another. The input tiles its WED uses: the tile map's entries, and
// up to the highest door tile a cell names. New tiles take the indices after
// the tiles kept: with one of these missing from the TIS, a cell would show a
// new tile instead, so a TIS that holds fewer cannot be converted.
std::int64_t tilesTheWedUses(const TileCensus& census, const WedLayout& layout);
// The input tiles the output keeps: those the census counts, and up to the
// highest tile a cell names, as its door tile or through the tile lookup
// table, as far as the file holds them.
std::int32_t keptTileCount(const TileCensus& census, const TisSource& source);

// Takes the number of input tiles that the output keeps (keptTileCount) and
// the room for what the pass records.
[[nodiscard]] PassOutcome prepareOutputTileset(const TileCensus& census, const WedLayout& layout,
                                               const TisSource& source, TileMemory& memory,
                                               OutputTileset& tileset);

struct OverlayPassInput {
    const TileCensus& census;
    const WedLayout& layout;
    WedImage inputWed;
    WritableWedImage outputWed;
};

// Marks the tiles the pass fills where they are keyed: those of the cells
// under an overlay that it converts, and the door tiles that follow the
// basic tiles. The output's tiles are then read, their keys noted
// (noteKeys), before the pass runs.
void markFillCandidates(const OverlayPassInput& input, OutputTileset& tileset);

// Called with the number of each tile as the pass reaches it (counted from 1)
// and the number of basic tiles. An empty one shows nothing, and the pass
// stops where nothing is left to convert.
using PassProgress = std::function<void(std::int32_t tile, std::int32_t basicTiles)>;

// Runs the overlay pass over the prepared tileset, whose keys are noted,
// patching the output WED and recording in `tileset` the extra tiles the
// output TIS holds.
[[nodiscard]] PassOutcome convertOverlayTiles(const OverlayPassInput& input,
                                              const PassProgress& progress, OutputTileset& tileset);

}  // namespace wedmorph
