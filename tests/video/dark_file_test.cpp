// Dark frame files: what is written reads back field for field; every kind of damage is refused
// with its reason; names keep darks of different streams apart; the data folder follows XDG.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "image/bitmap_header.h"
#include "image/frame_buffer.h"
#include "platform/program_paths.h"
#include "support/temp_files.h"
#include "video/convert.h"
#include "video/dark_file.h"

namespace kelpa::testing {
namespace {

constexpr size_t kHeaderBytes = 32;

MasterDark MakeDark(const std::string& device, int32_t w, int32_t h, uint32_t format,
                    uint32_t seed) {
    MasterDark dark;
    dark.Allocate(DarkIdentity{device, w, h, format});
    dark.frames = 32;
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < 3 * w; ++x) {
            dark.pixels[size_t{dark.stride} * y + x] = static_cast<uint8_t>(rng());
        }
    }
    return dark;
}

class DarkFileTest : public ::testing::Test {
  protected:
    std::string Write(const MasterDark& dark) {
        const std::string path = dir.File("sub/dark.kdark");
        std::string error;
        EXPECT_TRUE(WriteDarkFile(path, dark, &error)) << error;
        return path;
    }
    // The reason a file with these bytes is refused ("" when it is read).
    std::string ReadError(const std::string& bytes) {
        const std::string path = dir.File("damaged.kdark");
        WriteFile(path, bytes);
        MasterDark read;
        std::string error;
        return ReadDarkFile(path, &read, &error) ? "" : error;
    }
    TempDir dir;
};

// Odd widths give padded rows: the padding is not stored and reads back as 0. Each write
// replaces the dark stored before it.
TEST_F(DarkFileTest, RoundTripKeepsEveryField) {
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{64, 48}}) {
        const MasterDark dark = MakeDark("USB Camera: \"QHY5\" #2", w, h, kFormatYuy2, w + h);
        const std::string path = Write(dark);
        EXPECT_EQ(std::filesystem::file_size(path), kHeaderBytes + 21 + 3u * w * h + 4u);
        MasterDark read;
        std::string error;
        ASSERT_TRUE(ReadDarkFile(path, &read, &error)) << error;
        EXPECT_EQ(read.identity, dark.identity);
        EXPECT_EQ(read.frames, 32u);
        EXPECT_EQ(read.stride, Stride24(w));
        EXPECT_EQ(read.pixels, dark.pixels);
    }
    // Nothing but the dark is left in the folder (the temporary file was renamed).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("sub")),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(DarkFileTest, DamagedFilesAreRefusedWithTheirReason) {
    const std::string good = ReadFile(Write(MakeDark("cam", 6, 4, kFormatI420, 3)));
    ASSERT_EQ(ReadError(good), "");
    auto with = [&](size_t at, char byte) {
        std::string bytes = good;
        bytes[at] = byte;
        return bytes;
    };
    auto flipped = [&](size_t at) {
        std::string bytes = good;
        bytes[at] = static_cast<char>(bytes[at] ^ 1);
        return bytes;
    };
    auto u32At = [&](size_t at, uint32_t v) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
        return bytes;
    };
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } kCases[] = {
        {"empty", "", "is not a dark frame file"},
        {"other magic", with(0, 'X'), "is not a dark frame file"},
        {"header cut", good.substr(0, 20), "is truncated"},
        {"pixels cut", good.substr(0, good.size() - 10), "is truncated"},
        {"checksum cut", good.substr(0, good.size() - 1), "is truncated"},
        {"a byte more", good + "x", "longer than its header says"},
        {"version 2", u32At(8, 2), "has version 2"},
        {"width 0", u32At(12, 0), "impossible size 0x4"},
        {"huge height", u32At(16, 0x40000000), "impossible size"},
        {"no frames", u32At(24, 0), "impossible header fields"},
        {"name too long", u32At(28, 256), "impossible header fields"},
        {"pixel flipped", flipped(kHeaderBytes + 3 + 10), "checksum mismatch"},
        {"checksum flipped", flipped(good.size() - 2), "checksum mismatch"},
        {"device renamed", with(kHeaderBytes, 'C'), "checksum mismatch"},
        {"format changed", u32At(20, kFormatYv12), "checksum mismatch"},
    };
    for (const auto& c : kCases) {
        const std::string error = ReadError(c.bytes);
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        EXPECT_NE(error.find("damaged.kdark"), std::string::npos) << c.name << ": " << error;
    }
}

TEST_F(DarkFileTest, MissingFileAndUnwritableFolderAreReported) {
    MasterDark read;
    std::string error;
    EXPECT_FALSE(ReadDarkFile(dir.File("none.kdark"), &read, &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    // A folder where a file stands cannot be created.
    WriteFile(dir.File("block"), "x");
    EXPECT_FALSE(WriteDarkFile(dir.File("block/dark.kdark"), MakeDark("c", 2, 2, 0, 1), &error));
    EXPECT_NE(error.find("Can't write dark frame"), std::string::npos) << error;
    EXPECT_FALSE(WriteDarkFile(dir.File("empty.kdark"), MasterDark{}, &error));
}

TEST(DarkNameTest, NamesKeepStreamsApart) {
    const DarkIdentity base{"QHY5-II Camera", 640, 480, kFormatYuy2};
    const std::string name = DarkFileName(base);
    EXPECT_EQ(name.rfind("QHY5-II_Camera-", 0), 0u) << name;
    EXPECT_NE(name.find("-640x480-YUY2.kdark"), std::string::npos) << name;
    const DarkIdentity others[] = {
        {"QHY5-II:Camera", 640, 480, kFormatYuy2},  // differs only in a replaced character
        {"QHY5-II Camera", 480, 640, kFormatYuy2},
        {"QHY5-II Camera", 640, 480, kFormatUyvy},
        {"QHY5-II Camera", 640, 480, DarkFormatCode(0, 24)},
    };
    for (const DarkIdentity& other : others) EXPECT_NE(DarkFileName(other), name);
    EXPECT_EQ(DarkFileName(DarkIdentity{"", 2, 2, 0}).find('/'), std::string::npos);
    EXPECT_EQ(DarkFileName(DarkIdentity{"../../x/y", 2, 2, 0}).find('/'), std::string::npos);
    EXPECT_EQ(DescribeDark(DarkIdentity{"Sim", 640, 480, FourCC("BGR3")}), "640x480 BGR3 of Sim");
}

TEST(UserDataDirectoryTest, FollowsXdgDataHome) {
    const struct {
        const char* dataHome;
        const char* home;
        const char* expected;
    } kCases[] = {
        {"/data/home/", "/home/u", "/data/home"},
        {"relative/path", "/home/u", "/home/u/.local/share"},
        {nullptr, "/home/u", "/home/u/.local/share"},
        {nullptr, "/", "/.local/share"},
    };
    for (const auto& c : kCases) {
        const ScopedEnv data("XDG_DATA_HOME", c.dataHome);
        const ScopedEnv home("HOME", c.home);
        EXPECT_EQ(UserDataDirectory(), c.expected) << (c.dataHome ? c.dataHome : "(unset)");
    }
    const ScopedEnv data("XDG_DATA_HOME", "/d");
    EXPECT_EQ(DefaultDarkDirectory(), "/d/kelpa/darks");
}

}  // namespace
}  // namespace kelpa::testing
