// The list of files last opened or saved: newest first, each once, bounded, kept across runs.

#include "settings/RecentFiles.h"

#include <gtest/gtest.h>

#include "support/SettingsFiles.h"

namespace quelvar::settings {
namespace {

TEST(RecentFiles, NewestFirstEachOnceBoundedAndKeptInItsStore) {
    test::TempDir dir;
    const RecentFiles recent(dir.path / "data" / "recent-files.txt");
    EXPECT_TRUE(recent.List().empty()) << "no store yet";
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(recent.Add("/sites/" + std::to_string(i) + ".am2"), "");
    }
    ASSERT_EQ(recent.Add("/sites/5.am2"), "");  // opened again: first, and only once
    ASSERT_EQ(recent.Add("/sites/caf\xE9.am2"), "");
    const std::vector<std::string> listed =
        RecentFiles(dir.path / "data" / "recent-files.txt").List();
    ASSERT_EQ(listed.size(), kRecentFilesLimit);
    EXPECT_EQ(listed[0], "/sites/caf\xE9.am2");
    EXPECT_EQ(listed[1], "/sites/5.am2");
    EXPECT_EQ(listed[2], "/sites/9.am2");
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "/sites/5.am2"), 1);
    // A name no line can hold is refused and changes nothing.
    EXPECT_NE(recent.Add("/sites/two\nlines.am2"), "");
    EXPECT_EQ(recent.List(), listed);
    // Somebody else's file in the store's place is not taken for a list.
    test::WriteBytes((dir.path / "big.txt").string(), std::string(100 * 1024, 'x'));
    EXPECT_TRUE(RecentFiles(dir.path / "big.txt").List().empty());
}

}  // namespace
}  // namespace quelvar::settings
