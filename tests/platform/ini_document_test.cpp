// The INI text model: look-up rules and edits that keep every other line as it was.
#include "platform/ini_document.h"

#include <gtest/gtest.h>

#include <string>

namespace kelpa {
namespace {

std::string ValueOf(const IniDocument& doc, const char* section, const char* key) {
    const std::string* value = doc.Find(section, key);
    return value ? *value : "<missing>";
}

TEST(IniDocumentTest, FindsKeysWithoutCaseAndTrimsValues) {
    const IniDocument doc = IniDocument::Parse(
        "top=outside\n[Kelpa]\n  ProcAmp =  128  \nName=\" padded \"\nEmpty=\n[quill]\nDev=cam\n");
    EXPECT_EQ(ValueOf(doc, "KELPA", "procAMP"), "128");
    EXPECT_EQ(ValueOf(doc, "kelpa", "Name"), " padded ");
    EXPECT_EQ(ValueOf(doc, "kelpa", "Empty"), "");
    EXPECT_EQ(ValueOf(doc, "kelpa", "Dev"), "<missing>");  // keys belong to their section
    EXPECT_EQ(ValueOf(doc, "kelpa", "top"), "<missing>");  // keys before any section: none
}

TEST(IniDocumentTest, FirstDuplicateSectionAndKeyWin) {
    IniDocument doc = IniDocument::Parse("[k]\na=1\na=2\n[K]\na=3\nb=4\n");
    EXPECT_EQ(ValueOf(doc, "k", "a"), "1");
    EXPECT_EQ(ValueOf(doc, "k", "b"), "<missing>");  // only the first section is read
    EXPECT_EQ(doc.Set("k", "A", "9"), IniDocument::SetResult::kChanged);
    EXPECT_EQ(doc.Serialize(), "[k]\na=9\na=2\n[K]\na=3\nb=4\n");
    // Removal takes every copy in the section, so the second cannot surface.
    EXPECT_EQ(doc.Set("k", "a", nullptr), IniDocument::SetResult::kChanged);
    EXPECT_EQ(ValueOf(doc, "k", "a"), "<missing>");
    EXPECT_EQ(doc.Serialize(), "[k]\n[K]\na=3\nb=4\n");
    EXPECT_EQ(doc.Set("k", "a", nullptr), IniDocument::SetResult::kUnchanged);
}

TEST(IniDocumentTest, GarbageLinesAreIgnoredAndKeptVerbatim) {
    const std::string garbage =
        "no equals sign here\n[broken\n=value without key\n; a comment\n# another=comment\n"
        "[kelpa] trailing words\nbin\x01\xff=x\n";
    const std::string text =
        std::string("[kelpa]\n") + garbage + "a=1\n" + std::string("nul\0here=2\n", 11) + "\n";
    IniDocument doc = IniDocument::Parse(text);
    EXPECT_EQ(ValueOf(doc, "kelpa", "a"), "1");
    EXPECT_EQ(ValueOf(doc, "kelpa", "bin\x01\xff"), "x");  // odd bytes, but a good line
    EXPECT_EQ(doc.Set("kelpa", "a", "2"), IniDocument::SetResult::kChanged);
    EXPECT_EQ(doc.Set("kelpa", "b", "3"), IniDocument::SetResult::kChanged);
    std::string expected =
        "[kelpa]\n" + garbage + "a=2\n" + std::string("nul\0here=2\n", 11) + "b=3\n\n";
    EXPECT_EQ(doc.Serialize(), expected);
}

TEST(IniDocumentTest, NewKeysJoinTheirSectionAndNewSectionsGoLast) {
    IniDocument doc = IniDocument::Parse("[kelpa]\nA=1\n\n[quill]\nDev=x");
    EXPECT_EQ(doc.Set("kelpa", "B", "2"), IniDocument::SetResult::kChanged);
    EXPECT_EQ(doc.Set("new", "C", "3"), IniDocument::SetResult::kChanged);
    EXPECT_EQ(doc.Serialize(), "[kelpa]\nA=1\nB=2\n\n[quill]\nDev=x\n\n[new]\nC=3\n");
    EXPECT_EQ(doc.Set("kelpa", "a", "1"), IniDocument::SetResult::kUnchanged);
    EXPECT_EQ(doc.Set("absent", "a", nullptr), IniDocument::SetResult::kUnchanged);

    IniDocument empty;
    EXPECT_EQ(empty.Set("kelpa", "ProcAmp", "128"), IniDocument::SetResult::kChanged);
    EXPECT_EQ(empty.Serialize(), "[kelpa]\nProcAmp=128\n");

    IniDocument windows = IniDocument::Parse("[kelpa]\r\nA=1\r\n");  // keeps its line ends
    EXPECT_EQ(ValueOf(windows, "kelpa", "A"), "1");
    windows.Set("kelpa", "A", "5");
    windows.Set("kelpa", "B", "6");
    EXPECT_EQ(windows.Serialize(), "[kelpa]\r\nA=5\r\nB=6\r\n");
}

// Editors that save "UTF-8 with BOM" put three bytes in front of the first section.
TEST(IniDocumentTest, AByteOrderMarkIsSkippedAndKept) {
    IniDocument doc = IniDocument::Parse("\xEF\xBB\xBF[kelpa]\r\nProcAmp=200\r\n");
    EXPECT_EQ(ValueOf(doc, "kelpa", "ProcAmp"), "200");
    doc.Set("kelpa", "ProcAmp", "300");
    EXPECT_EQ(doc.Serialize(), "\xEF\xBB\xBF[kelpa]\r\nProcAmp=300\r\n");
    // Only at the very start: elsewhere the bytes belong to the line.
    EXPECT_EQ(ValueOf(IniDocument::Parse("\n\xEF\xBB\xBF[kelpa]\nA=1\n"), "kelpa", "A"),
              "<missing>");
}

TEST(IniDocumentTest, RefusesNamesAndValuesThatWouldNotReadBack) {
    IniDocument doc = IniDocument::Parse("[kelpa]\nA=1\n");
    const std::string before = doc.Serialize();
    for (const char* key : {"", " A", "A=B", "[A", ";A", "A\nB"}) {
        EXPECT_EQ(doc.Set("kelpa", key, "1"), IniDocument::SetResult::kInvalid) << key;
    }
    for (const char* section : {"", " k", "a]b", "a\nb"}) {
        EXPECT_EQ(doc.Set(section, "A", "1"), IniDocument::SetResult::kInvalid) << section;
    }
    EXPECT_EQ(doc.Set("kelpa", "A", "1\n[evil]"), IniDocument::SetResult::kInvalid);
    EXPECT_EQ(doc.Serialize(), before);
}

TEST(IniDocumentTest, EveryValueReadsBackExactly) {
    for (const char* value : {"", "plain", " lead", "trail ", "\"quoted\"", "\"", "a=b=c",
                              "; not a comment", "[x]", "\t", "\"a\" ", "/home/u/My Pictures/"}) {
        IniDocument doc;
        ASSERT_NE(doc.Set("kelpa", "K", value), IniDocument::SetResult::kInvalid) << value;
        EXPECT_EQ(ValueOf(IniDocument::Parse(doc.Serialize()), "kelpa", "K"), value);
    }
}

}  // namespace
}  // namespace kelpa
