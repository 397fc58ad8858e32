// Fuzzes a whole run over an in-memory file system. The input is split into
// option flags, a WED and a TIS; the run must end in a complete conversion
// whose output is exactly what the rules give, or in an error that leaves the
// input files as they were, and must hold nothing open either way.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/RunConversion.h"
#include "formats/Wed.h"
#include "support/MemoryPlatform.h"
#include "support/ReferenceConversion.h"

namespace {

constexpr std::size_t kPrefix = 5;  // one byte of flags, four of WED length

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kPrefix) return 0;
    const std::uint8_t flags = data[0];
    std::uint32_t wedLength;
    std::memcpy(&wedLength, data + 1, 4);
    wedLength = static_cast<std::uint32_t>(wedLength % (size - kPrefix + 1));
    const std::vector<std::uint8_t> wed(data + kPrefix, data + kPrefix + wedLength);
    const std::vector<std::uint8_t> tis(data + kPrefix + wedLength, data + size);

    wedmorph::test::MemoryPlatform platform;
    platform.keepConsole = (flags & 0x10) != 0;
    platform.folders = {"/program/", "/program/out/"};
    platform.files["/program/AR0100.wed"] = wed;
    platform.files["/program/AR0100.tis"] = tis;
    platform.files["/program/AR0100.mos"] = {1, 2, 3};
    platform.files["/program/AR0100HT.bmp"] = {4, 5};

    // Without "-s" a run prints a progress line per basic tile and overlay; a
    // few bytes of WED can ask for millions, so only small areas run loud.
    bool loud = (flags & 0x01) != 0;
    if (loud) {
        const auto layout = wedmorph::checkWedLayout(wedmorph::WedImage{wed});
        loud = layout && wedmorph::takeTileCensus(wedmorph::WedImage{wed}, *layout).basicTiles < 20000;
    }
    std::vector<std::string> arguments = {"/program/wedmorph"};
    if (!loud) arguments.push_back("-s");
    if (flags & 0x02) arguments.push_back("-h");
    if (flags & 0x04) arguments.push_back("-d");
    if (flags & 0x08) arguments.push_back("-l");
    arguments.push_back("AR0100");
    arguments.push_back((flags & 0x20) ? "out/AR260012" : "AR2600");
    const std::string out = (flags & 0x20) ? "/program/out/AR260012" : "/program/AR2600";

    const int status = wedmorph::runConversion(arguments, platform);
    check(status == 0 || status == -1);
    check(platform.nothingOpen());
    if (status != 0 || (flags & 0x04) == 0) {
        check(platform.files["/program/AR0100.wed"] == wed);
        check(platform.files["/program/AR0100.tis"] == tis);
    } else {
        check(platform.files.count("/program/AR0100.wed") == 0);
    }
    if (status == 0) {
        const auto expected =
            wedmorph::test::referenceConversion(wed, tis, out.substr(out.rfind('/') + 1), flags & 0x02);
        check(platform.files[out + ".wed"] == expected.wed);
        check(platform.files[out + ".tis"] == expected.tis);
    }
    return 0;
}
