// The manual in docs/ against the program: every menu command, toolbar button, key and
// settings-panel row has its place in the manual with the texts the program shows, every page is
// well-formed, and every local link and picture resolves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/commands.h"
#include "docs/html_reader.h"
#include "gui/panel_rows.h"
#include "support/temp_files.h"

namespace kelpa::docs {
namespace {

namespace fs = std::filesystem;
using kelpa::testing::ReadFile;
using ::testing::Contains;

const fs::path kDocs = fs::path(KELPA_SOURCE_DIR) / "docs";

// Every page of the manual, read once.
const std::map<std::string, HtmlDocument>& Pages() {
    static const auto pages = [] {
        std::map<std::string, HtmlDocument> read;
        for (const auto& entry : fs::directory_iterator(kDocs)) {
            const fs::path& path = entry.path();
            if (path.extension() == ".html") read[path.filename()] = ReadHtml(ReadFile(path));
        }
        return read;
    }();
    return pages;
}

// The values of `attribute` on the elements named `element` ("" for any) below `node`.
std::vector<std::string> Values(const QDomNode& node, const std::string& element,
                                const QString& attribute) {
    std::vector<std::string> values;
    for (const QDomElement& e : ElementsBelow(node)) {
        if ((element.empty() || e.tagName().toStdString() == element) &&
            e.hasAttribute(attribute)) {
            values.push_back(e.attribute(attribute).toStdString());
        }
    }
    return values;
}

// The one table row with this id in the whole manual, which has at least `columns` cells, and
// the texts of its cells, spaces collapsed; otherwise a null row and a failure naming what is
// wrong.
QDomElement RowWithId(const std::string& id, size_t columns, std::vector<std::string>& cells) {
    std::vector<QDomElement> found;
    for (const auto& [name, page] : Pages()) {
        for (const QDomElement& e : ElementsBelow(page.dom)) {
            if (e.attribute("id").toStdString() == id) found.push_back(e);
        }
    }
    const QDomElement row =
        found.size() == 1 && found[0].tagName() == "tr" ? found[0] : QDomElement();
    for (QDomElement cell = row.firstChildElement(); !cell.isNull();
         cell = cell.nextSiblingElement()) {
        if (cell.tagName() == "td" || cell.tagName() == "th") {
            cells.push_back(cell.text().simplified().toStdString());
        }
    }
    if (row.isNull() || cells.size() < columns) {
        ADD_FAILURE() << "the manual has " << found.size() << " elements with id \"" << id
                      << "\", not 1 table row of at least " << columns << " cells";
        return {};
    }
    return row;
}

std::string AcceleratorText(const Accelerator& accelerator) {
    return (accelerator.modifier == KeyModifier::kControl ? "Ctrl+" : "") +
           std::string(accelerator.key);
}

// Every page is well-formed, its ids unique, nothing loaded from the network, and every local
// link and picture resolves.
TEST(ManualTest, EveryPageIsWellFormedAndItsLocalLinksResolve) {
    ASSERT_GE(Pages().size(), 2u);
    for (const auto& [name, page] : Pages()) {
        SCOPED_TRACE(name);
        EXPECT_THAT(page.errors, ::testing::IsEmpty());
        std::set<std::string> ids;
        for (const QDomElement& e : ElementsBelow(page.dom.documentElement())) {
            const std::string id = e.attribute("id").toStdString();
            EXPECT_TRUE(id.empty() || ids.insert(id).second) << "id \"" << id << "\" given twice";
        }
        for (const auto& [element, attribute] :
             {std::pair{"a", "href"}, std::pair{"img", "src"}, std::pair{"link", "href"}}) {
            for (const std::string& target : Values(page.dom, element, attribute)) {
                SCOPED_TRACE(std::string(element) + " " + attribute + "=\"" + target + "\"");
                if (target.starts_with("http:") || target.starts_with("https:") ||
                    target.starts_with("mailto:") || target.starts_with("//")) {
                    EXPECT_EQ(element, std::string("a")) << "nothing is loaded from the network";
                    continue;
                }
                EXPECT_EQ(target.find(':'), std::string::npos) << "no other schemes";
                const std::string path = target.substr(0, target.find('#'));
                EXPECT_FALSE(path.starts_with("/") || path.find("..") != std::string::npos)
                    << "links stay inside the manual";
                const std::string file = path.empty() ? name : path;
                EXPECT_TRUE(fs::is_regular_file(kDocs / file)) << file << " is missing";
                if (path.size() == target.size()) continue;
                ASSERT_EQ(Pages().count(file), 1u) << file << " is not a page of the manual";
                EXPECT_THAT(Values(Pages().at(file).dom, "", "id"),
                            Contains(target.substr(path.size() + 1)));
            }
        }
    }
}

TEST(ManualTest, EveryMenuCommandHasItsRowWithTextAndKey) {
    for (const MenuItem& item : MenuItems()) {
        SCOPED_TRACE(item.text);
        std::vector<std::string> cells;
        if (RowWithId(std::string("cmd-") + item.key, 3, cells).isNull()) continue;
        // As the menu shows it: without the '&' of the underlined letter, the key after a tab.
        std::string shown = item.text;
        std::erase(shown, '&');
        const size_t tab = shown.find('\t');
        EXPECT_EQ(cells[0], shown.substr(0, tab));
        const auto key = std::ranges::find(Accelerators(), item.command, &Accelerator::command);
        EXPECT_EQ(cells[1], key == Accelerators().end() ? "" : AcceleratorText(*key));
        // The key the menu shows beside the item is the one that works.
        EXPECT_EQ(tab == std::string::npos ? "" : shown.substr(tab + 1), cells[1]);
        EXPECT_NE(cells[2], "");
    }
}

TEST(ManualTest, EveryToolbarButtonHasItsRowWithTooltipAndPicture) {
    for (const ToolbarButton& button : ToolbarButtons()) {
        if (button.command == 0) continue;
        SCOPED_TRACE(button.tooltip);
        std::vector<std::string> cells;
        const QDomElement row = RowWithId(std::string("tool-") + button.key, 3, cells);
        if (row.isNull()) continue;
        EXPECT_EQ(cells[1], QString(button.tooltip).simplified().toStdString());
        EXPECT_EQ(Values(row, "img", "src").size(), 1u);
    }
}

TEST(ManualTest, EveryKeyHasItsRowNamingItsCommand) {
    for (const Accelerator& accelerator : Accelerators()) {
        const std::string text = AcceleratorText(accelerator);
        SCOPED_TRACE(text);
        std::string id = "key-" + text;
        std::replace(id.begin(), id.end(), '+', '-');
        std::vector<std::string> cells;
        const QDomElement row = RowWithId(id, 2, cells);
        if (row.isNull()) continue;
        EXPECT_EQ(cells[0], text);
        const MenuItem* item = FindMenuItem(accelerator.command);
        const auto button =
            std::ranges::find(ToolbarButtons(), accelerator.command, &ToolbarButton::command);
        ASSERT_TRUE(item || button != ToolbarButtons().end())
            << "the key's command is neither in a menu nor on the toolbar";
        EXPECT_THAT(Values(row, "a", "href"),
                    Contains(item ? std::string("menus.html#cmd-") + item->key
                                  : std::string("menus.html#tool-") + button->key));
    }
}

TEST(ManualTest, EveryPanelRowHasItsRowWithLabelRangeAndStart) {
    for (const PanelRowDesc& desc : PanelRows()) {
        SCOPED_TRACE(desc.label);
        std::vector<std::string> cells;
        if (RowWithId(std::string("row-") + desc.key, 4, cells).isNull()) continue;
        // The values as the panel shows them; the delay's value box counts frames, so its range
        // is given in the tooltip's seconds and milliseconds.
        const PanelFormatter shown = desc.row == PanelRow::kDelay ? desc.tooltip : desc.value;
        EXPECT_EQ(cells[0], desc.label);
        EXPECT_EQ(cells[1], shown(desc.minimum) + " to " + shown(desc.maximum));
        EXPECT_EQ(cells[2], shown(desc.defaultPosition));
        EXPECT_NE(cells[3], "");
    }
}

}  // namespace
}  // namespace kelpa::docs
