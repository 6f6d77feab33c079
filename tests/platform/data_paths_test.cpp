// Where the program looks for its shipped files: the installed folder beside bin/ wins when it
// is a directory; otherwise the source tree the program was built from.
#include "platform/data_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_files.h"

namespace kelpa {
namespace {

namespace fs = std::filesystem;

TEST(DataPathsTest, ChoosesTheInstalledFolderOnlyWhenItIsADirectory) {
    const struct {
        const char* shareEntry;           // prefix/share/kelpa: "dir", "file" or "" (absent)
        const char* executableDirectory;  // below the temporary root; "" for an unknown one
        const char* sourceDirectory;
        bool installed;
    } cases[] = {
        {"dir", "prefix/share/../bin", "source/", true},  // (plain ones are the install test's)
        {"file", "prefix/bin/", "source", false},
        {"dir", "", "source/", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.shareEntry) + " " + c.executableDirectory);
        testing::TempDir root;
        fs::create_directories(root / "prefix/bin");
        fs::create_directories(root / "prefix/share");
        const std::string share = root / "prefix/share/kelpa";
        if (std::string(c.shareEntry) == "dir") fs::create_directories(share);
        if (std::string(c.shareEntry) == "file") testing::WriteFile(share, "not a folder");
        const DataPaths paths = FindDataPaths(
            c.executableDirectory[0] ? root / c.executableDirectory : "", root / c.sourceDirectory);
        EXPECT_EQ(paths.installed, c.installed);
        const std::string base = c.installed ? share + "/" : root / "source/";
        EXPECT_EQ(paths.configDirectory, base + (c.installed ? "" : "data/"));
        EXPECT_EQ(paths.manualDirectory, base + "docs/");
    }
}

}  // namespace
}  // namespace kelpa
