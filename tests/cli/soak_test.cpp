// A long headless run: its memory stays flat after warm-up and no queue builds up. It takes about
// a minute, so it carries the CTest label "soak": the README's test command leaves it out and the
// continuous integration runs it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "cli/kelpa_runner.h"

namespace kelpa::test {
namespace {

long ResidentKiB(pid_t pid) {
    long size = 0;
    long pages = -1;  // the second field of statm: resident pages
    std::ifstream("/proc/" + std::to_string(pid) + "/statm") >> size >> pages;
    return pages < 0 ? -1 : pages * (sysconf(_SC_PAGESIZE) / 1024);
}

// A long run at 1280 x 720 keeps its memory flat after warm-up and never builds a queue.
TEST_F(HeadlessTest, SoakKeepsResidentMemoryFlat) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's own bookkeeping grows the resident memory";
#endif
    std::ofstream(profile) << "[kelpa]\nProcAuto=0\nVidCapWidth=1280\nVidCapHeight=720\n"
                              "VidCapAvgTimePerFrame=166667\nVidCapFOURCC=844715353\n";
    long warm = -1;
    long last = -1;
    const RunResult r = Run(Args({"--source", "sim", "--frames", "3000"}), {},
                            [&](const std::string& line, pid_t pid) {
                                const double frame = Field(line, "frame");
                                if (frame == 500) warm = ResidentKiB(pid);
                                if (frame == 2990) last = ResidentKiB(pid);
                            });
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(Field(r.lines.front(), "width"), 1280);
    ASSERT_GT(warm, 0);
    ASSERT_GT(last, 0);
    EXPECT_LT(last - warm, 2048) << "resident memory grew from " << warm << " KiB to " << last;
    EXPECT_EQ(Field(r.lines.back(), "frames"), 3000);
}

}  // namespace
}  // namespace kelpa::test
