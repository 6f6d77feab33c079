#include "docs/html_reader.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kelpa::docs {
namespace {

constexpr std::array<std::string_view, 13> kVoidElements = {
    "area",  "base", "br",   "col",    "embed", "hr", "img",
    "input", "link", "meta", "source", "track", "wbr"};

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
}

// The strict HTML of the manual becomes XML once its void elements close themselves: "<br>" is
// read as "<br/>". A '>' inside a quoted value does not end a tag; a "</br>" is left as it stands
// and so reported as closing nothing. A browser ignores the '/' of "<span/>" and leaves the span
// open: that is a mistake here, though XML would take it.
std::string CloseVoidElements(std::string_view text, std::vector<std::string>* errors) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t open = text.find('<', at);
        if (open == std::string_view::npos) break;
        size_t nameEnd = open + 1;
        while (nameEnd < text.size() && IsNameChar(text[nameEnd])) ++nameEnd;
        size_t end = nameEnd;
        char quote = 0;
        for (; nameEnd > open + 1 && end < text.size() && (quote != 0 || text[end] != '>'); ++end) {
            if (quote == 0 && (text[end] == '"' || text[end] == '\'')) {
                quote = text[end];
            } else if (text[end] == quote) {
                quote = 0;
            }
        }
        if (nameEnd == open + 1 || end == text.size()) {  // not a start tag, or one never ended
            out.append(text.substr(at, nameEnd - at));
            at = nameEnd;
            continue;
        }
        const std::string_view name = text.substr(open + 1, nameEnd - open - 1);
        const bool isVoid =
            std::find(kVoidElements.begin(), kVoidElements.end(), name) != kVoidElements.end();
        const bool selfClosed = text[end - 1] == '/';
        if (!isVoid && selfClosed) {
            const auto line = std::count(text.begin(), text.begin() + open, '\n') + 1;
            errors->push_back("line " + std::to_string(line) + ": <" + std::string(name) +
                              "/> is not a void element");
        }
        out.append(text.substr(at, end - at));
        if (isVoid && !selfClosed) out.push_back('/');
        at = end;
    }
    out.append(text.substr(at));
    return out;
}

}  // namespace

HtmlDocument ReadHtml(std::string_view text) {
    HtmlDocument document;
    const std::string xml = CloseVoidElements(text, &document.errors);
    QString error;
    int line = 0;
    if (!document.dom.setContent(QByteArray(xml.data(), static_cast<qsizetype>(xml.size())), &error,
                                 &line)) {
        document.errors.push_back("line " + std::to_string(line) + ": " + error.toStdString());
    }
    return document;
}

std::vector<QDomElement> ElementsBelow(const QDomNode& node) {
    std::vector<QDomElement> elements;
    for (QDomElement e = node.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        elements.push_back(e);
        const std::vector<QDomElement> below = ElementsBelow(e);
        elements.insert(elements.end(), below.begin(), below.end());
    }
    return elements;
}

std::string CollapsedText(const QDomNode& node) {
    return node.toElement().text().simplified().toStdString();
}

}  // namespace kelpa::docs
