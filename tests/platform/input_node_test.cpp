// Sources judged by their node, not their name: a regular file is a file, and FIFOs (which
// would block an open), folders and other devices, named like video files, are refused with the
// reason.
#include "platform/input_node.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/temp_files.h"

namespace kelpa {
namespace {

TEST(InputNodeTest, FilesAreFilesAndOtherNodesAreRefused) {
    testing::TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("m42.avi").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.File("folder.avi"));
    testing::WriteFile(dir.File("clip.avi"), "RIFF");
    const struct {
        std::string path;
        InputKind kind;
        const char* reason;
    } cases[] = {
        {dir.File("clip.avi"), InputKind::kFile, ""},
        {dir.File("m42.avi"), InputKind::kRefused, "it is a FIFO"},
        {dir.File("folder.avi"), InputKind::kRefused, "it is a directory"},
        {"/dev/null", InputKind::kRefused, "it is a character device that is not a camera"},
    };
    for (const auto& c : cases) {
        const InputNode node = ExamineInput(c.path);
        EXPECT_EQ(node.kind, c.kind) << c.path;
        EXPECT_EQ(node.reason, c.reason) << c.path;
    }
}

}  // namespace
}  // namespace kelpa
