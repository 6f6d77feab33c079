// The reader the manual's checks stand on: broken markup is reported with its line (the XML
// reader's own kinds of mistake by one example; the tags this reader rewrites by each of theirs),
// and clean markup is taken.
#include "docs/html_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelpa::docs {
namespace {

TEST(HtmlReaderTest, BrokenMarkupIsReportedWithItsLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"Unclosed", "<div>\n<p>open</div>"},         {"UnquotedValue", "<p>\n<a href=x>y</a></p>"},
        {"VoidClosed", "<p>\n<br></br></p>"},         {"SelfClosedDiv", "<p>\n<span/></p>"},
        {"OpenValue", "<p></p>\n<a title=\"x>y</a>"}, {"TextOutside", "<p></p>\nstray"}};
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
