// The overlay pass run over an area built in code, for the tests of the pass
// and of the writer of its output TIS.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "convert/OverlayPass.h"
#include "formats/Tis.h"
#include "formats/Wed.h"
#include "report/Messages.h"
#include "support/Areas.h"
#include "support/TestPlatform.h"

namespace wedmorph::test {

// Runs the preparation and the pass over in-memory files, as the run does
// over the mappings.
struct PassRun {
    TestMemory ownMemory;
    TestMemory& memory;
    AreaFiles in;
    std::vector<std::uint8_t> outWed;
    WedLayout layout;
    TileCensus census;
    TisSource source;
    OutputTileset tileset;
    PassOutcome outcome = PassOutcome::Done;
    std::string progress;  // the progress lines, as the console shows them

    explicit PassRun(AreaFiles files, bool silent = false, int failAllocation = 0,
                     std::int32_t copiedOverride = -1, TestMemory* external = nullptr)
        : memory(external != nullptr ? *external : ownMemory), in(std::move(files)), outWed(in.wed) {
        layout = *checkWedLayout(WedImage{in.wed});
        census = takeTileCensus(WedImage{in.wed}, layout);
        source = readTisSource(in.tis).source;
        memory.failAt(failAllocation);
        if (copiedOverride >= 0) {
            tileset.reserve(memory, copiedOverride, std::min(census.basicTiles, layout.entryCount));
        } else {
            outcome = prepareOutputTileset(census, layout, source, memory, tileset);
            if (outcome != PassOutcome::Done) return;
        }
        const OverlayPassInput input{census, layout, WedImage{in.wed}, WritableWedImage{outWed}};
        markFillCandidates(input, tileset);
        tileset.noteKeys(0, std::span(in.tis).subspan(source.firstTile));
        PassProgress show;
        if (!silent) {
            show = [this](std::int32_t tile, std::int32_t basicTiles) {
                char line[64];
                std::snprintf(line, sizeof line, messages::kProgress, tile, basicTiles);
                progress += line;
            };
        }
        outcome = convertOverlayTiles(input, show, tileset);
    }

    const std::uint8_t* tile(std::int64_t t) const {
        return in.tis.data() + source.firstTile + 5120 * static_cast<std::size_t>(t);
    }
    WedTilemapEntry entry(int k) const { return readTilemapEntry(WedImage{outWed}, layout, k); }
    // The output TIS without a header, each tile made or left as the conversion has it.
    std::vector<std::uint8_t> outputTis() const {
        std::vector<std::uint8_t> bytes;
        TileBytes made;
        for (std::int32_t t = 0; t < tileset.nextTileIndex(); ++t) {
            if (tileset.isMade(t)) makeOutputTile(tileset, t, tile(tileset.sourceOf(t)), made);
            const std::uint8_t* bytesOf = tileset.isMade(t) ? made.data() : tile(t);
            bytes.insert(bytes.end(), bytesOf, bytesOf + tis::kTileSize);
        }
        return bytes;
    }
    std::vector<std::uint8_t> outputTile(int t) const {
        const std::vector<std::uint8_t> tis = outputTis();
        return {tis.begin() + 5120 * t, tis.begin() + 5120 * (t + 1)};
    }
    const std::uint8_t* inputTile(int t) const { return tile(t); }
};

// A plan whose overlay 0 has `width` × `height` plain cells, and overlay 1 (water) one.
inline areagen::WedPlan oneOverlayPlan(int width, int height) {
    areagen::WedPlan plan;
    plan.overlays[0] = {static_cast<std::int16_t>(width), static_cast<std::int16_t>(height), "AR0100"};
    plan.overlays[1] = {1, 1, "WTWAVE"};
    plan.cells.assign(static_cast<std::size_t>(width * height), areagen::CellPlan{});
    return plan;
}

}  // namespace wedmorph::test
