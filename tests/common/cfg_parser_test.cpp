// The configuration parser on real files: targets chosen by section headers, values handed
// over, messages and line numbers in the side log, and the lines that stop a file; and the
// value-list reader the targets read their values with.
#include "common/cfg_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/value_token.h"
#include "support/captured_log.h"
#include "support/temp_files.h"

namespace kelpa {
namespace {

using testing::CapturedLog;
using testing::FileExists;
using testing::ReadFile;
using testing::WriteFile;
using Record = std::vector<std::string>;  // "target:name=value" per assignment

// Records every assignment; the name's prefix chooses the answer, and names beginning with
// "text" are read as one value item the way the real targets read them.
class RecordingTarget : public CfgMenuTarget {
  public:
    RecordingTarget(std::string label, Record* record, int32_t menuNumber = -1)
        : CfgMenuTarget(menuNumber), label_(std::move(label)), record_(record) {}

    int32_t Assign(const char* name, const char* value) override {
        record_->push_back(label_ + ":" + name + "=" + value);
        const std::string key = name;
        for (const auto& [prefix, answer] : kAnswers)
            if (key.starts_with(prefix)) return answer;
        std::string item;
        return key.starts_with("text") && ReadValueToken(value, &item) < 0 ? -2 : 1;
    }

  private:
    static constexpr std::pair<const char*, int32_t> kAnswers[] = {
        {"unknown", 0}, {"nomem", -1}, {"reject", -2}, {"quiet", -7}};
    std::string label_;
    Record* record_;
};

class RecordingRoot : public CfgRoot {
  public:
    CfgTarget* ToolBarTarget() override { return &toolBar_; }
    CfgTarget* ControlsTarget() override { return &controls_; }
    std::span<CfgMenuTarget* const> MenuTargets() override { return menus_; }
    Record record;

  private:
    RecordingTarget toolBar_{"toolbar", &record};
    RecordingTarget controls_{"ctrl", &record};
    RecordingTarget control_{"menu1", &record, 0};
    RecordingTarget processing_{"menu3", &record, 2};
    std::vector<CfgMenuTarget*> menus_{&control_, &processing_};
};

class CfgParserTest : public ::testing::Test {
  protected:
    void SetUp() override { CapturedLog::Start(); }
    bool Parse(const std::string& content) {
        WriteFile(dir_.File("kelpa.cfg"), content);
        return LoadConfig(&root_, dir_.Path().c_str(), "kelpa.cfg");
    }
    std::string SideLogText() const { return ReadFile(dir_.File("kelpa.cfg.log")); }

    testing::TempDir dir_;
    RecordingRoot root_;
};

TEST_F(CfgParserTest, SectionsChooseTargetsAndValuesArriveCut) {
    EXPECT_TRUE(
        Parse("[toolbar]\nOpen = \"Open a file\" ; tooltip\n  cam::AngleH=5\r\n[Colors]\n"
              "still = toolbar\n[CTRL]\nGain\t=\t1.5\t\n[colors]\nmore = ctrl\n[menu1]\nItem = x\n"
              "[ MENU3 ] trailing\nName = y\n[MENU12]\nkept = 1\n[MENU]\n"
              "last = 2"));  // no line end at the end of the file
    EXPECT_EQ(root_.record,
              (Record{"toolbar:Open=\"Open a file\"", "toolbar:cam::AngleH=5",
                      "toolbar:still=toolbar", "ctrl:Gain=1.5", "ctrl:more=ctrl", "menu1:Item=x",
                      "menu3:Name=y", "menu3:kept=1", "menu3:last=2"}));
    EXPECT_EQ(SideLogText(), "12: [ MENU3 ] trailing\n");
    EXPECT_TRUE(CapturedLog::Lines().empty());
}

TEST_F(CfgParserTest, BadLinesAreReportedWithTheirNumbers) {
    EXPECT_TRUE(
        Parse("[ctrl]\nunknownA = 1\nnomem = 2\n"
              "text = \"a;b\"\n"  // 4: the cut loses the closing quote
              "rejectX = 5\nquiet = 3\n1bad = 4\n  a::b::c=5\na:b=5\na::=5\nnoequals 5\n"
              "empty =    ; comment\n[ctrl\n[MENU0]\nsilent = 1\n[MENUx]\n[ctrl]\n"
              "[menu7]\n"  // 18: no such menu
              "dropped = 1\n"));
    EXPECT_EQ(SideLogText(),
              "2: unknow var: ---> unknownA=\n"
              "3: can`t alloc memory\n"
              "4: syntax expr error : ---> \"a\n"
              "5: syntax expr error : ---> 5\n"
              "7: syntax error, bad name : ---> 1bad = 4\n"
              "8:   a::b::c=5\n9: a:b=5\n10: a::=5\n11: noequals 5\n12: empty =\n"
              "13: [ctrl\n14: [MENU0]\n16: [MENUx]\n");
    EXPECT_EQ(root_.record.size(), 5u);  // lines 2 to 6
    EXPECT_TRUE(CapturedLog::Lines().empty());
}

TEST_F(CfgParserTest, LongLinesAreReadInPiecesThatCountAsLines) {
    EXPECT_TRUE(Parse("[ctrl]\na=" + std::string(1498, 'x') + "\nunknownZ = 1\n"));
    EXPECT_EQ(root_.record, (Record{"ctrl:a=" + std::string(1021, 'x'), "ctrl:unknownZ=1"}));
    // The second piece has no "="; its message is cut to the side log's 199 characters.
    EXPECT_EQ(SideLogText(), "3: " + std::string(196, 'x') + "\n4: unknow var: ---> unknownZ=\n");
}

TEST_F(CfgParserTest, FatalLinesStopTheWholeFile) {
    const std::string path = dir_.File("kelpa.cfg");
    const std::pair<std::string, std::string> cases[] = {
        {std::string("\x7f\xff\x01\x80garbage", 11), "$bad row 3: '" + path + "'"},
        {"[", "3: stop parsing! -->  ["},
    };
    for (const auto& [line, message] : cases) {
        SCOPED_TRACE(::testing::PrintToString(line));
        root_.record.clear();
        EXPECT_FALSE(Parse("[ctrl]\na\t=\t1\n" + line + "\nafter = 2\n"));
        EXPECT_EQ(root_.record, Record{"ctrl:a=1"});
        EXPECT_EQ(SideLogText(), message + "\n");
        EXPECT_EQ(CapturedLog::Lines().back(), "Parsing error. " + path);
    }
}

// A common file read without targets only checks its headers (a header that stops it is the
// headless run's); a file stops successfully at the line limit; files of comments only leave no
// side log (an earlier run's is removed); files that cannot be read are reported nowhere.
TEST_F(CfgParserTest, CommonFilesLineLimitAndQuietFiles) {
    WriteFile(dir_.File("kcommon.cfg"), "a = 1\n1bad = 2\nx::y::z=3\n[toolbar]\nb=\n[MENU0]\n");
    EXPECT_TRUE(LoadConfig(dir_.Path().c_str(), "kcommon.cfg"));
    EXPECT_FALSE(FileExists(dir_.File("kcommon.cfg.log")));

    EXPECT_TRUE(Parse("[ctrl]\n" + std::string(CfgParser::kMaxLines - 2, '\n') +
                      "atLimit = 1\nbeyond = 1\n"));
    EXPECT_EQ(root_.record, Record{"ctrl:atLimit=1"});

    root_.record.clear();
    CapturedLog::Start();
    EXPECT_TRUE(Parse("; comment\n\n   \n\t; indented\r\n\r\n   ;x\f\n"));
    EXPECT_FALSE(FileExists(dir_.File("kelpa.cfg.log")));
    EXPECT_TRUE(root_.record.empty());
    std::filesystem::create_directory(dir_.File("folder.cfg"));
    for (const std::string& name :
         {std::string("absent.cfg"), std::string("folder.cfg"), std::string(300, 'n')}) {
        EXPECT_FALSE(LoadConfig(&root_, dir_.Path().c_str(), name.c_str()));
        EXPECT_FALSE(FileExists(dir_.File(name + ".log")));
    }
    EXPECT_TRUE(CapturedLog::Lines().empty());
}

// The first item of a value text, the only one the replacement texts read: quoted or bare,
// before a comma or a last blank, and nothing stored for a number; at most the limit copied.
TEST(ReadValueTokenTest, ReadsTheFirstItem) {
    const std::tuple<const char*, int32_t, const char*> cases[] = {
        {"\"Open a file\", 'it''s'", 1, "Open a file"},
        {"'it''s'", 1, "it"},
        {"\"a\" junk , b", 1, "a"},
        {"\"open", -2, "-"},
        {"abc ,\tdef,ghi", 1, "abc"},
        {"12, word", 1, "-"},
        {"one two three", 1, "one two"},  // the last blank ends the word
        {"", 1, ""}};
    for (const auto& [text, result, item] : cases) {
        const char* cursor = text;
        std::string read = "-";  // a read storing nothing leaves it in place
        EXPECT_EQ(ReadValueToken(cursor, &read), result) << text;
        EXPECT_EQ(read, item) << text;
    }

    std::string quoted(kMaxValueItem + 12, 'q');
    quoted.front() = quoted.back() = '"';
    const char* cursor = quoted.c_str();
    std::string item;
    size_t length = 0;
    EXPECT_EQ(ReadValueToken(cursor, &item, nullptr, &length), 1);
    EXPECT_EQ(item.size(), kMaxValueItem);
    EXPECT_EQ(length, kMaxValueItem + 10);
}

}  // namespace
}  // namespace kelpa
