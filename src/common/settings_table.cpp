// Parsing, holding, reading and writing one declared setting.
#include "common/settings_table.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/profile.h"

namespace kelpa {
namespace {

// A 32-bit word is stored as "%u" (0 ... 4294967295) or, by hand or by an older writer, as "%d".
constexpr double kWordMin = -2147483648.0;
constexpr double kWordMax = 4294967295.0;
constexpr double kInt32Min = -2147483648.0;
constexpr double kInt32Max = 2147483647.0;
constexpr uint32_t kExponentMask = 0x7F800000u;
constexpr uint32_t kFractionMask = 0x007FFFFFu;
// Stored numbers have at most 11 characters; a longer text is read far enough to be refused.
constexpr uint32_t kNumberTextChars = 64;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A whole decimal number with an optional sign. Numbers too large for 64 bits come back as an
// infinity of their sign, so that the limits still hold them.
bool ParseWhole(std::string_view text, double& number) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (!AllDigits(text)) return false;
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error == std::errc::result_out_of_range) {
        number = negative ? -kInfinity : kInfinity;
        return true;
    }
    if (error != std::errc{} || end != text.data() + text.size()) return false;
    number = negative ? -static_cast<double>(magnitude) : static_cast<double>(magnitude);
    return true;
}

// A decimal float such as "0.25" or "-2e1"; "inf" and "nan" are not accepted.
bool ParseDecimal(std::string_view text, float& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    });
    if (!plain) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

// A float that a setting may hold: finite and not denormal.
bool UsableFloat(float value) {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    const uint32_t exponent = bits & kExponentMask;
    if (exponent == kExponentMask) return false;
    return exponent != 0 || (bits & kFractionMask) == 0;
}

uint32_t WordOf(double number) {
    return number < 0 ? static_cast<uint32_t>(static_cast<int32_t>(number))
                      : static_cast<uint32_t>(number);
}

// The 32-bit word a value is stored as.
uint32_t StoredWord(const SettingDecl& decl, double number) {
    switch (decl.kind) {
        case SettingKind::kFlag:
            return number != 0.0 ? 1u : 0u;
        case SettingKind::kUnsigned:
        case SettingKind::kTag:
            return static_cast<uint32_t>(std::clamp(number, 0.0, kWordMax));
        case SettingKind::kFloatBits:
            return std::bit_cast<uint32_t>(static_cast<float>(number));
        case SettingKind::kCentiFloat:
            // Rounded, not truncated: -1.18f times 100 lies just above -118, and truncation
            // would lower the setting by one at every save.
            return WordOf(std::clamp(std::round(number * 100.0), kInt32Min, kInt32Max));
        default:
            return WordOf(std::clamp(number, kInt32Min, kInt32Max));
    }
}

SettingParse Refused(std::string_view text, std::string_view why) {
    SettingParse result;
    result.error.reserve(text.size() + why.size() + 6);
    result.error.append("\"").append(text).append("\" is ").append(why);
    return result;
}

}  // namespace

double HoldToLimits(const SettingDecl& decl, double number) {
    if (decl.kind == SettingKind::kFlag) return number != 0.0 ? 1.0 : 0.0;
    if (decl.kind == SettingKind::kText) return number;
    if (number >= decl.minimum && number <= decl.maximum) return number;
    const double heldDefault = std::clamp(decl.defaultValue, decl.minimum, decl.maximum);
    if (std::isnan(number)) return heldDefault;
    switch (decl.rule) {
        case OutOfRange::kClamp:
            return number < decl.minimum ? decl.minimum : decl.maximum;
        case OutOfRange::kReplace:
            return decl.replacement;
        case OutOfRange::kDefault:
            break;
    }
    return heldDefault;
}

SettingValue DefaultSettingValue(const SettingDecl& decl) {
    if (decl.kind == SettingKind::kText) return SettingValue{0.0, decl.defaultText};
    return SettingValue{decl.defaultValue, {}};
}

SettingParse ParseSetting(const SettingDecl& decl, std::string_view text) {
    if (decl.kind == SettingKind::kText) {
        if (text.size() > decl.maxTextChars) {
            SettingParse result;
            result.error.append("longer than ")
                .append(std::to_string(decl.maxTextChars))
                .append(" characters");
            return result;
        }
        return SettingParse{SettingValue{0.0, std::string(text)}, {}};
    }
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty()) return Refused(text, "empty");
    double number = 0.0;
    const bool whole = ParseWhole(trimmed, number);
    switch (decl.kind) {
        case SettingKind::kTag:
            if (!whole || number < kWordMin || number > kWordMax) {
                return Refused(trimmed, "not a 32-bit word");
            }
            number = WordOf(number);
            break;
        case SettingKind::kFloatBits: {
            float value = 0.0f;
            if (whole) {
                if (number < kWordMin || number > kWordMax) {
                    return Refused(trimmed, "not a 32-bit float pattern");
                }
                value = std::bit_cast<float>(WordOf(number));
            } else if (!ParseDecimal(trimmed, value)) {
                return Refused(trimmed, "not a number");
            }
            if (!UsableFloat(value)) return Refused(trimmed, "not a finite, normal float");
            number = value == 0.0f ? 0.0 : static_cast<double>(value);
            break;
        }
        case SettingKind::kCentiFloat:
            if (!whole) return Refused(trimmed, "not a whole number");
            number = static_cast<double>(static_cast<float>(number) / 100.0f);
            break;
        default:
            if (!whole) return Refused(trimmed, "not a whole number");
            break;
    }
    return SettingParse{SettingValue{HoldToLimits(decl, number), {}}, {}};
}

SettingValue ReadSetting(const SettingDecl& decl, const char* section) {
    const bool isText = decl.kind == SettingKind::kText;
    std::string text(isText ? decl.maxTextChars + 2 : kNumberTextChars, '\0');
    const uint32_t size = static_cast<uint32_t>(text.size());
    // A missing key gives the default; an empty text is a text of its own (an empty template),
    // but no number. A text that filled the buffer may have been cut and is not trusted.
    const uint32_t length =
        GetProfileString(section, decl.key, isText ? decl.defaultText : "", text.data(), size);
    if ((length == 0 && !isText) || length >= size - 1) return DefaultSettingValue(decl);
    text.resize(length);
    SettingParse parsed = ParseSetting(decl, text);
    return parsed.ok() ? std::move(parsed.value) : DefaultSettingValue(decl);
}

std::string SettingText(const SettingDecl& decl, const SettingValue& value) {
    if (decl.kind == SettingKind::kText) {
        return value.text.size() <= decl.maxTextChars ? value.text : std::string();
    }
    const uint32_t word = StoredWord(decl, value.number);
    char text[12];
    const int n = decl.format == WriteFormat::kUnsigned
                      ? std::snprintf(text, sizeof text, "%u", word)
                      : std::snprintf(text, sizeof text, "%d", static_cast<int32_t>(word));
    return n >= 1 && n <= 11 ? std::string(text, static_cast<size_t>(n)) : std::string();
}

bool WriteSetting(const SettingDecl& decl, const char* section, const SettingValue& value) {
    if (decl.kind == SettingKind::kText && value.text.size() > decl.maxTextChars) return false;
    const std::string text = SettingText(decl, value);
    if (text.empty() && decl.kind != SettingKind::kText) return false;
    return WriteProfileString(section, decl.key, text.c_str());
}

}  // namespace kelpa
