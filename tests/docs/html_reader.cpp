#include "docs/html_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

namespace kelpa::docs {
namespace {

constexpr std::array kVoidElements = {"area",  "base", "br",   "col",    "embed", "hr", "img",
                                      "input", "link", "meta", "source", "track", "wbr"};
constexpr std::array kRawTextElements = {"script", "style"};

// The named entities the manual may use; anything else is written as a character or a number.
constexpr std::array<std::pair<std::string_view, char32_t>, 6> kEntities = {{
    {"amp", U'&'},
    {"lt", U'<'},
    {"gt", U'>'},
    {"quot", U'"'},
    {"apos", U'\''},
    {"nbsp", U'\u00a0'},
}};

bool IsVoid(std::string_view name) {
    return std::find(kVoidElements.begin(), kVoidElements.end(), name) != kVoidElements.end();
}

bool IsRawText(std::string_view name) {
    return std::find(kRawTextElements.begin(), kRawTextElements.end(), name) !=
           kRawTextElements.end();
}

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' ||
           c == '.';
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void AppendUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    HtmlDocument Read() {
        open_.push_back(&document_.root);
        while (at_ < text_.size()) {
            if (text_[at_] == '<') {
                Tag();
            } else {
                Text();
            }
        }
        for (size_t i = open_.size(); i-- > 1;) {
            Error(open_[i]->line, "<" + open_[i]->name + "> is never closed");
        }
        return std::move(document_);
    }

  private:
    void Error(int line, const std::string& what) {
        document_.errors.push_back("line " + std::to_string(line) + ": " + what);
    }

    bool StartsWith(std::string_view prefix, bool ignoreCase = false) const {
        if (text_.size() - at_ < prefix.size()) return false;
        const std::string_view here = text_.substr(at_, prefix.size());
        return ignoreCase ? Lower(here) == Lower(prefix) : here == prefix;
    }

    // Moves on by n characters, counting lines.
    void Skip(size_t n) {
        for (size_t end = std::min(text_.size(), at_ + n); at_ < end; ++at_) {
            if (text_[at_] == '\n') ++line_;
        }
    }

    HtmlNode& Current() { return *open_.back(); }

    HtmlNode& AddChild(std::string name) {
        auto node = std::make_unique<HtmlNode>();
        node->name = std::move(name);
        node->parent = &Current();
        node->line = line_;
        Current().children.push_back(std::move(node));
        return *Current().children.back();
    }

    void AddText(const std::string& text) {
        if (text.empty()) return;
        HtmlNode& parent = Current();
        if (!parent.children.empty() && !parent.children.back()->IsElement()) {
            parent.children.back()->text += text;
            return;
        }
        AddChild({}).text = text;
    }

    // An entity at `at_` (which is '&'), decoded into `out`; a wrong one is reported and kept
    // as it stands.
    void Entity(std::string* out) {
        const int line = line_;
        size_t end = at_ + 1;
        while (end < text_.size() && end - at_ < 12 && text_[end] != ';' && !IsSpace(text_[end]) &&
               text_[end] != '<' && text_[end] != '&') {
            ++end;
        }
        if (end >= text_.size() || text_[end] != ';') {
            Error(line, "'&' that starts no entity (write &amp;)");
            out->push_back('&');
            Skip(1);
            return;
        }
        const std::string_view body = text_.substr(at_ + 1, end - at_ - 1);
        char32_t decoded = 0;
        bool known = false;
        if (body.size() > 1 && body[0] == '#') {
            const bool hex = body[1] == 'x' || body[1] == 'X';
            const std::string_view digits = body.substr(hex ? 2 : 1);
            uint32_t value = 0;
            known = !digits.empty() && digits.size() <= 6;
            for (char c : digits) {
                const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                  : hex && std::isxdigit(static_cast<unsigned char>(c))
                                      ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                                      : -1;
                if (digit < 0) known = false;
                value = value * (hex ? 16 : 10) + static_cast<uint32_t>(std::max(digit, 0));
            }
            known = known && value > 0 && value <= 0x10FFFF;
            decoded = value;
        } else {
            for (const auto& [name, character] : kEntities) {
                if (body == name) {
                    known = true;
                    decoded = character;
                }
            }
        }
        if (!known) {
            Error(line, "unknown entity &" + std::string(body) + ";");
            out->append(text_.substr(at_, end - at_ + 1));
        } else {
            AppendUtf8(decoded, out);
        }
        Skip(end - at_ + 1);
    }

    void Text() {
        std::string text;
        while (at_ < text_.size() && text_[at_] != '<') {
            const char c = text_[at_];
            if (c == '&') {
                Entity(&text);
                continue;
            }
            if (c == '>') Error(line_, "stray '>' in text (write &gt;)");
            text.push_back(c);
            Skip(1);
        }
        AddText(text);
    }

    void Tag() {
        if (StartsWith("<!--")) {
            const size_t end = text_.find("-->", at_ + 4);
            if (end == std::string_view::npos) {
                Error(line_, "comment is never closed");
                Skip(text_.size());
                return;
            }
            Skip(end + 3 - at_);
            return;
        }
        if (StartsWith("<!doctype", true)) {
            const size_t end = text_.find('>', at_);
            if (end == std::string_view::npos ||
                Lower(text_.substr(at_, end - at_)) != "<!doctype html") {
                Error(line_, "the doctype is not <!DOCTYPE html>");
            }
            document_.doctype = true;
            Skip(end == std::string_view::npos ? text_.size() : end + 1 - at_);
            return;
        }
        if (StartsWith("</")) {
            EndTag();
            return;
        }
        if (at_ + 1 < text_.size() && std::isalpha(static_cast<unsigned char>(text_[at_ + 1]))) {
            StartTag();
            return;
        }
        Error(line_, "stray '<' (write &lt;)");
        AddText("<");
        Skip(1);
    }

    std::string Name() {
        const size_t start = at_;
        while (at_ < text_.size() && IsNameChar(text_[at_])) ++at_;
        return Lower(text_.substr(start, at_ - start));
    }

    void SkipSpaces() {
        while (at_ < text_.size() && IsSpace(text_[at_])) Skip(1);
    }

    void StartTag() {
        const int line = line_;
        Skip(1);
        HtmlNode& element = AddChild(Name());
        element.line = line;
        bool selfClosed = false;
        for (;;) {
            SkipSpaces();
            if (at_ >= text_.size()) {
                Error(line, "<" + element.name + " is cut off");
                return;
            }
            if (text_[at_] == '>') {
                Skip(1);
                break;
            }
            if (StartsWith("/>")) {
                selfClosed = true;
                Skip(2);
                break;
            }
            const std::string attribute = Name();
            if (attribute.empty()) {
                Error(line_,
                      "unexpected '" + std::string(1, text_[at_]) + "' in <" + element.name + ">");
                Skip(1);
                continue;
            }
            if (element.Attribute(attribute) != nullptr) {
                Error(line_, "attribute " + attribute + " given twice in <" + element.name + ">");
            }
            std::string value;
            SkipSpaces();
            if (at_ < text_.size() && text_[at_] == '=') {
                Skip(1);
                SkipSpaces();
                const char quote = at_ < text_.size() ? text_[at_] : '\0';
                if (quote != '"' && quote != '\'') {
                    Error(line_, "value of " + attribute + " is not quoted");
                    while (at_ < text_.size() && !IsSpace(text_[at_]) && text_[at_] != '>') {
                        value.push_back(text_[at_]);
                        Skip(1);
                    }
                } else {
                    Skip(1);
                    while (at_ < text_.size() && text_[at_] != quote) {
                        if (text_[at_] == '&') {
                            Entity(&value);
                            continue;
                        }
                        value.push_back(text_[at_]);
                        Skip(1);
                    }
                    if (at_ >= text_.size()) {
                        Error(line, "value of " + attribute + " is never closed");
                        return;
                    }
                    Skip(1);
                }
            }
            element.attributes.emplace_back(attribute, std::move(value));
        }
        if (IsVoid(element.name)) return;
        if (selfClosed) {
            Error(line, "<" + element.name + "/> is not a void element: close it with </" +
                            element.name + ">");
            return;
        }
        if (IsRawText(element.name)) {
            const std::string end = "</" + element.name;
            size_t close = at_;
            while (close < text_.size() && Lower(text_.substr(close, end.size())) != end) ++close;
            open_.push_back(&element);
            AddText(std::string(text_.substr(at_, close - at_)));
            open_.pop_back();
            Skip(close - at_);
            if (at_ >= text_.size()) Error(line, "<" + element.name + "> is never closed");
            if (at_ < text_.size()) EndTagOf(element);
            return;
        }
        open_.push_back(&element);
    }

    // The end tag of a raw-text element that was just read.
    void EndTagOf(HtmlNode& element) {
        open_.push_back(&element);
        EndTag();
    }

    void EndTag() {
        const int line = line_;
        Skip(2);
        const std::string name = Name();
        SkipSpaces();
        if (at_ >= text_.size() || text_[at_] != '>') {
            Error(line, "</" + name + " is not closed by '>'");
        } else {
            Skip(1);
        }
        if (IsVoid(name)) {
            Error(line, "</" + name + "> closes a void element");
            return;
        }
        if (open_.size() > 1 && open_.back()->name == name) {
            open_.pop_back();
            return;
        }
        const auto found = std::find_if(open_.rbegin(), open_.rend() - 1,
                                        [&](const HtmlNode* n) { return n->name == name; });
        if (found == open_.rend() - 1) {
            Error(line, "</" + name + "> closes nothing that is open");
            return;
        }
        Error(line, "</" + name + "> closes <" + name + "> while <" + open_.back()->name +
                        "> (line " + std::to_string(open_.back()->line) + ") is open");
        open_.erase(found.base() - 1, open_.end());
    }

    std::string_view text_;
    size_t at_ = 0;
    int line_ = 1;
    HtmlDocument document_;
    std::vector<HtmlNode*> open_;
};

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
    return Reader(text).Read();
}

std::string CollapseSpaces(std::string_view text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (IsSpace(c)) {
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
