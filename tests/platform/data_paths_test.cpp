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
using testing::TempDir;

struct LayoutCase {
    const char* name;
    const char* shareEntry;           // what prefix/share/kelpa is: "dir", "file" or "" (absent)
    const char* executableDirectory;  // below the temporary root; "" for an unknown directory
    bool installed;
};

class DataPathsLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DataPathsLayoutTest, ChoosesInstalledFolderOnlyWhenItIsADirectory) {
    const LayoutCase& layout = GetParam();
    TempDir root;
    fs::create_directories(root / "prefix/bin");
    fs::create_directories(root / "prefix/share");
    const std::string share = root / "prefix/share/kelpa";
    if (std::string(layout.shareEntry) == "dir") fs::create_directories(share);
    if (std::string(layout.shareEntry) == "file") testing::WriteFile(share, "not a folder");

    const std::string executableDirectory =
        layout.executableDirectory[0] ? root / layout.executableDirectory : "";
    const DataPaths paths = FindDataPaths(executableDirectory, root / "source/");

    EXPECT_EQ(paths.installed, layout.installed);
    if (layout.installed) {
        EXPECT_EQ(paths.configDirectory, share + "/");
        EXPECT_EQ(paths.manualDirectory, share + "/docs/");
    } else {
        EXPECT_EQ(paths.configDirectory, root / "source/data/");
        EXPECT_EQ(paths.manualDirectory, root / "source/docs/");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DataPathsLayoutTest,
    ::testing::Values(LayoutCase{"Installed", "dir", "prefix/bin/", true},
                      LayoutCase{"InstalledNoTrailingSlash", "dir", "prefix/bin", true},
                      LayoutCase{"InstalledDotDotInPath", "dir", "prefix/share/../bin/", true},
                      LayoutCase{"BuildTree", "", "prefix/bin/", false},
                      LayoutCase{"ShareEntryIsAFile", "file", "prefix/bin/", false},
                      LayoutCase{"UnknownExecutableDirectory", "dir", "", false}),
    [](const ::testing::TestParamInfo<LayoutCase>& param) { return param.param.name; });

TEST(DataPathsTest, SourceDirectoryWithoutTrailingSlashGivesTheSameFolders) {
    TempDir root;
    const DataPaths withSlash = FindDataPaths(root / "bin/", root / "src/");
    const DataPaths withoutSlash = FindDataPaths(root / "bin/", root / "src");
    EXPECT_EQ(withSlash.configDirectory, withoutSlash.configDirectory);
    EXPECT_EQ(withSlash.manualDirectory, withoutSlash.manualDirectory);
    EXPECT_EQ(withoutSlash.configDirectory, root / "src/data/");
}

// The test binary runs from the build tree, so it must land on the source tree's files: the
// shipped defaults are there.
TEST(DataPathsTest, BuildTreeProgramFindsTheShippedDefaults) {
    const DataPaths paths = ProgramDataPaths();
    EXPECT_FALSE(paths.installed);
    EXPECT_TRUE(fs::is_regular_file(paths.configDirectory + "kelpa.cfg")) << paths.configDirectory;
    EXPECT_TRUE(fs::is_regular_file(paths.configDirectory + "kcommon.cfg"))
        << paths.configDirectory;
}

}  // namespace
}  // namespace kelpa
