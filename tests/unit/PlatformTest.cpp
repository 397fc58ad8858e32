// What the run expects of the platform on every system.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "support/TempDir.h"

namespace wedmorph {
namespace {

class Platform : public ::testing::Test {
protected:
    testing::TempDir dir;
    wedmorph::Platform& platform = nativePlatform();
};

TEST_F(Platform, WritableViewChangesTheFileFoundInAnyCase) {
    testing::writeText(dir / "a.wed", "abcdef");
    FileHandle file = platform.openForUpdate(dir / "A.WED", {});
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(platform.fileSize(file), 6u);
    MappingHandle mapping = platform.createMapping(file, Access::ReadWrite);
    std::uint8_t* view = platform.mapView(mapping, Access::ReadWrite);
    ASSERT_NE(view, nullptr);
    view[2] = 'X';
    platform.unmapView(view);
    platform.closeMapping(mapping);
    platform.closeFile(file);
    EXPECT_EQ(testing::readText(dir / "a.wed"), "abXdef");
}

TEST_F(Platform, EmptyFileCannotBeMapped) {
    testing::writeText(dir / "empty.tis", "");
    FileHandle file = platform.openForReading(dir / "EMPTY.TIS");
    ASSERT_TRUE(file.isOpen());
    EXPECT_FALSE(platform.createMapping(file, Access::ReadOnly).isOpen());
    platform.closeFile(file);
}

TEST_F(Platform, PagesAreZeroedAndWritable) {
    const std::size_t bytes = std::size_t{3} << 20;
    auto* pages = static_cast<std::uint8_t*>(platform.allocatePages(bytes));
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages[0], 0);
    EXPECT_EQ(pages[bytes - 1], 0);
    pages[bytes - 1] = 9;
    platform.releasePages(pages, bytes);
}

}  // namespace
}  // namespace wedmorph
