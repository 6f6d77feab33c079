#include "docs/html_reader.h"

#include <QString>
#include <QXmlStreamReader>
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
    out.reserve(text.size() + 64);
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

const std::string* HtmlNode::Attribute(std::string_view attribute) const {
    for (const auto& [key, value] : attributes) {
        if (key == attribute) return &value;
    }
    return nullptr;
}

std::string HtmlNode::Text() const {
    if (!IsElement()) return text;
    std::string out;
    for (const auto& child : children) out += child->Text();
    return out;
}

std::vector<const HtmlNode*> HtmlNode::Elements() const {
    std::vector<const HtmlNode*> out;
    for (const auto& child : children) {
        if (child->IsElement()) out.push_back(child.get());
    }
    return out;
}

void HtmlNode::ForEachElement(const std::function<void(const HtmlNode&)>& visit) const {
    for (const auto& child : children) {
        if (!child->IsElement()) continue;
        visit(*child);
        child->ForEachElement(visit);
    }
}

HtmlDocument ReadHtml(std::string_view text) {
    HtmlDocument document;
    const std::string xml = CloseVoidElements(text, &document.errors);
    QXmlStreamReader reader(
        QByteArray::fromRawData(xml.data(), static_cast<qsizetype>(xml.size())));
    HtmlNode* current = &document.root;
    const auto add = [&](std::string name) -> HtmlNode& {
        auto node = std::make_unique<HtmlNode>();
        node->name = std::move(name);
        node->parent = current;
        node->line = static_cast<int>(reader.lineNumber());
        current->children.push_back(std::move(node));
        return *current->children.back();
    };
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::DTD:
                document.doctype = reader.dtdName() == QLatin1String("html");
                break;
            case QXmlStreamReader::StartElement: {
                HtmlNode& element = add(reader.name().toString().toStdString());
                for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                    element.attributes.emplace_back(attribute.name().toString().toStdString(),
                                                    attribute.value().toString().toStdString());
                }
                current = &element;
                break;
            }
            case QXmlStreamReader::EndElement:
                current = current->parent;
                break;
            case QXmlStreamReader::Characters: {
                const std::string run = reader.text().toString().toStdString();
                if (!current->children.empty() && !current->children.back()->IsElement()) {
                    current->children.back()->text += run;
                } else {
                    add({}).text = run;
                }
                break;
            }
            default:
                break;
        }
    }
    if (reader.hasError()) {
        document.errors.push_back("line " + std::to_string(reader.lineNumber()) + ": " +
                                  reader.errorString().toStdString());
    }
    return document;
}

std::string CollapseSpaces(std::string_view text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            blank = !out.empty();
            continue;
        }
        if (blank) out.push_back(' ');
        blank = false;
        out.push_back(c);
    }
    return out;
}

}  // namespace kelpa::docs
