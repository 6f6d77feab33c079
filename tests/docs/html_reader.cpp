#include "docs/html_reader.h"

#include <QRegularExpression>

namespace kelpa::docs {
namespace {

// A start tag: its name, and its attributes, where a '>' inside a quoted value does not end it.
const QString kTag = R"(<([A-Za-z][A-Za-z0-9-]*)((?:"[^"]*"|'[^']*'|[^'">])*)>)";
const QRegularExpression kVoid(
    "^(area|base|br|col|embed|hr|img|input|link|meta|source|track|wbr)$");

// The strict HTML of the manual becomes XML once its void elements close themselves: "<br>" is
// read as "<br/>"; a "</br>" is left as it stands and so reported as closing nothing. A browser
// ignores the '/' of "<span/>" and leaves the span open: that is a mistake here, though XML
// would take it.
QString CloseVoidElements(const QString& text, std::vector<std::string>* errors) {
    QString out;
    qsizetype at = 0;
    for (const QRegularExpressionMatch& tag : QRegularExpression(kTag).globalMatch(text)) {
        const bool isVoid = kVoid.match(tag.captured(1)).hasMatch();
        const bool selfClosed = tag.captured(2).endsWith('/');
        if (!isVoid && selfClosed) {
            errors->push_back("line " +
                              std::to_string(text.left(tag.capturedStart()).count('\n') + 1) +
                              ": <" + tag.captured(1).toStdString() + "/> is not a void element");
        }
        out += text.mid(at, tag.capturedEnd() - at - 1) + (isVoid && !selfClosed ? "/>" : ">");
        at = tag.capturedEnd();
    }
    return out + text.mid(at);
}

}  // namespace

HtmlDocument ReadHtml(std::string_view text) {
    HtmlDocument document;
    const QString xml = CloseVoidElements(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), &document.errors);
    QString error;
    int line = 0;
    if (!document.dom.setContent(xml, &error, &line)) {
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

}  // namespace kelpa::docs
