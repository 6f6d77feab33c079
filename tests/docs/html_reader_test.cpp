// The reader the manual's checks stand on: it must report every kind of broken markup, with
// its line, and take clean markup.
#include "docs/html_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelpa::docs {
namespace {

TEST(HtmlReaderTest, BrokenMarkupIsReportedWithItsLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"Unclosed", "<div>\n<p>open</div>"},
        {"NeverClosed", "<div></div>\n<p>open"},
        {"Misnested", "<p>\n<b>x</p>"},
        {"StrayEnd", "<p></p>\n</td>"},
        {"StrayLess", "<p>\na < b</p>"},
        {"UnknownEntity", "<p>\n&nbps;</p>"},
        {"BareAmpersand", "<p>\nsalt & pepper</p>"},
        {"UnquotedValue", "<p>\n<a href=x>y</a></p>"},
        {"TwiceGiven", "<p>\n<a id=\"x\" id=\"y\">z</a></p>"},
        {"VoidClosed", "<p>\n<br></br></p>"},
        {"SelfClosedDiv", "<p>\n<span/></p>"},
        {"OpenComment", "<p></p>\n<!-- note"},
        {"OpenValue", "<p></p>\n<a title=\"x>y</a>"},
        {"TextOutside", "<p></p>\nstray"}};
    for (const auto& [name, html] : cases) {
        const HtmlDocument document = ReadHtml(html);
        ASSERT_EQ(document.errors.size(), 1u) << name;
        EXPECT_THAT(document.errors[0], ::testing::HasSubstr("line 2:")) << name;
    }
    const HtmlDocument clean = ReadHtml(
        "<!DOCTYPE html>\n<html><body><!-- a > comment -->\n<p title=\"x &gt; y\">Salt &amp; "
        "pepper<br>&#8594; <b>hot</b>&#x21;</p><img src=\"i.png\" alt=\"\"/></body></html>");
    EXPECT_THAT(clean.errors, ::testing::IsEmpty());
    EXPECT_EQ(CollapsedText(clean.dom.documentElement()), "Salt & pepper\u2192 hot!");
}

}  // namespace
}  // namespace kelpa::docs
