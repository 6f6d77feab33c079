// Sources judged by their node, not their name: regular files are files wherever they live,
// and FIFOs (which would block an open), folders and other devices are refused with the reason.
#include "platform/input_node.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/temp_files.h"

namespace kelpa {
namespace {

TEST(InputNodeTest, FilesAreFilesWhereverTheyLiveAndOtherNodesAreRefused) {
    testing::TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("m42.avi").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.File("folder.avi"));
    testing::WriteFile(dir.File("clip.avi"), "RIFF");
    const std::string shm = "/dev/shm/kelpa-input-" + std::to_string(getpid()) + ".avi";
    const bool haveShm = access("/dev/shm", W_OK) == 0;
    if (haveShm) testing::WriteFile(shm, "RIFF");
    const struct {
        std::string path;
        InputKind kind;
        const char* reason;
    } cases[] = {
        {dir.File("clip.avi"), InputKind::kFile, ""},
        {haveShm ? shm : dir.File("clip.avi"), InputKind::kFile, ""},
        {dir.File("m42.avi"), InputKind::kRefused, "it is a FIFO"},
        {dir.File("folder.avi"), InputKind::kRefused, "it is a directory"},
        {"/dev/null", InputKind::kRefused, "it is a character device that is not a camera"},
    };
    for (const auto& c : cases) {
        const InputNode node = ExamineInput(c.path);
        EXPECT_EQ(node.kind, c.kind) << c.path;
        EXPECT_EQ(node.reason, c.reason) << c.path;
    }
    if (haveShm) unlink(shm.c_str());
}

}  // namespace
}  // namespace kelpa
