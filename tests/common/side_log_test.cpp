// Side logs (the line cut, deletion when empty, reopening by path; their place in the log
// directory is the headless run's) and the path builder's joins, extensions and length limits.
#include "common/side_log.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/make_path.h"
#include "support/temp_files.h"

namespace kelpa {
namespace {

using testing::FileExists;
using testing::ReadFile;

TEST(SideLogTest, LinesAreCutAndAnEmptyFileIsDeleted) {
    testing::TempDir dir;
    SideLog log;
    EXPECT_FALSE(log.Open(nullptr, nullptr, ".log", 0));  // no name and no previous path
    ASSERT_TRUE(log.Open(dir.Path().c_str(), "task.cfg", ".one", 0));
    log.Printf("plain %d", 1);
    log.Printf("%s", std::string(300, 'y').c_str());
    EXPECT_EQ(log.BytesWritten(), 8 + 200);              // a line is cut to 199 characters
    ASSERT_TRUE(log.Open(nullptr, nullptr, ".two", 0));  // the previous path, another extension
    EXPECT_EQ(ReadFile(dir / "task.one"), "plain 1\n" + std::string(199, 'y') + "\n");
    EXPECT_EQ(log.Path(), dir / "task.two");
    EXPECT_TRUE(FileExists(dir / "task.two"));
    log.Printf("   ");
    EXPECT_FALSE(log.Close());  // nothing written: deleted
    EXPECT_FALSE(FileExists(dir / "task.two"));
    {
        SideLog scoped;
        ASSERT_TRUE(scoped.Open(dir.Path().c_str(), "task", ".three", 0));
    }  // the destructor closes, and deletes, too
    EXPECT_FALSE(FileExists(dir / "task.three"));
    EXPECT_FALSE(log.Open("/nonexistent-kelpa-directory", "x", ".log", 0));
    EXPECT_FALSE(log.IsOpen());
}

TEST(MakePathTest, BuildsOrRefuses) {
    const std::string d200(200, 'd');
    const auto n = [](size_t count) { return std::string(count, 'n'); };
    const struct {
        const char* directory;
        std::string name;
        const char* extension;
        std::optional<std::string> expected;  // none: the path is refused
    } cases[] = {{"/opt/kelpa", "kelpa.cfg", nullptr, "/opt/kelpa/kelpa.cfg"},
                 {"", "kelpa.cfg", nullptr, "kelpa.cfg"},
                 {"/opt", "", nullptr, std::nullopt},
                 {nullptr, "/opt/kcommon.cfg", ".cfg.log", "/opt/kcommon.cfg.log"},
                 // The name stays under 260 and directory plus name under 259 characters; with an
                 // extension the result stays under 260 characters.
                 {"d", n(257), nullptr, "d/" + n(257)},
                 {"d", n(258), nullptr, std::nullopt},
                 {d200.c_str(), n(50) + ".cfg", ".cfg.log", d200 + "/" + n(50) + ".cfg.log"},
                 {d200.c_str(), n(51) + ".cfg", ".cfg.log", std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 20) + (c.extension ? c.extension : ""));
        std::string out = "previous";
        EXPECT_EQ(MakePath(out, c.directory, c.name.c_str(), c.extension), c.expected.has_value());
        EXPECT_EQ(out, c.expected.value_or(""));
    }
}

}  // namespace
}  // namespace kelpa
