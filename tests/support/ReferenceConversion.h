// The conversion written out plainly, rule by rule, as the tests' oracle: the
// bytes an output WED and TIS must hold for a given input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wedmorph::test {

bool referenceFillKeyPixels(const std::uint8_t* source, std::uint8_t* destination, int width,
                            int height);
void referenceTrimOverlayEdges(const std::uint8_t* source, std::uint8_t* destination, int width,
                               int height);

struct ReferenceOutput {
    std::vector<std::uint8_t> wed;
    std::vector<std::uint8_t> tis;
    int basicTiles = 0;
    int doorExtraTiles = 0;
    int animationExtraTiles = 0;
    int overlayedDoorTiles = 0;
    int copiedTiles = 0;
    int extraTiles = 0;
};

// Expects a well-formed input (the run's checks have passed).
ReferenceOutput referenceConversion(const std::vector<std::uint8_t>& wed,
                                    const std::vector<std::uint8_t>& tis,
                                    const std::string& outputName, bool saveHeader);

}  // namespace wedmorph::test
