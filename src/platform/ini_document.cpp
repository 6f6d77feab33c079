// Line-preserving INI text: parsing, look-up and single-key edits.
#include "platform/ini_document.h"

#include <cstddef>
#include <utility>

namespace kelpa {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument doc;
    // Editors that save "UTF-8 with BOM" put one in front of the first section header.
    if (text.starts_with(kByteOrderMark)) {
        doc.byteOrderMark_ = true;
        text.remove_prefix(kByteOrderMark.size());
    }
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        doc.lines_.push_back(ParseLine(raw));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    doc.crlf_ = !doc.lines_.empty() && !doc.lines_.front().raw.empty() &&
                doc.lines_.front().raw.back() == '\r';
    return doc;
}

IniDocument::Line IniDocument::ParseLine(std::string_view raw) {
    Line line;
    line.raw = std::string(raw);
    std::string_view text = raw;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (text.find('\0') != std::string_view::npos) return line;  // kUnparsed
    text = Trim(text);
    if (text.empty()) {
        line.kind = Kind::kBlank;
        return line;
    }
    if (text.front() == ';' || text.front() == '#') {
        line.kind = Kind::kComment;
        return line;
    }
    if (text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos) return line;
        const std::string_view name = Trim(text.substr(1, close - 1));
        const std::string_view rest = Trim(text.substr(close + 1));
        if (name.empty() || (!rest.empty() && rest.front() != ';' && rest.front() != '#')) {
            return line;
        }
        line.kind = Kind::kSection;
        line.name = std::string(name);
        return line;
    }
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) return line;
    const std::string_view key = Trim(text.substr(0, eq));
    if (key.empty()) return line;
    std::string_view value = Trim(text.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    line.kind = Kind::kKey;
    line.name = std::string(key);
    line.value = std::string(value);
    return line;
}

bool IniDocument::IsValidSectionName(std::string_view name) {
    return !name.empty() && Trim(name).size() == name.size() && !HasLineBreakOrNul(name) &&
           name.find(']') == std::string_view::npos;
}

bool IniDocument::IsValidKeyName(std::string_view name) {
    return !name.empty() && Trim(name).size() == name.size() && !HasLineBreakOrNul(name) &&
           name.find('=') == std::string_view::npos && name.front() != '[' && name.front() != ';' &&
           name.front() != '#';
}

bool IniDocument::IsValidValue(std::string_view value) {
    return !HasLineBreakOrNul(value);
}

// Values that reading would alter (surrounding blanks, enclosing quotes) are written quoted,
// so that every value reads back exactly as it was written.
std::string IniDocument::FormatValue(std::string_view value) {
    const bool needsQuotes =
        !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                           (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
    if (!needsQuotes) return std::string(value);
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted += '"';
    quoted += value;
    quoted += '"';
    return quoted;
}

size_t IniDocument::FindSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::kSection && EqualsNoCase(lines_[i].name, section)) return i;
    }
    return lines_.size();
}

size_t IniDocument::SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::kSection) ++i;
    return i;
}

const std::string* IniDocument::Find(std::string_view section, std::string_view key) const {
    const size_t header = FindSection(section);
    if (header == lines_.size()) return nullptr;
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::kKey && EqualsNoCase(lines_[i].name, key)) {
            return &lines_[i].value;
        }
    }
    return nullptr;
}

IniDocument::Line IniDocument::MakeLine(std::string text) const {
    if (crlf_) text += '\r';
    return ParseLine(text);
}

IniDocument::SetResult IniDocument::Set(std::string_view section, std::string_view key,
                                        const char* value) {
    if (!IsValidSectionName(section) || !IsValidKeyName(key) || (value && !IsValidValue(value))) {
        return SetResult::kInvalid;
    }
    const size_t header = FindSection(section);
    if (header == lines_.size()) {
        if (!value) return SetResult::kUnchanged;
        if (!lines_.empty() && lines_.back().kind != Kind::kBlank) lines_.push_back(MakeLine(""));
        std::string headerText(1, '[');
        headerText.append(section).append(1, ']');
        lines_.push_back(MakeLine(std::move(headerText)));
        lines_.push_back(MakeLine(std::string(key) + "=" + FormatValue(value)));
        return SetResult::kChanged;
    }
    size_t end = SectionEnd(header);
    if (!value) {
        // Every copy of the key goes, so that a later duplicate cannot surface in its place.
        bool removed = false;
        for (size_t i = end; i-- > header + 1;) {
            if (lines_[i].kind == Kind::kKey && EqualsNoCase(lines_[i].name, key)) {
                lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
                removed = true;
            }
        }
        return removed ? SetResult::kChanged : SetResult::kUnchanged;
    }
    for (size_t i = header + 1; i < end; ++i) {
        Line& line = lines_[i];
        if (line.kind != Kind::kKey || !EqualsNoCase(line.name, key)) continue;
        if (line.value == value) return SetResult::kUnchanged;
        line = MakeLine(line.name + "=" + FormatValue(value));  // keeps the file's spelling
        return SetResult::kChanged;
    }
    // A new key goes after the section's last non-blank line, keeping blank separators below.
    while (end > header + 1 && lines_[end - 1].kind == Kind::kBlank) --end;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(end),
                  MakeLine(std::string(key) + "=" + FormatValue(value)));
    return SetResult::kChanged;
}

std::string IniDocument::Serialize() const {
    size_t total = 0;
    for (const Line& line : lines_) total += line.raw.size() + 1;
    std::string text;
    text.reserve(total + kByteOrderMark.size());
    if (byteOrderMark_) text += kByteOrderMark;
    for (const Line& line : lines_) {
        text += line.raw;
        text += '\n';
    }
    return text;
}

}  // namespace kelpa
