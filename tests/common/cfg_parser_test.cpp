// The configuration parser on real files: targets chosen by section headers, values handed
// over, messages and line numbers in the side log, and the lines that stop a file.
#include "common/clib/cfg_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/clib/log.h"
#include "common/clib/log_detail.h"
#include "common/clib/value_token.h"
#include "common/temp_files.h"

namespace kelpa {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct Assignment {
    std::string target;
    std::string name;
    std::string value;
    bool operator==(const Assignment&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Assignment& a) {
    return out << a.target << ":" << a.name << "=" << a.value;
}

// Records every assignment; the name's prefix chooses the answer, and names beginning with
// "text" are read as one value item the way the real targets read them.
class RecordingTarget : public CfgMenuTarget {
  public:
    RecordingTarget(std::string label, std::vector<Assignment>* record, int32_t menuNumber = -1)
        : CfgMenuTarget(menuNumber), label_(std::move(label)), record_(record) {}

    int32_t Assign(const char* name, const char* value) override {
        record_->push_back({label_, name, value});
        const std::string key = name;
        if (key.starts_with("unknown")) return 0;
        if (key.starts_with("nomem")) return -1;
        if (key.starts_with("reject")) return -2;
        if (key.starts_with("quiet")) return -7;
        if (key.starts_with("text")) {
            std::string item;
            return ReadValueToken(value, &item) < 0 ? -2 : 1;
        }
        return 1;
    }

  private:
    std::string label_;
    std::vector<Assignment>* record_;
};

class RecordingRoot : public CfgRoot {
  public:
    CfgTarget* ToolBarTarget() override { return &toolBar_; }
    CfgTarget* ControlsTarget() override { return &controls_; }
    std::span<CfgMenuTarget* const> MenuTargets() override { return menus_; }

    std::vector<Assignment> record;

  private:
    RecordingTarget toolBar_{"toolbar", &record};
    RecordingTarget controls_{"ctrl", &record};
    RecordingTarget control_{"menu1", &record, 0};
    RecordingTarget processing_{"menu3", &record, 2};
    std::vector<CfgMenuTarget*> menus_{&control_, &processing_};
};

std::string g_programLogPath;
std::FILE* OpenTestLog() {
    return std::fopen(g_programLogPath.c_str(), "w");
}

class CfgParserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        detail::ResetLogState();
        g_programLogPath = dir_.File("kelpa.log");
        SetLogOpener(&OpenTestLog);
    }
    void TearDown() override { detail::ResetLogState(); }

    bool Parse(const std::string& content, const char* name = "kelpa.cfg") {
        WriteFile(dir_.File(name), content);
        return LoadConfig(&root_, dir_.Path().c_str(), name);
    }
    std::string SideLogText(const char* name = "kelpa.cfg.log") const {
        return ReadFile(dir_.File(name));
    }
    std::string ProgramLogText() {
        LogClose();
        return ReadFile(g_programLogPath);
    }

    TempDir dir_;
    RecordingRoot root_;
};

TEST_F(CfgParserTest, SectionsChooseTargetsAndValuesArriveCut) {
    const bool parsed = Parse(
        "[toolbar]\n"
        "Open = \"Open a file\" ; tooltip\n"
        "  cam::AngleH=5\r\n"
        "[Colors]\n"
        "still = toolbar\n"
        "[CTRL]\n"
        "Gain\t=\t1.5\t\n"
        "[colors]\n"
        "more = ctrl\n"
        "[menu1]\n"
        "Item = x\n"
        "[ MENU3 ] trailing\n"
        "Name = y\n"
        "[MENU12]\n"
        "kept = 1\n"
        "[MENU]\n"
        "last = 2");  // no line end at the end of the file
    EXPECT_TRUE(parsed);
    const std::vector<Assignment> expected{{"toolbar", "Open", "\"Open a file\""},
                                           {"toolbar", "cam::AngleH", "5"},
                                           {"toolbar", "still", "toolbar"},
                                           {"ctrl", "Gain", "1.5"},
                                           {"ctrl", "more", "ctrl"},
                                           {"menu1", "Item", "x"},
                                           {"menu3", "Name", "y"},
                                           {"menu3", "kept", "1"},
                                           {"menu3", "last", "2"}};
    EXPECT_EQ(root_.record, expected);
    EXPECT_EQ(SideLogText(), "12: [ MENU3 ] trailing\n");
    EXPECT_EQ(ProgramLogText(), "");
}

TEST_F(CfgParserTest, BadLinesAreReportedWithTheirNumbers) {
    const bool parsed = Parse(
        "[ctrl]\n"                // 1
        "unknownA = 1\n"          // 2
        "nomem = 2\n"             // 3
        "text = \"a;b\"\n"        // 4: the cut loses the closing quote
        "rejectX = 5\n"           // 5
        "quiet = 3\n"             // 6
        "1bad = 4\n"              // 7
        "  a::b::c=5\n"           // 8
        "a:b=5\n"                 // 9
        "a::=5\n"                 // 10
        "noequals 5\n"            // 11
        "empty =    ; comment\n"  // 12
        "[ctrl\n"                 // 13
        "[MENU0]\n"               // 14
        "silent = 1\n"            // 15
        "[MENUx]\n"               // 16
        "[ctrl]\n"                // 17
        "[menu7]\n"               // 18: no such menu
        "dropped = 1\n");         // 19
    EXPECT_TRUE(parsed);
    EXPECT_EQ(SideLogText(),
              "2: unknow var: ---> unknownA=\n"
              "3: can`t alloc memory\n"
              "4: syntax expr error : ---> \"a\n"
              "5: syntax expr error : ---> 5\n"
              "7: syntax error, bad name : ---> 1bad = 4\n"
              "8:   a::b::c=5\n"
              "9: a:b=5\n"
              "10: a::=5\n"
              "11: noequals 5\n"
              "12: empty =\n"
              "13: [ctrl\n"
              "14: [MENU0]\n"
              "16: [MENUx]\n");
    EXPECT_EQ(root_.record.size(), 5u);  // lines 2 to 6
    EXPECT_EQ(ProgramLogText(), "");
}

TEST_F(CfgParserTest, CommentsOnlyLeaveNoSideLog) {
    WriteFile(dir_.File("kelpa.cfg.log"), "stale messages of an earlier run\n");
    EXPECT_TRUE(Parse("; comment\n\n   \n\t; indented\r\n\r\n   ;x\f\n"));
    EXPECT_FALSE(FileExists(dir_.File("kelpa.cfg.log")));
    EXPECT_TRUE(root_.record.empty());
}

TEST_F(CfgParserTest, LongLinesAreReadInPiecesThatCountAsLines) {
    const std::string value(1498, 'x');
    EXPECT_TRUE(Parse("[ctrl]\na=" + value + "\nunknownZ = 1\n"));
    ASSERT_FALSE(root_.record.empty());
    EXPECT_EQ(root_.record[0].value, std::string(1021, 'x'));
    // The second piece has no "="; its message is cut to the side log's 199 characters.
    EXPECT_EQ(SideLogText(), "3: " + std::string(196, 'x') + "\n4: unknow var: ---> unknownZ=\n");
}

TEST_F(CfgParserTest, TwoMegabyteLineDoesNotStopTheFile) {
    const size_t size = 0x200000;
    EXPECT_TRUE(Parse("[ctrl]\n" + std::string(size, 'x') + "\nunknownEnd = 1\n"));
    const size_t pieces = (size + 1 + 1022) / 1023;
    const std::string log = SideLogText();
    EXPECT_EQ(static_cast<size_t>(std::count(log.begin(), log.end(), '\n')), pieces + 1);
    const std::string last = std::to_string(pieces + 2) + ": unknow var: ---> unknownEnd=\n";
    EXPECT_TRUE(log.ends_with(last)) << log.substr(log.size() - 80);
}

struct FatalCase {
    const char* name;
    std::string line;
    const char* message;  // "%s" stands for the file's path
};

void PrintTo(const FatalCase& param, std::ostream* out) {
    *out << param.name;
}

class CfgParserFatalTest : public CfgParserTest, public ::testing::WithParamInterface<FatalCase> {};

TEST_P(CfgParserFatalTest, StopsTheWholeFile) {
    const FatalCase& param = GetParam();
    const std::string path = dir_.File("kelpa.cfg");
    WriteFile(path, "[ctrl]\na\t=\t1\n" + param.line + "\nafter = 2\n");
    {
        CfgParser parser(&root_);
        ASSERT_TRUE(parser.Open(dir_.Path().c_str(), "kelpa.cfg"));
        EXPECT_FALSE(parser.Run());
        EXPECT_EQ(parser.State(), FileReader::kStateFailed);
    }
    const std::vector<Assignment> expected{{"ctrl", "a", "1"}};
    EXPECT_EQ(root_.record, expected);
    std::string message = param.message;
    if (const size_t at = message.find("%s"); at != std::string::npos) {
        message.replace(at, 2, path);
    }
    EXPECT_EQ(SideLogText(), message + "\n");
    EXPECT_EQ(ProgramLogText(), "Parsing error. " + path + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CfgParserFatalTest,
    ::testing::Values(FatalCase{"FormFeed", "b = 1\f2", "$bad row 3: '%s'"},
                      FatalCase{"LeadingFormFeed", "\fb = 1", "$bad row 3: '%s'"},
                      FatalCase{"NulByte", std::string("b = 1\0 2", 8), "$bad row 3: '%s'"},
                      FatalCase{"Escape", "[x\x1b]", "$bad row 3: '%s'"},
                      FatalCase{"Binary", std::string("\x7f\xff\x01\x80garbage", 11),
                                "$bad row 3: '%s'"},
                      FatalCase{"SectionWithoutName", "[", "3: stop parsing! -->  ["},
                      FatalCase{"SectionDigit", "  [ 1x]", "3: stop parsing! -->    [ 1x]"}),
    [](const ::testing::TestParamInfo<FatalCase>& testInfo) { return testInfo.param.name; });

TEST_F(CfgParserTest, CommonFileWithoutRootOnlyChecksHeaders) {
    WriteFile(dir_.File("kcommon.cfg"), "a = 1\n1bad = 2\nx::y::z=3\n[toolbar]\nb=\n[MENU0]\n");
    EXPECT_TRUE(LoadConfig(dir_.Path().c_str(), "kcommon.cfg"));
    EXPECT_FALSE(FileExists(dir_.File("kcommon.cfg.log")));

    WriteFile(dir_.File("kcommon.cfg"), "[toolbar]\nok=1\n[ 9]\nc=1\n");
    EXPECT_FALSE(LoadConfig(dir_.Path().c_str(), "kcommon.cfg"));
    EXPECT_EQ(SideLogText("kcommon.cfg.log"), "3: stop parsing! -->  [ 9]\n");
}

TEST_F(CfgParserTest, StopsSuccessfullyAtTheLineLimit) {
    std::string content = "[ctrl]\n";
    content.append(CfgParser::kMaxLines - 2, '\n');
    content += "atLimit = 1\nbeyond = 1\n";
    EXPECT_TRUE(Parse(content));
    const std::vector<Assignment> expected{{"ctrl", "atLimit", "1"}};
    EXPECT_EQ(root_.record, expected);
}

TEST_F(CfgParserTest, UnreadableFilesAreSilent) {
    EXPECT_FALSE(LoadConfig(&root_, dir_.Path().c_str(), "absent.cfg"));
    std::filesystem::create_directory(dir_.File("folder.cfg"));
    EXPECT_FALSE(LoadConfig(&root_, dir_.Path().c_str(), "folder.cfg"));
    EXPECT_FALSE(LoadConfig(&root_, dir_.Path().c_str(), std::string(300, 'n').c_str()));
    EXPECT_FALSE(FileExists(dir_.File("absent.cfg.log")));
    EXPECT_FALSE(FileExists(dir_.File("folder.cfg.log")));
    EXPECT_EQ(ProgramLogText(), "");
}

}  // namespace
}  // namespace kelpa
