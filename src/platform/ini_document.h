// The text of an INI profile held line by line. Readers see sections, keys and values; every
// line, including those that cannot be parsed, is kept verbatim so that writing one key back
// never drops or alters anything else in the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelpa {

class IniDocument {
  public:
    enum class SetResult { kUnchanged, kChanged, kInvalid };

    IniDocument() = default;
    // Splits the text into lines ("\n" or "\r\n"); a missing final line end is accepted. A
    // UTF-8 byte-order mark in front is skipped, and written back by Serialize.
    static IniDocument Parse(std::string_view text);

    // The value of `key` in the first section named `section` (both compared without case),
    // with surrounding blanks and one pair of enclosing double quotes removed; the first
    // occurrence of a repeated key wins. Returns nullptr when the section or key is missing.
    const std::string* Find(std::string_view section, std::string_view key) const;

    // Sets `key` in the first section named `section`, adding the section when missing. A null
    // value removes the key. Names that could not be read back as written (empty, with line
    // ends, '=' or ']' in them, or surrounding blanks) and values with line ends are refused.
    SetResult Set(std::string_view section, std::string_view key, const char* value);

    // The whole text, every line ended as the file's first line was.
    std::string Serialize() const;

    static bool IsValidSectionName(std::string_view name);
    static bool IsValidKeyName(std::string_view name);
    static bool IsValidValue(std::string_view value);

  private:
    enum class Kind : uint8_t { kBlank, kComment, kSection, kKey, kUnparsed };

    struct Line {
        std::string raw;  // as read, without the line end ('\r' of "\r\n" included)
        Kind kind = Kind::kUnparsed;
        std::string name;   // section or key name, trimmed
        std::string value;  // key value, trimmed and unquoted
    };

    static Line ParseLine(std::string_view raw);
    static std::string FormatValue(std::string_view value);
    // Index of the first header of `section`, or lines_.size().
    size_t FindSection(std::string_view section) const;
    // One past the last line of the section whose header is at `header`.
    size_t SectionEnd(size_t header) const;
    Line MakeLine(std::string text) const;

    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

    std::vector<Line> lines_;
    bool byteOrderMark_ = false;
    bool crlf_ = false;  // the file's first line ends in "\r\n": new lines follow suit
};

// ASCII-only comparison without case, independent of the locale.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace kelpa
