// Side logs (line rules, deletion when empty, reopening by path) and the path builder's
// joins, extensions and length limits.
#include "common/clib/side_log.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/clib/io/make_path.h"
#include "common/temp_files.h"

namespace kelpa {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;

TEST(SideLogTest, FileWithoutLinesIsDeleted) {
    TempDir dir;
    const std::string path = dir.File("task.cfg.log");
    {
        SideLog log;
        ASSERT_TRUE(log.Open(dir.Path().c_str(), "task.cfg", ".cfg.log", 0));
        EXPECT_EQ(log.Path(), path);
        EXPECT_TRUE(FileExists(path));
        log.Printf("   \n");
        log.Printf("%s", "");
        EXPECT_FALSE(log.Close());
        EXPECT_FALSE(FileExists(path));

        ASSERT_TRUE(log.Open(dir.Path().c_str(), "task.cfg", ".cfg.log", 0));
    }  // the destructor closes, and deletes, too
    EXPECT_FALSE(FileExists(path));
}

TEST(SideLogTest, LinesKeepTheFileAndFollowTheLineEndRules) {
    TempDir dir;
    SideLog log;
    ASSERT_TRUE(log.Open(dir.Path().c_str(), "task", ".log", 0));
    log.Printf("plain %d", 1);
    log.Printf("carriage\r");
    log.Printf("feed\n");
    log.Printf(" \t \n");
    log.Printf("%s", std::string(300, 'y').c_str());
    EXPECT_EQ(log.BytesWritten(), 8 + 9 + 5 + 200);
    EXPECT_TRUE(log.Close());
    EXPECT_EQ(ReadFile(dir.File("task.log")),
              "plain 1\ncarriage\rfeed\n" + std::string(199, 'y') + "\n");
}

TEST(SideLogTest, ReopensThePreviousPathWithAnotherExtension) {
    TempDir dir;
    SideLog log;
    EXPECT_FALSE(log.Open(nullptr, nullptr, ".log", 0));  // no name and no previous path
    ASSERT_TRUE(log.Open(dir.Path().c_str(), "run.cfg", ".one", 0));
    log.Printf("kept");
    ASSERT_TRUE(log.Open(nullptr, nullptr, ".two", 0));
    EXPECT_EQ(log.Path(), dir.File("run.two"));
    EXPECT_EQ(ReadFile(dir.File("run.one")), "kept\n");
    EXPECT_EQ(log.BytesWritten(), 0);
    EXPECT_FALSE(log.Open("/nonexistent-kelpa-directory", "x", ".log", 0));
    EXPECT_FALSE(log.IsOpen());
}

struct PathCase {
    const char* directory;
    std::string name;
    const char* extension;
    std::optional<std::string> expected;  // none: the path is refused
};

void PrintTo(const PathCase& param, std::ostream* out) {
    *out << (param.directory ? param.directory : "(none)") << " + " << param.name << " + "
         << (param.extension ? param.extension : "(none)");
}

class MakePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(MakePathTest, BuildsOrRefuses) {
    const PathCase& param = GetParam();
    std::string out = "previous";
    const bool built = MakePath(out, param.directory, param.name.c_str(), param.extension);
    if (param.expected) {
        EXPECT_TRUE(built);
        EXPECT_EQ(out, *param.expected);
    } else {
        EXPECT_FALSE(built);
        EXPECT_EQ(out, "");
    }
}

const std::string kDir200(200, 'd');
std::string kName(size_t n) {
    return std::string(n, 'n');
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MakePathTest,
    ::testing::Values(PathCase{"/opt/kelpa", "kelpa.cfg", nullptr, "/opt/kelpa/kelpa.cfg"},
                      PathCase{"/opt/kelpa/", "kelpa.cfg", nullptr, "/opt/kelpa/kelpa.cfg"},
                      PathCase{"c:\\kelpa\\", "kelpa.cfg", nullptr, "c:\\kelpa\\kelpa.cfg"},
                      PathCase{nullptr, "kelpa.cfg", nullptr, "kelpa.cfg"},
                      PathCase{"", "kelpa.cfg", nullptr, "kelpa.cfg"},
                      PathCase{"/opt", "", nullptr, std::nullopt},
                      PathCase{"/opt", "kelpa.cfg", ".cfg.log", "/opt/kelpa.cfg.log"},
                      PathCase{nullptr, "/opt/kcommon.cfg", ".cfg.log", "/opt/kcommon.cfg.log"},
                      PathCase{nullptr, "/opt.d/kelpa", ".cfg.log", "/opt.d/kelpa.cfg.log"},
                      PathCase{nullptr, "/opt/.hidden", ".log", "/opt/.hidden.log"},
                      PathCase{nullptr, "a.b.c", ".x", "a.b.x"},
                      // The name stays under 260 and directory plus name under 259 characters.
                      PathCase{nullptr, kName(258), nullptr, kName(258)},
                      PathCase{nullptr, kName(259), nullptr, std::nullopt},
                      PathCase{"d", kName(257), nullptr, "d/" + kName(257)},
                      PathCase{"d", kName(258), nullptr, std::nullopt},
                      // With an extension the result stays under 260 characters.
                      PathCase{kDir200.c_str(), kName(50) + ".cfg", ".cfg.log",
                               kDir200 + "/" + kName(50) + ".cfg.log"},
                      PathCase{kDir200.c_str(), kName(51) + ".cfg", ".cfg.log", std::nullopt}));

}  // namespace
}  // namespace kelpa
