// Dark frame files: what is written reads back field for field; every kind of damage is refused
// with its reason; names keep darks of different streams apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <tuple>

#include "image/bitmap_header.h"
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
    for (size_t i = 0; i < dark.pixels.size(); ++i) {
        if (i % dark.stride < 3u * w) dark.pixels[i] = static_cast<uint8_t>(rng());  // no padding
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
    // The reason the file at `path` is refused ("" when it is read into `read`).
    static std::string Read(const std::string& path, MasterDark* read = nullptr) {
        MasterDark dark;
        std::string error;
        return ReadDarkFile(path, read ? read : &dark, &error) ? "" : error;
    }
    // The reason a file with these bytes is refused.
    std::string ReadError(const std::string& bytes) {
        WriteFile(dir.File("damaged.kdark"), bytes);
        return Read(dir.File("damaged.kdark"));
    }
    TempDir dir;
};

// What is written reads back field for field (an odd width gives padded rows: the padding is
// not stored and reads back as 0), replacing the dark stored before it and leaving nothing else
// in the folder. Every kind of damage and a folder that cannot be made are refused, each with
// its reason.
TEST_F(DarkFileTest, WrittenDarkReadsBackAndDamagedFilesAreRefusedWithTheirReason) {
    Write(MakeDark("cam", 64, 48, kFormatYuy2, 1));
    const std::string device = "USB Camera: \"QHY5\" #2";
    const MasterDark dark = MakeDark(device, 5, 4, kFormatI420, 3);
    const std::string good = ReadFile(Write(dark));
    EXPECT_EQ(good.size(), kHeaderBytes + device.size() + 3u * 5 * 4 + 4u);
    MasterDark read;
    ASSERT_EQ(Read(dir.File("sub/dark.kdark"), &read), "");
    EXPECT_EQ(std::tie(read.identity, read.frames, read.stride, read.pixels),
              std::tie(dark.identity, dark.frames, dark.stride, dark.pixels));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("sub")),
                            std::filesystem::directory_iterator()),
              1);  // the temporary file was renamed
    // The good file with `n` bytes at `at` replaced by v, little-endian.
    const auto changed = [&](size_t at, uint32_t v, int n = 4) {
        std::string bytes = good;
        for (int i = 0; i < n; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
        return bytes;
    };
    const auto flipped = [&](size_t at) { return changed(at, good[at] ^ 1, 1); };
    const std::tuple<const char*, std::string, const char*> kCases[] = {
        {"empty", "", "is not a dark frame file"},
        {"other magic", changed(0, 'X', 1), "is not a dark frame file"},
        {"header cut", good.substr(0, 20), "is truncated"},
        {"pixels cut", good.substr(0, good.size() - 10), "is truncated"},
        {"a byte more", good + "x", "longer than its header says"},
        {"version 2", changed(8, 2), "has version 2"},
        {"width 0", changed(12, 0), "impossible size 0x4"},
        {"huge height", changed(16, 0x40000000), "impossible size"},
        {"no frames", changed(24, 0), "impossible header fields"},
        {"name too long", changed(28, 256), "impossible header fields"},
        {"pixel flipped", flipped(kHeaderBytes + device.size() + 10), "checksum mismatch"},
        {"format changed", changed(20, kFormatYv12), "checksum mismatch"},
    };
    for (const auto& [name, bytes, reason] : kCases) {
        const std::string error = ReadError(bytes);
        EXPECT_NE(error.find(reason), std::string::npos) << name << ": " << error;
        EXPECT_NE(error.find("damaged.kdark"), std::string::npos) << name << ": " << error;
    }
    // A folder where a file stands cannot be created.
    std::string error;
    WriteFile(dir.File("block"), "x");
    EXPECT_FALSE(WriteDarkFile(dir.File("block/dark.kdark"), MakeDark("c", 2, 2, 0, 1), &error));
    EXPECT_NE(error.find("Can't write dark frame"), std::string::npos) << error;
}

// Streams that differ in any way get names of their own; no device name puts the file in
// another folder.
TEST(DarkNameTest, NamesKeepStreamsApart) {
    const std::string name = DarkFileName({"QHY5-II Camera", 640, 480, kFormatYuy2});
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

}  // namespace
}  // namespace kelpa::testing
