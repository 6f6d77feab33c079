// The INI profile: the text model's look-up rules and edits that keep every other line, and
// the store on real files: value kinds, case rules, the file's mode kept, atomic replacement
// (interrupted writes, concurrent writers) and failures. Read-only use with overrides is the
// headless run's.
#include "platform/ini_profile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/ini_document.h"
#include "platform/program_paths.h"
#include "support/captured_log.h"
#include "support/temp_files.h"

namespace kelpa {
namespace {

using testing::CapturedLog;
using testing::ReadFile;
using testing::WriteFile;

class IniProfileTest : public ::testing::Test {
  protected:
    IniProfileTest() { MakeDirectories(ParentDirectory(path_)); }
    testing::TempDir dir_;
    std::string path_ = dir_.File("cfg/kelpa/kelpa.ini");
};

TEST_F(IniProfileTest, EveryValueKindReadsBackAndBadOnesAreRefused) {
    IniProfileStore store(path_);
    ASSERT_TRUE(store.WriteString("kelpa", "ProcChannels", "-2"));  // "%d"
    ASSERT_TRUE(store.WriteString("quill", "Device", "USB Camera (046d:0825)"));
    IniProfileStore fresh(path_);  // a second copy of the program reads the same words
    EXPECT_EQ(fresh.GetInt("KELPA", "procchannels", 0), -2);
    char out[64];
    fresh.GetString("kelpa", "Missing", "<default>", out, sizeof out);
    EXPECT_STREQ(out, "<default>");
    EXPECT_EQ(fresh.GetString("quill", "Device", "", out, 4), 3u);  // cut to the buffer
    EXPECT_STREQ(out, "USB");
    const std::string before = ReadFile(path_);  // names and values that would not read back
    EXPECT_FALSE(fresh.WriteString("quill", "Device", "1\n[evil]\nB=2"));
    EXPECT_EQ(ReadFile(path_), before);
    // Words above 2^31 (tags, float bit patterns) read as the negative numbers they wrap to.
    for (const auto& [text, value] :
         {std::pair{" \t+7", 7}, {"4294967294", -2}, {"4294967296", 0}, {"-", 0}}) {
        EXPECT_EQ(IniProfileStore::ParseProfileInt(text), value) << text;
    }
}

// A write replaces one line and keeps the rest of the file, its mode included; a removed key
// reads as missing; a file changed by someone else is read again, whatever its time stamp.
TEST_F(IniProfileTest, WritesKeepTheFileAndChangesByOthersAreSeen) {
    WriteFile(path_, "; by hand\n[kelpa]\nProcAmp=1\ngarbage\nProcAmp=2\n[KELPA]\nProcGamma=7\n");
    ASSERT_EQ(chmod(path_.c_str(), 0600), 0);
    IniProfileStore store(path_);
    ASSERT_TRUE(store.WriteString("kelpa", "ProcAmp", "300"));
    ASSERT_TRUE(store.WriteString("kelpa", "ProcBlackLevel", "4"));
    EXPECT_EQ(ReadFile(path_),
              "; by hand\n[kelpa]\nProcAmp=300\ngarbage\nProcAmp=2\nProcBlackLevel=4\n"
              "[KELPA]\nProcGamma=7\n");
    struct stat st {};
    ASSERT_EQ(stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_TRUE(store.WriteString("kelpa", "ProcAmp", nullptr));
    EXPECT_EQ(store.GetInt("kelpa", "ProcAmp", -9), -9);

    WriteFile(path_, "[kelpa]\nA=2\n");  // edited in place, with an mtime that went back
    st.st_mtim.tv_sec -= 10;
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path_.c_str(), times, 0), 0);
    EXPECT_EQ(store.GetInt("kelpa", "A", 0), 2);
    ASSERT_TRUE(IniProfileStore(path_).WriteString("kelpa", "A", "33"));
    EXPECT_EQ(store.GetInt("kelpa", "A", 0), 33);
    ASSERT_EQ(unlink(path_.c_str()), 0);
    EXPECT_EQ(store.GetInt("kelpa", "A", 0), 0);
}

// A write killed after its temporary file is complete but before the rename leaves the old
// profile; the next write takes the leftover's place. Copies writing at once lose no keys.
TEST_F(IniProfileTest, InterruptedAndConcurrentWritesLoseNothing) {
    IniProfileStore store(path_);
    ASSERT_TRUE(store.WriteString("kelpa", "A", "1"));
    const std::string before = ReadFile(path_);
    ASSERT_EQ(testing::ExitCode(testing::Spawn([&] {
                  IniProfileStore writer(path_);
                  writer.SetBeforeReplaceHook([] { _exit(7); });
                  return writer.WriteString("kelpa", "A", "2") ? 0 : 1;
              })),
              7);
    EXPECT_EQ(ReadFile(path_), before);
    EXPECT_EQ(ReadFile(store.TempPath()), "[kelpa]\nA=2\n");  // the leftover
    EXPECT_EQ(IniProfileStore(path_).GetInt("kelpa", "A", 0), 1);

    const auto key = [](int w, int k) { return "W" + std::to_string(w) + "K" + std::to_string(k); };
    std::vector<pid_t> writers;
    for (int w = 0; w < 3; ++w) {
        writers.push_back(testing::Spawn([&, w] {
            IniProfileStore writer(path_);
            int failed = 0;
            for (int k = 0; k < 12; ++k) {
                failed += !writer.WriteString(w % 2 ? "kelpa" : "quill", key(w, k).c_str(),
                                              std::to_string(k).c_str());
            }
            return failed;
        }));
    }
    for (pid_t writer : writers) EXPECT_EQ(testing::ExitCode(writer), 0);
    EXPECT_EQ(store.GetInt("kelpa", "A", 0), 1);
    EXPECT_NE(access(store.TempPath().c_str(), F_OK), 0);
    for (int w = 0; w < 3; ++w) {
        for (int k = 0; k < 12; ++k) {
            EXPECT_EQ(store.GetInt(w % 2 ? "kelpa" : "quill", key(w, k).c_str(), -1), k);
        }
    }
}

// A profile that cannot be used reads as empty, says why, logs it once, is never replaced, and
// never blocks; one that cannot be made fails and logs once. (A missing one, a fresh start that
// an explicitly named profile reports, is the headless run's.)
TEST_F(IniProfileTest, ProfilesThatCannotBeUsedGiveTheirReason) {
    const std::pair<int (*)(const char*), const char*> cases[] = {
        {[](const char* p) { return mkdir(p, 0700); }, "it is a directory"},
        {[](const char* p) { return mkfifo(p, 0600); }, "it is not a regular file"},
        {[](const char* p) {
             WriteFile(p, "[kelpa]\nA=1\n");
             return truncate(p, IniProfileStore::kMaxFileBytes + 1);
         },
         "it is larger than 16 MiB"}};
    for (const auto& [make, reason] : cases) {
        SCOPED_TRACE(reason);
        std::filesystem::remove_all(path_);
        ASSERT_EQ(make(path_.c_str()), 0);
        IniProfileStore store(path_);
        CapturedLog::Start();
        std::string why;
        EXPECT_FALSE(store.CheckReadable(&why));
        EXPECT_EQ(why, reason);
        EXPECT_EQ(store.GetInt("kelpa", "A", 7), 7);
        EXPECT_EQ(CapturedLog::Lines(),
                  std::vector<std::string>{"Can`t read the profile " + path_ + ": " + reason});
        EXPECT_FALSE(store.WriteString("kelpa", "A", "1"));
    }
    EXPECT_EQ(std::filesystem::file_size(path_), IniProfileStore::kMaxFileBytes + 1);

    WriteFile(dir_.File("file"), "not a directory");
    IniProfileStore unwritable(dir_.File("file/kelpa/kelpa.ini"));
    CapturedLog::Start();
    EXPECT_FALSE(unwritable.WriteString("kelpa", "A", "1"));
    EXPECT_FALSE(unwritable.WriteString("kelpa", "B", "2"));
    EXPECT_EQ(unwritable.GetInt("kelpa", "A", 5), 5);
    ASSERT_EQ(CapturedLog::Lines().size(), 1u);
    EXPECT_NE(CapturedLog::Lines()[0].find("file/kelpa/kelpa.ini"), std::string::npos);
}

TEST(IniProfilePathTest, FollowsTheEnvironment) {
    testing::ScopedEnv profile("KELPA_PROFILE", "/x/my.ini"), xdg("XDG_CONFIG_HOME", "/cfg/");
    EXPECT_EQ(IniProfileStore::DefaultProfilePath(), "/x/my.ini");
    unsetenv("KELPA_PROFILE");
    EXPECT_EQ(IniProfileStore::DefaultProfilePath(), "/cfg/kelpa/kelpa.ini");
}

std::string ValueOf(const IniDocument& doc, const char* section, const char* key) {
    const std::string* value = doc.Find(section, key);
    return value ? *value : "<missing>";
}

// Keys and sections compare without case, values are trimmed, and the first duplicate wins;
// keys before any section or in another section are not seen. Lines the model does not
// understand are kept byte for byte; a changed key keeps its place, a new key joins the end of
// its section, a new section goes last; line ends and a byte-order mark (only at the very
// start) are kept.
TEST(IniDocumentTest, LookUpRulesAndEditsThatKeepEveryOtherLine) {
    using SetResult = IniDocument::SetResult;
    const std::string garbage =
        "no equals sign here\n[broken\n=value without key\n; a comment\n"
        "# another=comment\n[kelpa] trailing words\nbin\x01\xff=x\n" +
        std::string("nul\0here=2\n", 11);
    IniDocument doc = IniDocument::Parse(
        "top=outside\n[Kelpa]\n  ProcAmp =  128  \nName=\" padded \"\nEmpty=\na=1\na=2\n" +
        garbage + "\n[quill]\nDev=cam\n[KELPA]\nb=4\n");
    EXPECT_EQ(ValueOf(doc, "KELPA", "procAMP"), "128");
    EXPECT_EQ(ValueOf(doc, "kelpa", "Name"), " padded ");
    EXPECT_EQ(ValueOf(doc, "kelpa", "Empty"), "");
    EXPECT_EQ(ValueOf(doc, "kelpa", "a"), "1");
    EXPECT_EQ(ValueOf(doc, "kelpa", "bin\x01\xff"), "x");  // odd bytes, but a good line
    for (const char* key : {"Dev", "top", "b"}) EXPECT_EQ(ValueOf(doc, "kelpa", key), "<missing>");
    // Removal takes every copy in the section, so the second cannot surface.
    EXPECT_EQ(doc.Set("kelpa", "A", nullptr), SetResult::kChanged);
    EXPECT_EQ(ValueOf(doc, "kelpa", "a"), "<missing>");
    EXPECT_EQ(doc.Set("kelpa", "a", nullptr), SetResult::kUnchanged);
    EXPECT_EQ(doc.Set("absent", "a", nullptr), SetResult::kUnchanged);
    EXPECT_EQ(doc.Set("kelpa", "ProcAmp", "2"), SetResult::kChanged);
    EXPECT_EQ(doc.Set("kelpa", "B", "3"), SetResult::kChanged);
    EXPECT_EQ(doc.Set("new", "C", "4"), SetResult::kChanged);
    EXPECT_EQ(doc.Set("kelpa", "B", "3"), SetResult::kUnchanged);
    EXPECT_EQ(doc.Serialize(), "top=outside\n[Kelpa]\nProcAmp=2\nName=\" padded \"\nEmpty=\n" +
                                   garbage +
                                   "B=3\n\n[quill]\nDev=cam\n[KELPA]\nb=4\n\n[new]\nC=4\n");

    IniDocument windows = IniDocument::Parse("\xEF\xBB\xBF[kelpa]\r\nA=1\r\n");
    EXPECT_EQ(ValueOf(windows, "kelpa", "A"), "1");
    windows.Set("kelpa", "A", "5");
    windows.Set("kelpa", "B", "6");
    EXPECT_EQ(windows.Serialize(), "\xEF\xBB\xBF[kelpa]\r\nA=5\r\nB=6\r\n");
    EXPECT_EQ(ValueOf(IniDocument::Parse("\n\xEF\xBB\xBF[kelpa]\nA=1\n"), "kelpa", "A"),
              "<missing>");
}

// Every value reads back exactly; names and values that would not are refused.
TEST(IniDocumentTest, ValuesReadBackAndWhatWouldNotIsRefused) {
    for (const char* value : {"", " lead", "trail ", "\"quoted\"", "a=b=c", "; not a comment"}) {
        IniDocument doc;
        ASSERT_NE(doc.Set("kelpa", "K", value), IniDocument::SetResult::kInvalid) << value;
        EXPECT_EQ(ValueOf(IniDocument::Parse(doc.Serialize()), "kelpa", "K"), value);
    }
    IniDocument doc = IniDocument::Parse("[kelpa]\nA=1\n");
    for (const auto& [section, key] : {std::pair{"kelpa", ""},
                                       {"kelpa", "A=B"},
                                       {"kelpa", ";A"},
                                       {"kelpa", "A\nB"},
                                       {"", "A"},
                                       {"a]b", "A"}}) {
        EXPECT_EQ(doc.Set(section, key, "1"), IniDocument::SetResult::kInvalid) << key << section;
    }
    EXPECT_EQ(doc.Serialize(), "[kelpa]\nA=1\n");
}

}  // namespace
}  // namespace kelpa
