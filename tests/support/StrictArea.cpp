#include "support/StrictArea.h"

#include <algorithm>

namespace wedmorph::test {

namespace {

struct Reader {
    const std::vector<std::uint8_t>& bytes;

    bool has(std::uint64_t at, std::uint64_t length) const { return at + length <= bytes.size(); }
    std::uint32_t u16(std::uint64_t at) const {
        return has(at, 2) ? bytes[static_cast<std::size_t>(at)] | bytes[static_cast<std::size_t>(at + 1)] << 8 : 0;
    }
    std::uint32_t u32(std::uint64_t at) const {
        return has(at, 4) ? u16(at) | u16(at + 2) << 16 : 0;
    }
};

// Whole tiles of a TIS, and what is wrong with its header.
std::uint32_t tisTiles(const std::vector<std::uint8_t>& tis, const std::string& which,
                       std::vector<std::string>& problems) {
    const Reader read{tis};
    std::size_t first = 0;
    if (tis.size() >= 4 && std::equal(tis.begin(), tis.begin() + 4, "TIS ")) {
        first = 24;
        const std::uint32_t count = read.u32(8);
        if (!std::equal(tis.begin() + 4, tis.begin() + 8, "V1  ")) problems.push_back(which + ": version");
        if (read.u32(12) != 5120 || read.u32(16) != 24 || read.u32(20) != 64) problems.push_back(which + ": header");
        if (tis.size() != 24 + std::uint64_t{count} * 5120) problems.push_back(which + ": tile count or size");
    } else if (tis.size() % 5120 != 0) {
        problems.push_back(which + ": size is no whole number of tiles");
    }
    return static_cast<std::uint32_t>((tis.size() - std::min(first, tis.size())) / 5120);
}

}  // namespace

std::vector<std::string> strictAreaProblems(const std::vector<std::uint8_t>& wed,
                                            const std::vector<std::uint8_t>& tis,
                                            const std::array<std::vector<std::uint8_t>, 5>& overlayTis) {
    std::vector<std::string> problems;
    const Reader read{wed};
    if (wed.size() < 32 || !std::equal(wed.begin(), wed.begin() + 8, "WED V1.3")) return {"WED: header"};
    if (read.u32(8) != 5) problems.push_back("WED: overlay count");

    struct Section {
        std::string name;
        std::uint64_t at, length;
    };
    std::vector<Section> sections = {{"header", 0, 32}};
    auto section = [&](const std::string& name, std::uint64_t at, std::uint64_t length) {
        if (at + length > wed.size()) problems.push_back("WED: " + name + " lies outside the file");
        sections.push_back({name, at, length});
    };
    const std::uint32_t doors = read.u32(12), table = read.u32(16), secondary = read.u32(20);
    section("overlay table", table, 5 * 24);
    section("secondary header", secondary, 20);
    section("door table", read.u32(24), 26ull * doors);
    std::uint64_t doorCells = 0;
    for (std::uint32_t d = 0; d < doors; ++d) {
        const std::uint64_t at = read.u32(24) + 26ull * d;
        doorCells = std::max<std::uint64_t>(doorCells, read.u16(at + 10) + read.u16(at + 12));
        section("open polygons of door " + std::to_string(d), read.u32(at + 18), 18ull * read.u16(at + 14));
        section("closed polygons of door " + std::to_string(d), read.u32(at + 22), 18ull * read.u16(at + 16));
    }
    section("door tile cells", read.u32(28), 2 * doorCells);

    const std::uint32_t baseWidth = read.u16(table), baseHeight = read.u16(table + 2);
    std::array<std::uint32_t, 5> tiles{};
    tiles[0] = tisTiles(tis, "TIS", problems);
    for (int o = 0; o < 5; ++o) {
        const std::uint64_t record = table + 24ull * static_cast<std::uint64_t>(o);
        const std::uint64_t cells = std::uint64_t{read.u16(record)} * read.u16(record + 2);
        const std::uint32_t tilemap = read.u32(record + 16), lookup = read.u32(record + 20);
        const std::string which = "overlay " + std::to_string(o);
        if (o > 0 && !overlayTis[static_cast<std::size_t>(o)].empty()) {
            tiles[static_cast<std::size_t>(o)] = tisTiles(overlayTis[static_cast<std::size_t>(o)], which + "'s TIS", problems);
        }
        section(which + " tile map", tilemap, 10 * cells);
        std::uint64_t entries = 0;
        for (std::uint64_t k = 0; k < cells && read.has(tilemap + 10 * k, 10); ++k) {
            const std::uint64_t at = tilemap + 10 * k;
            entries = std::max<std::uint64_t>(entries, read.u16(at) + std::max<std::uint32_t>(read.u16(at + 2), 1));
            const auto secondaryTile = static_cast<std::int16_t>(read.u16(at + 4));
            if (o == 0 && secondaryTile >= 0 && static_cast<std::uint32_t>(secondaryTile) >= tiles[0]) {
                problems.push_back("cell " + std::to_string(k) + " names secondary tile " + std::to_string(secondaryTile));
            }
        }
        section(which + " tile lookup", lookup, 2 * entries);
        const bool checked = o == 0 || !overlayTis[static_cast<std::size_t>(o)].empty();
        for (std::uint64_t n = 0; checked && n < entries && read.has(lookup + 2 * n, 2); ++n) {
            if (read.u16(lookup + 2 * n) >= tiles[static_cast<std::size_t>(o)]) {
                problems.push_back(which + " lookup entry " + std::to_string(n) + " names a tile its TIS lacks");
            }
        }
    }
    for (std::uint64_t n = 0; n < doorCells && read.has(read.u32(28) + 2 * n, 2); ++n) {
        if (read.u16(read.u32(28) + 2 * n) >= baseWidth * baseHeight) problems.push_back("door tile cell " + std::to_string(n));
    }

    const std::uint32_t polygons = read.u32(secondary), wallGroups = read.u32(secondary + 12);
    const std::uint64_t groups = std::uint64_t{(baseWidth + 9) / 10} * ((2 * baseHeight + 14) / 15);
    section("wall groups", wallGroups, 4 * groups);
    section("wall polygons", read.u32(secondary + 4), 18ull * polygons);
    std::uint64_t vertices = 0, indices = 0;
    for (std::uint32_t p = 0; p < polygons; ++p) {
        const std::uint64_t at = read.u32(secondary + 4) + 18ull * p;
        vertices = std::max<std::uint64_t>(vertices, read.u32(at) + std::uint64_t{read.u32(at + 4)});
    }
    for (std::uint64_t g = 0; g < groups; ++g) {
        indices = std::max<std::uint64_t>(indices, read.u16(wallGroups + 4 * g) + read.u16(wallGroups + 4 * g + 2));
    }
    section("vertices", read.u32(secondary + 8), 4 * vertices);
    section("polygon index lookup", read.u32(secondary + 16), 2 * indices);

    for (std::size_t a = 0; a < sections.size(); ++a) {
        for (std::size_t b = a + 1; b < sections.size(); ++b) {
            const Section &one = sections[a], &two = sections[b];
            if (one.length > 0 && two.length > 0 && one.at < two.at + two.length && two.at < one.at + one.length) {
                problems.push_back("WED: " + one.name + " overlaps " + two.name);
            }
        }
    }
    return problems;
}

}  // namespace wedmorph::test
