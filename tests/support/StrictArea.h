// Reads an area's WED and TIS files as a strict engine would and lists what
// is wrong with them: every section of the WED inside the file and apart from
// the others, every count and offset in bounds, every tile that a cell, a
// lookup entry or a door names present in its tileset. Written apart from the
// program's own readers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace wedmorph::test {

// `overlayTis[o]` is overlay o's tileset (1 to 4); empty ones are not checked.
std::vector<std::string> strictAreaProblems(const std::vector<std::uint8_t>& wed,
                                            const std::vector<std::uint8_t>& tis,
                                            const std::array<std::vector<std::uint8_t>, 5>& overlayTis = {});

}  // namespace wedmorph::test
