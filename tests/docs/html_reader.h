// The manual's HTML read into a tree of elements, attributes and text, with the first mistake
// that would break a page in a browser and its line: a tag left open, closed in the wrong order
// or closed without being opened, a stray '<', an entity that is not one, an attribute given
// twice or without quotes, a comment that does not end. The manual is written strictly (every
// element that is not void closed explicitly, every attribute value quoted), so an XML reader
// checks it once its void elements close themselves.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelpa::docs {

struct HtmlNode {
    std::string name;  // element name in lower case; empty for a run of text
    std::string text;  // a run of text, entities decoded
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::unique_ptr<HtmlNode>> children;
    HtmlNode* parent = nullptr;
    int line = 0;

    bool IsElement() const { return !name.empty(); }
    // The attribute's value, or nullptr when the element has none of that name.
    const std::string* Attribute(std::string_view attribute) const;
    // All text below this node, in order.
    std::string Text() const;
    // The element children of this node, in order.
    std::vector<const HtmlNode*> Elements() const;
    // Every element below this node (not the node itself), in document order.
    void ForEachElement(const std::function<void(const HtmlNode&)>& visit) const;
};

struct HtmlDocument {
    HtmlNode root;  // holds the top-level nodes
    bool doctype = false;
    std::vector<std::string> errors;  // "line N: what"
};

HtmlDocument ReadHtml(std::string_view text);

// Runs of white space made into one blank, none at either end.
std::string CollapseSpaces(std::string_view text);

}  // namespace kelpa::docs
