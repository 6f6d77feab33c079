// The manual in docs/ against the program: every menu command, toolbar button, key and
// settings-panel row has its place in the manual with the texts the program shows, every page is
// well-formed and reachable, and every local link and picture resolves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/commands.h"
#include "docs/html_reader.h"
#include "gui/panel_rows.h"

namespace kelpa::docs {
namespace {

namespace fs = std::filesystem;
using ::testing::IsEmpty;

const fs::path kDocs = fs::path(KELPA_SOURCE_DIR) / "docs";
const fs::path kIcons = fs::path(KELPA_SOURCE_DIR) / "src/gui/resources/icons";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> PageNames() {
    std::vector<std::string> names;
    if (!fs::is_directory(kDocs)) return names;
    for (const auto& entry : fs::directory_iterator(kDocs)) {
        if (entry.path().extension() == ".html") names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every page of the manual, read once.
class Manual {
  public:
    static const Manual& Get() {
        static const Manual manual;
        return manual;
    }

    const std::map<std::string, HtmlDocument>& Pages() const { return pages_; }

    const HtmlDocument* Page(const std::string& name) const {
        const auto found = pages_.find(name);
        return found == pages_.end() ? nullptr : &found->second;
    }

    // The elements with this id on every page, with their page.
    std::vector<std::pair<std::string, const HtmlNode*>> WithId(const std::string& id) const {
        std::vector<std::pair<std::string, const HtmlNode*>> found;
        for (const auto& [name, page] : pages_) {
            page.root.ForEachElement([&](const HtmlNode& element) {
                const std::string* value = element.Attribute("id");
                if (value != nullptr && *value == id) found.emplace_back(name, &element);
            });
        }
        return found;
    }

  private:
    Manual() {
        for (const std::string& name : PageNames()) pages_[name] = ReadHtml(ReadFile(kDocs / name));
    }

    std::map<std::string, HtmlDocument> pages_;
};

// The one table row with this id in the whole manual; a failure names what is wrong.
const HtmlNode* RowWithId(const std::string& id) {
    const auto found = Manual::Get().WithId(id);
    if (found.size() != 1) {
        ADD_FAILURE() << "the manual has " << found.size() << " elements with id \"" << id
                      << "\", not 1";
        return nullptr;
    }
    if (found[0].second->name != "tr") {
        ADD_FAILURE() << "id \"" << id << "\" in " << found[0].first << " is on a <"
                      << found[0].second->name << ">, not a table row";
        return nullptr;
    }
    return found[0].second;
}

// The texts of a row's cells, spaces collapsed.
std::vector<std::string> CellTexts(const HtmlNode& row) {
    std::vector<std::string> cells;
    for (const HtmlNode* cell : row.Elements()) {
        if (cell->name == "td" || cell->name == "th") cells.push_back(CollapseSpaces(cell->Text()));
    }
    return cells;
}

// The nearest enclosing element whose id begins with `prefix`, or "" when there is none.
std::string EnclosingId(const HtmlNode& node, const std::string& prefix) {
    for (const HtmlNode* up = node.parent; up != nullptr; up = up->parent) {
        const std::string* id = up->Attribute("id");
        if (id != nullptr && id->starts_with(prefix)) return *id;
    }
    return {};
}

// The values of one attribute on every element of one name below `node`.
std::vector<std::string> AttributesOf(const HtmlNode& node, const std::string& element,
                                      const std::string& attribute) {
    std::vector<std::string> values;
    node.ForEachElement([&](const HtmlNode& e) {
        if (e.name != element) return;
        if (const std::string* value = e.Attribute(attribute)) values.push_back(*value);
    });
    return values;
}

std::vector<std::string> CodeTexts(const HtmlNode& node) {
    std::vector<std::string> codes;
    node.ForEachElement([&](const HtmlNode& e) {
        if (e.name == "code") codes.push_back(CollapseSpaces(e.Text()));
    });
    return codes;
}

// A menu text as the menu shows it: without the '&' of the underlined letter and without the
// key behind the tab.
std::string ShownMenuText(const char* text) {
    std::string shown;
    for (const char* c = text; *c != '\0' && *c != '\t'; ++c) {
        if (*c != '&') shown.push_back(*c);
    }
    return shown;
}

std::string MenuKeyText(const char* text) {
    const char* tab = std::strchr(text, '\t');
    return tab == nullptr ? std::string() : std::string(tab + 1);
}

std::string AcceleratorText(const Accelerator& accelerator) {
    return (accelerator.modifier == KeyModifier::kControl ? "Ctrl+" : "") +
           std::string(accelerator.key);
}

std::string AcceleratorOf(uint32_t command) {
    for (const Accelerator& accelerator : Accelerators()) {
        if (accelerator.command == command) return AcceleratorText(accelerator);
    }
    return {};
}

const char* MenuName(Menu menu) {
    switch (menu) {
        case Menu::kControl:
            return "Control";
        case Menu::kSources:
            return "Sources";
        case Menu::kProcessing:
            return "Processing";
        case Menu::kGuide:
            return "Guide";
        case Menu::kView:
            return "View";
        case Menu::kHelp:
            return "Help";
        case Menu::kChannels:
            return "Channels";
        case Menu::kAccumulate:
            return "Accumulate";
        case Menu::kArea:
            return "Area";
        case Menu::kWeb:
            return "Web";
    }
    return "?";
}

// The "kelpa.cfg" section that holds a menu item's replacement text.
std::string ConfigSectionOf(Menu menu) {
    switch (menu) {
        case Menu::kControl:
            return "MENU1";
        case Menu::kSources:
            return "MENU2";
        case Menu::kProcessing:
        case Menu::kChannels:
        case Menu::kAccumulate:
        case Menu::kArea:
            return "MENU3";
        case Menu::kGuide:
            return "MENU4";
        case Menu::kView:
            return "MENU5";
        case Menu::kHelp:
        case Menu::kWeb:
            return "MENU6";
    }
    return "?";
}

// ---- Every page on its own ---------------------------------------------------------------

class ManualPageTest : public ::testing::TestWithParam<std::string> {
  protected:
    const HtmlDocument& Document() const { return *Manual::Get().Page(GetParam()); }
};

TEST_P(ManualPageTest, IsWellFormed) {
    const HtmlDocument& page = Document();
    EXPECT_THAT(page.errors, IsEmpty());
    EXPECT_TRUE(page.doctype) << "no <!DOCTYPE html>";
    for (const auto& node : page.root.children) {
        if (!node->IsElement()) {
            EXPECT_EQ(CollapseSpaces(node->text), "") << "text outside <html>";
        }
    }
    const std::vector<const HtmlNode*> top = page.root.Elements();
    ASSERT_EQ(top.size(), 1u);
    const HtmlNode& html = *top[0];
    ASSERT_EQ(html.name, "html");
    EXPECT_NE(html.Attribute("lang"), nullptr);
    const std::vector<const HtmlNode*> parts = html.Elements();
    ASSERT_EQ(parts.size(), 2u);
    ASSERT_EQ(parts[0]->name, "head");
    ASSERT_EQ(parts[1]->name, "body");

    int titles = 0;
    bool utf8 = false;
    parts[0]->ForEachElement([&](const HtmlNode& e) {
        if (e.name == "title") {
            ++titles;
            EXPECT_NE(CollapseSpaces(e.Text()), "");
        }
        const std::string* charset = e.Attribute("charset");
        if (e.name == "meta" && charset != nullptr && *charset == "utf-8") utf8 = true;
    });
    EXPECT_EQ(titles, 1);
    EXPECT_TRUE(utf8) << "no <meta charset=\"utf-8\">";

    int headings = 0;
    std::set<std::string> ids;
    html.ForEachElement([&](const HtmlNode& e) {
        if (e.name == "h1") ++headings;
        if (const std::string* id = e.Attribute("id")) {
            EXPECT_TRUE(ids.insert(*id).second) << "id \"" << *id << "\" given twice";
        }
        // Plain pages: nothing runs.
        EXPECT_NE(e.name, "script");
        for (const auto& [attribute, value] : e.attributes) {
            EXPECT_FALSE(attribute.starts_with("on")) << attribute << " on <" << e.name << ">";
        }
    });
    EXPECT_EQ(headings, 1) << "one <h1> per page";
}

TEST_P(ManualPageTest, LocalLinksAndPicturesResolve) {
    const HtmlNode& root = Document().root;
    struct Reference {
        std::string element;
        std::string attribute;
    };
    const Reference references[] = {{"a", "href"}, {"img", "src"}, {"link", "href"}};
    for (const Reference& reference : references) {
        for (const std::string& target :
             AttributesOf(root, reference.element, reference.attribute)) {
            SCOPED_TRACE("<" + reference.element + " " + reference.attribute + "=\"" + target +
                         "\">");
            const bool external = target.starts_with("http:") || target.starts_with("https:") ||
                                  target.starts_with("mailto:") || target.starts_with("//");
            if (external) {
                // The manual loads nothing from the network; it may only point there.
                EXPECT_EQ(reference.element, "a");
                continue;
            }
            EXPECT_EQ(target.find(':'), std::string::npos) << "no other schemes";
            const size_t hash = target.find('#');
            const std::string path = target.substr(0, hash);
            const std::string fragment = hash == std::string::npos ? "" : target.substr(hash + 1);
            EXPECT_FALSE(path.starts_with("/") || path.find("..") != std::string::npos)
                << "links stay inside the manual";
            const std::string file = path.empty() ? GetParam() : path;
            EXPECT_TRUE(fs::is_regular_file(kDocs / file)) << file << " is missing";
            if (fragment.empty()) continue;
            const HtmlDocument* page = Manual::Get().Page(file);
            ASSERT_NE(page, nullptr) << file << " is not a page of the manual";
            bool found = false;
            page->root.ForEachElement([&](const HtmlNode& e) {
                const std::string* id = e.Attribute("id");
                found = found || (id != nullptr && *id == fragment);
            });
            EXPECT_TRUE(found) << file << " has no id \"" << fragment << "\"";
        }
    }
    root.ForEachElement([&](const HtmlNode& e) {
        if (e.name == "img") {
            EXPECT_NE(e.Attribute("alt"), nullptr) << "an <img> without alt";
        }
    });
}

INSTANTIATE_TEST_SUITE_P(Docs, ManualPageTest, ::testing::ValuesIn(PageNames()),
                         [](const ::testing::TestParamInfo<std::string>& page) {
                             std::string name = page.param.substr(0, page.param.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// ---- The manual as a whole -----------------------------------------------------------------

TEST(ManualTest, EveryPageIsReachableFromTheFirstPage) {
    ASSERT_NE(Manual::Get().Page("index.html"), nullptr) << "docs/index.html is missing";
    std::set<std::string> reached = {"index.html"};
    std::vector<std::string> pending = {"index.html"};
    while (!pending.empty()) {
        const HtmlDocument* page = Manual::Get().Page(pending.back());
        pending.pop_back();
        if (page == nullptr) continue;
        for (const std::string& href : AttributesOf(page->root, "a", "href")) {
            const std::string file = href.substr(0, href.find('#'));
            if (file.ends_with(".html") && reached.insert(file).second) pending.push_back(file);
        }
    }
    for (const std::string& name : PageNames()) {
        EXPECT_TRUE(reached.contains(name)) << name << " cannot be reached from index.html";
    }
}

TEST(ManualTest, EveryMenuCommandHasItsRowWithTextAndKey) {
    for (const MenuItem& item : MenuItems()) {
        SCOPED_TRACE(item.text);
        const HtmlNode* row = RowWithId(std::string("cmd-") + item.key);
        if (row == nullptr) continue;
        const std::vector<std::string> cells = CellTexts(*row);
        ASSERT_GE(cells.size(), 3u);
        EXPECT_EQ(cells[0], ShownMenuText(item.text));
        EXPECT_EQ(cells[1], AcceleratorOf(item.command));
        // The key the menu shows beside the item is the one that works.
        EXPECT_EQ(MenuKeyText(item.text), AcceleratorOf(item.command));
        EXPECT_NE(cells[2], "");
        EXPECT_EQ(EnclosingId(*row, "menu-"), std::string("menu-") + MenuName(item.menu));
    }
}

TEST(ManualTest, EveryToolbarButtonHasItsRowWithTooltipAndPicture) {
    for (const ToolbarButton& button : ToolbarButtons()) {
        if (button.command == 0) continue;
        SCOPED_TRACE(button.tooltip);
        const HtmlNode* row = RowWithId(std::string("tool-") + button.key);
        if (row == nullptr) continue;
        const std::vector<std::string> cells = CellTexts(*row);
        ASSERT_GE(cells.size(), 3u);
        EXPECT_EQ(cells[1], CollapseSpaces(button.tooltip));
        const std::vector<std::string> pictures = AttributesOf(*row, "img", "src");
        ASSERT_EQ(pictures.size(), 1u);
        // The manual's copy of the button's picture is the program's own.
        const fs::path picture = kDocs / pictures[0];
        const fs::path original = kIcons / picture.filename();
        ASSERT_TRUE(fs::is_regular_file(original)) << original << " is not a toolbar picture";
        EXPECT_EQ(ReadFile(picture), ReadFile(original)) << picture << " differs from " << original;
    }
}

TEST(ManualTest, EveryKeyHasItsRowNamingItsCommand) {
    for (const Accelerator& accelerator : Accelerators()) {
        const std::string text = AcceleratorText(accelerator);
        SCOPED_TRACE(text);
        std::string id = "key-" + text;
        std::replace(id.begin(), id.end(), '+', '-');
        const HtmlNode* row = RowWithId(id);
        if (row == nullptr) continue;
        const std::vector<std::string> cells = CellTexts(*row);
        ASSERT_GE(cells.size(), 2u);
        EXPECT_EQ(cells[0], text);
        const MenuItem* item = FindMenuItem(accelerator.command);
        std::string target;
        if (item != nullptr) {
            target = std::string("menus.html#cmd-") + item->key;
        } else {
            for (const ToolbarButton& button : ToolbarButtons()) {
                if (button.command == accelerator.command) {
                    target = std::string("menus.html#tool-") + button.key;
                }
            }
        }
        ASSERT_NE(target, "") << "the key's command is neither in a menu nor on the toolbar";
        EXPECT_THAT(AttributesOf(*row, "a", "href"), ::testing::Contains(target));
    }
}

TEST(ManualTest, EveryPanelRowHasItsRowWithLabelRangeAndStart) {
    std::vector<std::string> order;
    for (const PanelRowDesc& desc : PanelRows()) {
        SCOPED_TRACE(desc.label);
        const std::string id = std::string("row-") + desc.key;
        order.push_back(id);
        const HtmlNode* row = RowWithId(id);
        if (row == nullptr) continue;
        const std::vector<std::string> cells = CellTexts(*row);
        ASSERT_GE(cells.size(), 4u);
        // The values as the panel shows them; the delay's value box counts frames, so its range
        // is given in the tooltip's seconds and milliseconds.
        const PanelFormatter shown = desc.row == PanelRow::kDelay ? desc.tooltip : desc.value;
        EXPECT_EQ(cells[0], desc.label);
        EXPECT_EQ(cells[1], shown(desc.minimum) + " to " + shown(desc.maximum));
        EXPECT_EQ(cells[2], shown(desc.defaultPosition));
        EXPECT_NE(cells[3], "");
    }
    // In the panel's order, in one table.
    const auto first = Manual::Get().WithId(order.front());
    ASSERT_EQ(first.size(), 1u);
    std::vector<std::string> listed;
    first[0].second->parent->ForEachElement([&](const HtmlNode& e) {
        const std::string* id = e.Attribute("id");
        if (e.name == "tr" && id != nullptr && id->starts_with("row-")) listed.push_back(*id);
    });
    EXPECT_EQ(listed, order);
}

TEST(ManualTest, KelpaCfgSectionsListEveryKey) {
    std::map<std::string, std::vector<std::string>> keys;
    for (const MenuItem& item : MenuItems()) keys[ConfigSectionOf(item.menu)].push_back(item.key);
    for (const ToolbarButton& button : ToolbarButtons()) {
        if (button.command != 0) keys["TOOLBAR"].push_back(button.key);
    }
    for (const PanelRowDesc& desc : PanelRows()) keys["CTRL"].push_back(desc.key);
    for (const auto& [section, wanted] : keys) {
        SCOPED_TRACE(section);
        const HtmlNode* row = RowWithId("cfg-" + section);
        if (row == nullptr) continue;
        const std::vector<std::string> codes = CodeTexts(*row);
        for (const std::string& key : wanted) EXPECT_THAT(codes, ::testing::Contains(key));
    }
}

}  // namespace
}  // namespace kelpa::docs
