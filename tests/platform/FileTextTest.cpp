#include <gtest/gtest.h>

#include "platform/FileText.h"
#include "support/TempFolder.h"

namespace vantrel {
namespace {

// A device that never ends, a folder and a missing file each give a reason instead of text; a
// file within the limit comes back whole.
TEST(FileTextTest, ReadsWithinTheLimitAndSaysWhyNot) {
    const test::TempFolder folder("vantrel-filetext");
    const auto small = folder.Put("small.txt", std::string(1000, 'x'));
    EXPECT_EQ(ReadTextFile(small, 1000).text, std::string(1000, 'x'));
    EXPECT_EQ(ReadTextFile(small, 999).error,
              "cannot read " + small.string() + ": it is larger than 999 bytes");
    EXPECT_EQ(ReadTextFile("/dev/zero", 2 * 1024 * 1024).error,
              "cannot read /dev/zero: it is larger than 2 MB");
    EXPECT_EQ(ReadTextFile(folder.Path(), 10).error,
              "cannot read " + folder.Path().string() + ": it is a folder");
    EXPECT_FALSE(ReadTextFile(folder / "missing.txt", 10).text);

    ASSERT_TRUE(WriteFileAtomic(small, "new"));
    EXPECT_EQ(ReadTextFile(small, 10).text, "new");
    EXPECT_FALSE(WriteFileAtomic(folder / "no" / "such.txt", "x"));
}

}  // namespace
}  // namespace vantrel
