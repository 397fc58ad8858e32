#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>

#include "areagen/AreaBuilder.h"
#include "view/AreaPicture.h"
#include "view/Png.h"

namespace wedmorph {
namespace {

using areagen::Tile;

std::uint32_t readU32BigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 | static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
}

// A tile of one colour per palette entry n: (n, 255 - n, 7) as red, green, blue.
Tile rampTile(std::uint8_t fill) {
    Tile tile{};
    for (int n = 0; n < 256; ++n) {
        tile[4 * n] = 7;
        tile[4 * n + 1] = static_cast<std::uint8_t>(255 - n);
        tile[4 * n + 2] = static_cast<std::uint8_t>(n);
    }
    std::memset(tile.data() + 1024, fill, 4096);
    return tile;
}

struct TinyArea {
    std::vector<std::uint8_t> wed, tis;
};

// Two cells side by side showing tiles 1 and 0, both under the water of
// overlay 1; the second cell's secondary tile is 2.
TinyArea tinyArea() {
    areagen::WedPlan plan;
    plan.overlays[0] = {2, 1, "AR0100"};
    plan.overlays[1] = {1, 1, "WTWAVE"};
    plan.cells = {{1, -1, 2}, {1, 2, 2}};
    std::vector<std::uint8_t> wed = areagen::buildWed(plan);
    // The builder gives cell k tile k through the lookup; swap the two entries.
    const std::size_t lookup = wed[32 + 20] | wed[32 + 21] << 8;
    std::swap(wed[lookup], wed[lookup + 2]);

    Tile second = rampTile(10);
    Tile first = rampTile(20);
    areagen::pixelAt(first, 0, 0) = 0;
    areagen::setKeyColour(first);      // entry 0 green: pixel (0, 0) is key-coloured
    Tile overlay = rampTile(30);
    areagen::setKeyColour(overlay);
    for (int c = 0; c < 64; ++c) areagen::pixelAt(overlay, 5, c) = 0;
    return {wed, areagen::buildTis({second, first, overlay}, true)};
}

std::array<int, 3> pixel(const view::Picture& picture, int x, int y) {
    const std::uint8_t* p = picture.rgb.data() + (static_cast<std::size_t>(y) * picture.width + x) * 3;
    return {p[0], p[1], p[2]};
}

TEST(AreaPicture, CellsShowTheTilesTheirLookupNames) {
    const TinyArea area = tinyArea();
    const view::Picture picture = view::renderArea(area.wed, area.tis, {});
    ASSERT_EQ(picture.error, "");
    EXPECT_EQ(picture.width, 128);
    EXPECT_EQ(picture.height, 64);
    EXPECT_EQ(pixel(picture, 1, 1), (std::array<int, 3>{20, 235, 7}));   // tile 1, value 20
    EXPECT_EQ(pixel(picture, 64, 0), (std::array<int, 3>{10, 245, 7}));  // tile 0, value 10
    EXPECT_EQ(pixel(picture, 0, 0), (std::array<int, 3>{0, 255, 0}));    // the key colour as it is
}

TEST(AreaPicture, KeyPixelsCanBeMarked) {
    const TinyArea area = tinyArea();
    const view::Picture picture = view::renderArea(area.wed, area.tis, {false, true, 1});
    EXPECT_EQ(pixel(picture, 0, 0), (std::array<int, 3>{0xFF, 0x00, 0xFF}));
    EXPECT_EQ(pixel(picture, 1, 0), (std::array<int, 3>{20, 235, 7}));
}

TEST(AreaPicture, OverlayTilesAreDrawnWithoutTheirKeyColour) {
    const TinyArea area = tinyArea();
    const view::Picture picture = view::renderArea(area.wed, area.tis, {true, false, 1});
    EXPECT_EQ(pixel(picture, 70, 4), (std::array<int, 3>{30, 225, 7}));  // the overlay tile
    EXPECT_EQ(pixel(picture, 70, 5), (std::array<int, 3>{10, 245, 7}));  // its key row: the base shows
    EXPECT_EQ(pixel(picture, 3, 3), (std::array<int, 3>{20, 235, 7}));   // no secondary tile
}

TEST(AreaPicture, WaterShowsThroughKeyPixelsOrUnderTheSecondaryTile) {
    const TinyArea area = tinyArea();
    view::OverlayTilesets water;
    water[1] = areagen::buildTis({rampTile(40)}, false);
    const view::Picture picture = view::renderArea(area.wed, area.tis, {true, true, 1}, water);
    ASSERT_EQ(picture.error, "");
    // Without a secondary tile, the water where the cell's tile is key-coloured.
    EXPECT_EQ(pixel(picture, 0, 0), (std::array<int, 3>{40, 215, 7}));
    EXPECT_EQ(pixel(picture, 1, 0), (std::array<int, 3>{20, 235, 7}));
    // With one, the water under its pixels that are not key-coloured.
    EXPECT_EQ(pixel(picture, 70, 5), (std::array<int, 3>{40, 215, 7}));
    EXPECT_EQ(pixel(picture, 70, 4), (std::array<int, 3>{30, 225, 7}));
    EXPECT_EQ(view::overlayTilesetNames(area.wed)[1], "WTWAVE");
}

TEST(AreaPicture, ShrinkKeepsEveryNthPixel) {
    const TinyArea area = tinyArea();
    const view::Picture picture = view::renderArea(area.wed, area.tis, {false, false, 4});
    EXPECT_EQ(picture.width, 32);
    EXPECT_EQ(picture.height, 16);
    EXPECT_EQ(pixel(picture, 16, 0), (std::array<int, 3>{10, 245, 7}));
}

TEST(AreaPicture, BrokenAreasGiveAnErrorNotACrash) {
    const TinyArea area = tinyArea();
    std::vector<std::uint8_t> badTile = area.wed;
    const std::size_t lookup = badTile[32 + 20] | badTile[32 + 21] << 8;
    badTile[lookup] = 200;
    EXPECT_NE(view::renderArea(badTile, area.tis, {}).error.find("names tile 200"), std::string::npos);

    std::vector<std::uint8_t> badLookup = area.wed;
    badLookup[32 + 20] = 0xF0;
    badLookup[32 + 21] = 0xFF;
    EXPECT_NE(view::renderArea(badLookup, area.tis, {}).error, "");

    std::vector<std::uint8_t> cut(area.wed.begin(), area.wed.begin() + 40);
    EXPECT_NE(view::renderArea(cut, area.tis, {}).error, "");
    EXPECT_NE(view::renderArea(area.wed, {'T', 'I', 'S'}, {}).error, "");
    EXPECT_NE(view::renderArea(area.wed, area.tis, {false, false, 3}).error, "");
}

TEST(Png, LayoutOfASmallImage) {
    const std::vector<std::uint8_t> rgb = {1, 2, 3, 4, 5, 6};
    const std::vector<std::uint8_t> png = view::encodePng(2, 1, rgb);
    const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::memcmp(png.data(), signature, 8), 0);
    // Each chunk: length, type, data and the CRC of type and data.
    std::vector<std::string> types;
    std::vector<std::uint8_t> idat;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = readU32BigEndian(png, at);
        const std::string type(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8);
        EXPECT_EQ(readU32BigEndian(png, at + 8 + length), ::crc32(0, png.data() + at + 4, static_cast<uInt>(4 + length)))
            << type;
        if (type == "IDAT") idat.assign(png.begin() + static_cast<long>(at) + 8, png.begin() + static_cast<long>(at + 8 + length));
        types.push_back(type);
        at += 12 + length;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    // The image data: the filter byte of the one row, then its two pixels.
    std::vector<std::uint8_t> raw(7);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    ASSERT_EQ(::uncompress(raw.data(), &rawSize, idat.data(), static_cast<uLong>(idat.size())), Z_OK);
    EXPECT_EQ(raw, (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace wedmorph
