// The INI text model: look-up rules, and edits that keep every other line as it was.
#include "platform/ini_document.h"

#include <gtest/gtest.h>

#include <string>

namespace kelpa {
namespace {

using SetResult = IniDocument::SetResult;

std::string ValueOf(const IniDocument& doc, const char* section, const char* key) {
    const std::string* value = doc.Find(section, key);
    return value ? *value : "<missing>";
}

// Keys and sections compare without case, values are trimmed, and the first duplicate wins;
// keys before any section or in another section are not seen.
TEST(IniDocumentTest, LookUpRules) {
    IniDocument doc = IniDocument::Parse(
        "top=outside\n[Kelpa]\n  ProcAmp =  128  \nName=\" padded \"\nEmpty=\na=1\na=2\n"
        "[quill]\nDev=cam\n[KELPA]\na=3\nb=4\n");
    EXPECT_EQ(ValueOf(doc, "KELPA", "procAMP"), "128");
    EXPECT_EQ(ValueOf(doc, "kelpa", "Name"), " padded ");
    EXPECT_EQ(ValueOf(doc, "kelpa", "Empty"), "");
    EXPECT_EQ(ValueOf(doc, "kelpa", "a"), "1");
    for (const char* key : {"Dev", "top", "b"}) {
        EXPECT_EQ(ValueOf(doc, "kelpa", key), "<missing>") << key;
    }
    // Removal takes every copy in the section, so the second cannot surface.
    EXPECT_EQ(doc.Set("kelpa", "A", nullptr), SetResult::kChanged);
    EXPECT_EQ(ValueOf(doc, "kelpa", "a"), "<missing>");
    EXPECT_EQ(doc.Set("kelpa", "a", nullptr), SetResult::kUnchanged);
    EXPECT_EQ(doc.Set("absent", "a", nullptr), SetResult::kUnchanged);
}

// Lines the model does not understand are kept byte for byte; a changed key keeps its place, a
// new key joins the end of its section, a new section goes last; line ends and a byte-order
// mark (only at the very start) are kept.
TEST(IniDocumentTest, EditsKeepEveryOtherLine) {
    const std::string garbage =
        "no equals sign here\n[broken\n=value without key\n; a comment\n# another=comment\n"
        "[kelpa] trailing words\nbin\x01\xff=x\n" +
        std::string("nul\0here=2\n", 11);
    IniDocument doc = IniDocument::Parse("[kelpa]\n" + garbage + "A=1\n\n[quill]\nDev=x");
    EXPECT_EQ(ValueOf(doc, "kelpa", "bin\x01\xff"), "x");  // odd bytes, but a good line
    EXPECT_EQ(doc.Set("kelpa", "a", "2"), SetResult::kChanged);
    EXPECT_EQ(doc.Set("kelpa", "B", "3"), SetResult::kChanged);
    EXPECT_EQ(doc.Set("new", "C", "4"), SetResult::kChanged);
    EXPECT_EQ(doc.Set("kelpa", "B", "3"), SetResult::kUnchanged);
    EXPECT_EQ(doc.Serialize(),
              "[kelpa]\n" + garbage + "A=2\nB=3\n\n[quill]\nDev=x\n\n[new]\nC=4\n");

    IniDocument empty;
    EXPECT_EQ(empty.Set("kelpa", "ProcAmp", "128"), SetResult::kChanged);
    EXPECT_EQ(empty.Serialize(), "[kelpa]\nProcAmp=128\n");
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
    for (const char* value : {"", " lead", "trail ", "\"quoted\"", "\"", "a=b=c", "; not a comment",
                              "[x]", "\t", "\"a\" ", "/home/u/My Pictures/"}) {
        IniDocument doc;
        ASSERT_NE(doc.Set("kelpa", "K", value), SetResult::kInvalid) << value;
        EXPECT_EQ(ValueOf(IniDocument::Parse(doc.Serialize()), "kelpa", "K"), value);
    }
    IniDocument doc = IniDocument::Parse("[kelpa]\nA=1\n");
    for (const char* key : {"", " A", "A=B", "[A", ";A", "A\nB"}) {
        EXPECT_EQ(doc.Set("kelpa", key, "1"), SetResult::kInvalid) << key;
    }
    for (const char* section : {"", " k", "a]b", "a\nb"}) {
        EXPECT_EQ(doc.Set(section, "A", "1"), SetResult::kInvalid) << section;
    }
    EXPECT_EQ(doc.Set("kelpa", "A", "1\n[evil]"), SetResult::kInvalid);
    EXPECT_EQ(doc.Serialize(), "[kelpa]\nA=1\n");
}

}  // namespace
}  // namespace kelpa
