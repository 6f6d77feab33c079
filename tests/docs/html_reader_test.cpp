// The reader the manual's checks stand on: it must report every kind of broken markup, and
// read clean markup into the right tree.
#include "docs/html_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelpa::docs {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

struct BrokenCase {
    const char* name;
    const char* html;
};

class BrokenHtmlTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenHtmlTest, IsReportedWithItsLine) {
    const HtmlDocument document = ReadHtml(GetParam().html);
    ASSERT_EQ(document.errors.size(), 1u) << ::testing::PrintToString(document.errors);
    EXPECT_THAT(document.errors[0], HasSubstr("line 2:"));
}

INSTANTIATE_TEST_SUITE_P(
    Markup, BrokenHtmlTest,
    ::testing::Values(BrokenCase{"Unclosed", "<div>\n<p>open</div>"},
                      BrokenCase{"NeverClosed", "<div></div>\n<p>open"},
                      BrokenCase{"Misnested", "<p>\n<b>x</p>"},
                      BrokenCase{"StrayEnd", "<p></p>\n</td>"},
                      BrokenCase{"StrayLess", "<p>\na < b</p>"},
                      BrokenCase{"UnknownEntity", "<p>\n&nbps;</p>"},
                      BrokenCase{"BareAmpersand", "<p>\nsalt & pepper</p>"},
                      BrokenCase{"UnquotedValue", "<p>\n<a href=x>y</a></p>"},
                      BrokenCase{"TwiceGiven", "<p>\n<a id=\"x\" id=\"y\">z</a></p>"},
                      BrokenCase{"VoidClosed", "<p>\n<br></br></p>"},
                      BrokenCase{"SelfClosedDiv", "<p>\n<span/></p>"},
                      BrokenCase{"OpenComment", "<p></p>\n<!-- note"},
                      BrokenCase{"OpenValue", "<p></p>\n<a title=\"x>y</a>"}),
    [](const ::testing::TestParamInfo<BrokenCase>& param) { return param.param.name; });

TEST(HtmlReaderTest, ReadsCleanMarkupIntoItsTree) {
    const HtmlDocument document = ReadHtml(
        "<!DOCTYPE html>\n<html lang=\"en\"><body><!-- a > comment -->\n"
        "<p id=\"a\" title=\"x &gt; y\">Salt &amp; pepper<br>&#8594; <b>hot</b>&#x21;</p>"
        "<img src=\"i.png\" alt=\"\"/></body></html>");
    EXPECT_THAT(document.errors, IsEmpty());
    EXPECT_TRUE(document.doctype);
    ASSERT_EQ(document.root.Elements().size(), 1u);
    const HtmlNode& html = *document.root.Elements()[0];
    EXPECT_EQ(*html.Attribute("lang"), "en");
    const HtmlNode& body = *html.Elements()[0];
    ASSERT_EQ(body.Elements().size(), 2u);
    const HtmlNode& p = *body.Elements()[0];
    EXPECT_EQ(p.name, "p");
    EXPECT_EQ(p.line, 3);
    EXPECT_EQ(*p.Attribute("title"), "x > y");
    EXPECT_EQ(p.Attribute("class"), nullptr);
    EXPECT_EQ(p.Text(), "Salt & pepper\u2192 hot!");
    EXPECT_EQ(p.Elements().size(), 2u);  // br, b
    EXPECT_EQ(body.Elements()[1]->name, "img");
}

TEST(HtmlReaderTest, CollapsesSpaces) {
    EXPECT_EQ(CollapseSpaces("  NR Vertical banding. \n[dynamic   antijamming]\t"),
              "NR Vertical banding. [dynamic antijamming]");
    EXPECT_EQ(CollapseSpaces(" \n "), "");
}

}  // namespace
}  // namespace kelpa::docs
