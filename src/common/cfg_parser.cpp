// The configuration line loop: comments, section headers choosing the target, assignments
// handed to it, and the messages about lines it cannot use.
#include "common/cfg_parser.h"

#include <cstring>
#include <memory>

namespace kelpa {
namespace {

constexpr const char* kSideLogExtension = ".cfg.log";
constexpr size_t kBadName = static_cast<size_t>(-1);

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsNameStart(char c) {
    return IsLetter(c) || c == '_';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || IsDigit(c);
}

char ToUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (ToUpper(text[i]) != prefix[i]) return false;
    }
    return true;
}

bool EqualsNoCase(std::string_view text, std::string_view upper) {
    return text.size() == upper.size() && StartsWithNoCase(text, upper);
}

// Cuts the comment (everything from the first ';') and the trailing white space and line
// end; returns the new length.
size_t CutLine(char* text, size_t length) {
    const void* semicolon = std::memchr(text, ';', length);
    size_t end =
        semicolon ? static_cast<size_t>(static_cast<const char*>(semicolon) - text) : length;
    while (end > 0 && (IsBlank(text[end - 1]) || text[end - 1] == '\r' || text[end - 1] == '\n')) {
        --end;
    }
    text[end] = '\0';
    return end;
}

// Tabs, carriage returns and line feeds are the only control characters a line may hold. A
// NUL byte counts as one: it would silently hide the rest of the line.
bool HasControlCharacter(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 32 && c != '\t' && c != '\r' && c != '\n') return true;
    }
    return false;
}

// Offset behind the name that begins at `start`, or kBadName for a misplaced ':'. One "::"
// may join two parts of a name ("cam::AngleH").
size_t ScanName(const char* text, size_t start) {
    size_t i = start + 1;
    bool joined = false;
    for (;;) {
        while (IsNameChar(text[i])) ++i;
        if (text[i] != ':') return i;
        if (joined || text[i + 1] != ':' || !IsNameChar(text[i + 2])) return kBadName;
        joined = true;
        i += 3;
    }
}

}  // namespace

bool CfgParser::ParseLines() {
    // Without a side log the messages are lost; the file is still parsed.
    sideLog_.Open(nullptr, Path().c_str(), kSideLogExtension, 0);
    int32_t number = 0;
    for (;;) {
        char* text = nullptr;
        size_t length = 0;
        const ReadResult read = ReadLine(text, length);
        if (read == ReadResult::kEnd) return true;
        if (read == ReadResult::kError) {
            SetState(kStateFailed);
            return false;
        }
        ++number;
        if (!ParseLine(text, length, number)) return false;
        if (number >= kMaxLines) return true;
    }
}

bool CfgParser::ParseLine(char* text, size_t length, int32_t number) {
    size_t start = 0;
    while (start < length && IsBlank(text[start])) ++start;
    if (start == length) return true;
    const char first = text[start];
    if (first == '\n' || first == '\r' || first == ';') return true;

    length = CutLine(text, length);
    if (HasControlCharacter(text, length)) {
        sideLog_.Printf("$bad row %d: '%s'", number, Path().c_str());
        SetState(kStateFailed);
        return false;
    }
    const Line line{text, start, number};
    if (first == '[') return ParseSection(line);
    ParseAssignment(line);
    return true;
}

bool CfgParser::ParseSection(const Line& line) {
    const char* p = line.text + line.start + 1;
    while (IsBlank(*p)) ++p;
    if (!IsNameStart(*p)) {
        sideLog_.Printf("%d: stop parsing! -->  %s", line.number, line.text);
        SetState(kStateFailed);
        return false;
    }
    const char* nameBegin = p++;
    while (IsNameChar(*p)) ++p;
    const std::string_view name(nameBegin, static_cast<size_t>(p - nameBegin));
    while (IsBlank(*p)) ++p;
    if (*p != ']') {
        sideLog_.Printf("%d: %s", line.number, line.text);
        return true;
    }
    ++p;
    while (IsBlank(*p)) ++p;
    // Text behind the "]" is reported, but the header still counts.
    if (*p != '\0') sideLog_.Printf("%d: %s", line.number, line.text);
    if (root_) SelectTarget(name, line);
    return true;
}

void CfgParser::SelectTarget(std::string_view name, const Line& line) {
    if (EqualsNoCase(name, "TOOLBAR")) {
        target_ = root_->ToolBarTarget();
        return;
    }
    if (EqualsNoCase(name, "CTRL")) {
        target_ = root_->ControlsTarget();
        return;
    }
    // Other names keep the current target, and so does "MENU" with several digits.
    if (name.size() < 5 || !StartsWithNoCase(name, "MENU")) return;
    const char digit = name[4];
    if (!IsDigit(digit) || (name.size() == 5 && digit == '0')) {
        sideLog_.Printf("%d: %s", line.number, line.text);
        target_ = nullptr;
        return;
    }
    if (name.size() != 5) return;
    const int32_t menuNumber = digit - '1';
    target_ = nullptr;
    for (CfgMenuTarget* menu : root_->MenuTargets()) {
        if (menu && menu->MenuNumber() == menuNumber) {
            target_ = menu;
            break;
        }
    }
}

void CfgParser::ParseAssignment(const Line& line) {
    // Without a target (and always without a root) assignments are dropped unread.
    if (!target_) return;
    char* text = line.text;
    if (!IsNameStart(text[line.start])) {
        sideLog_.Printf("%d: syntax error, bad name : ---> %s", line.number, text);
        return;
    }
    const size_t nameEnd = ScanName(text, line.start);
    size_t p = nameEnd;
    if (p != kBadName) {
        while (IsBlank(text[p])) ++p;
        if (text[p] == '=') {
            ++p;
            while (IsBlank(text[p])) ++p;
        } else {
            p = kBadName;
        }
    }
    if (p == kBadName || text[p] == '\0') {
        sideLog_.Printf("%d: %s", line.number, text);
        return;
    }
    // The name is terminated in place; the value runs to the end of the cut line.
    text[nameEnd] = '\0';
    const char* name = text + line.start;
    const char* value = text + p;
    ReportResult(target_->Assign(name, value), line, name, value);
}

void CfgParser::ReportResult(int32_t result, const Line& line, const char* name,
                             const char* value) {
    switch (result) {
        case 0:
            sideLog_.Printf("%d: unknow var: ---> %s=", line.number, name);
            break;
        case -1:
            sideLog_.Printf("%d: can`t alloc memory", line.number);
            break;
        case -2:
            sideLog_.Printf("%d: syntax expr error : ---> %s", line.number, value);
            break;
        default:
            // Accepted, or a failure the target reports itself.
            break;
    }
}

bool LoadConfig(const char* directory, const char* name) {
    return LoadConfig(nullptr, directory, name);
}

bool LoadConfig(CfgRoot* root, const char* directory, const char* name) {
    try {
        auto parser = std::make_unique<CfgParser>(root);
        if (!parser->Open(directory, name)) return false;
        return parser->Run();
    } catch (...) {
        // A target that throws ends the read; nothing crosses into the caller.
        return false;
    }
}

}  // namespace kelpa
