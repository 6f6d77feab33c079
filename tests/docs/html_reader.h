// The manual's HTML read into a DOM, with the first mistake that would break a page in a browser
// and its line: a tag left open, closed in the wrong order or closed without being opened, a
// stray '<', an entity that is not one, an attribute given twice or without quotes, a comment
// that does not end, a non-void element closed with "/>". The manual is written strictly (every
// element that is not void closed explicitly, every attribute value quoted), so an XML reader
// checks it once its void elements close themselves.
#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <string>
#include <string_view>
#include <vector>

namespace kelpa::docs {

struct HtmlDocument {
    QDomDocument dom;
    std::vector<std::string> errors;  // "line N: what"
};

HtmlDocument ReadHtml(std::string_view text);

// Every element below `node` (not the node itself), in document order.
std::vector<QDomElement> ElementsBelow(const QDomNode& node);

}  // namespace kelpa::docs
