// Settings declared once. Each owner (processing, capture, device format, view, window places,
// settings panel) lists its profile keys in one constexpr table: the key as stored, the kind of
// value, its default, its limits, what becomes of a value outside them, and the text it is written
// as. Loading, saving, the --set override and the settings panel all go through these
// declarations, so a key is spelled, bounded and formatted in one place only.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace kelpa {

enum class SettingKind : uint8_t {
    kSigned,      // 32-bit signed integer
    kUnsigned,    // 32-bit unsigned integer
    kFlag,        // integer, on when not 0; held as 0 or 1
    kTag,         // four characters in a 32-bit word, first character in the lowest byte
    kFloatBits,   // 32-bit float, stored as the decimal of its IEEE-754 bit pattern
    kCentiFloat,  // float stored as the integer value x 100 (2.5 is stored as 250)
    kText,
};

// What a number outside [minimum, maximum] becomes.
enum class OutOfRange : uint8_t {
    kClamp,    // the nearer limit
    kDefault,  // the default (itself held inside the limits)
    kReplace,  // the declared replacement
};

// How the stored word is written: "%d" or "%u" (float bit patterns and tags use "%u").
enum class WriteFormat : uint8_t { kSigned, kUnsigned, kText };

// A value as the program holds it. Every numeric kind fits a double exactly (32-bit integers,
// floats); text kinds use `text`.
struct SettingValue {
    double number = 0.0;
    std::string text;

    friend bool operator==(const SettingValue&, const SettingValue&) = default;
};

// Reads and writes one field of an owner's settings struct; built by SettingField below.
struct SettingAccess {
    const void* ownerTag = nullptr;
    SettingValue (*get)(const void* owner) = nullptr;
    void (*set)(void* owner, const SettingValue& value) = nullptr;
};

struct SettingDecl {
    const char* key = "";  // exactly as stored
    SettingKind kind = SettingKind::kSigned;
    double defaultValue = 0.0;  // in the units the program holds (ProcRMSH: 2.0, not 200)
    double minimum = 0.0;
    double maximum = 0.0;
    OutOfRange rule = OutOfRange::kClamp;
    double replacement = 0.0;
    WriteFormat format = WriteFormat::kSigned;
    const char* defaultText = "";  // kText
    uint32_t maxTextChars = 0;     // kText: longer texts are refused
    SettingAccess access;
};

// One owner's table: keys in the order they are read, and the order they are written back.
struct SettingsTable {
    const char* owner = "";    // names the table in messages
    const char* section = "";  // profile section
    std::span<const SettingDecl> settings;
    std::span<const uint8_t> writeOrder;  // indices into `settings`
};

// A table whose accessors work on the fields of Owner (checked with AllFieldsOf where the table
// is defined).
template <typename Owner>
struct SettingsTableOf : SettingsTable {};

// ---- One value ----------------------------------------------------------------------------------

struct SettingParse {
    bool ok() const { return error.empty(); }
    SettingValue value;  // held to the limits by the rule when ok
    std::string error;   // why the text is not a value of this setting
};

// Reads a stored or typed text: blanks around it are ignored. Integer kinds take a whole decimal
// number; tags and float bit patterns a 32-bit word in "%u" or "%d" form; a float setting also
// takes a decimal number with a point or an exponent ("0.25", "-2e1"). A number outside the
// limits is held to them by the declared rule, so only texts that are no number of the right
// kind are errors.
SettingParse ParseSetting(const SettingDecl& decl, std::string_view text);

// A number held to the limits by the rule (flags become 0 or 1).
double HoldToLimits(const SettingDecl& decl, double number);

SettingValue DefaultSettingValue(const SettingDecl& decl);

// The value in the profile: the default when the key is missing or its text cannot be parsed
// (an empty number is missing; an empty text is the empty text).
SettingValue ReadSetting(const SettingDecl& decl, const char* section);

// Writes the value in the declared format. A number is formatted into 12 characters and written
// only when the text has 1 to 11 of them; a text longer than maxTextChars is not written. False
// when nothing was written.
bool WriteSetting(const SettingDecl& decl, const char* section, const SettingValue& value);

// The text WriteSetting stores for the value ("" for a value that cannot be written).
std::string SettingText(const SettingDecl& decl, const SettingValue& value);

// ---- Declaring a table ----------------------------------------------------------------------

namespace settings_detail {

template <typename T>
struct MemberOf;
template <typename Owner, typename Field>
struct MemberOf<Field Owner::*> {
    using OwnerType = Owner;
    using FieldType = Field;
};

template <typename Owner>
struct OwnerTagOf {
    static constexpr char id = 0;
};

template <typename Field>
SettingValue ToValue(const Field& field) {
    if constexpr (std::is_same_v<Field, std::string>) {
        return SettingValue{0.0, field};
    } else {
        return SettingValue{static_cast<double>(field), {}};
    }
}

template <typename Field>
void FromValue(Field& field, const SettingValue& value) {
    if constexpr (std::is_same_v<Field, std::string>) {
        field = value.text;
    } else if constexpr (std::is_same_v<Field, bool>) {
        field = value.number != 0.0;
    } else {
        field = static_cast<Field>(value.number);
    }
}

}  // namespace settings_detail

template <typename Owner>
constexpr const void* SettingsOwnerTag() {
    return &settings_detail::OwnerTagOf<Owner>::id;
}

// Access to a field (`SettingField<&ProcSettings::amp>()`) or to one element of an array field
// (`SettingField<&ProcSettings::starThresholdFactor, 2>()`).
template <auto Member>
constexpr SettingAccess SettingField() {
    using Traits = settings_detail::MemberOf<decltype(Member)>;
    using Owner = typename Traits::OwnerType;
    return SettingAccess{
        SettingsOwnerTag<Owner>(),
        [](const void* owner) {
            return settings_detail::ToValue(static_cast<const Owner*>(owner)->*Member);
        },
        [](void* owner, const SettingValue& value) {
            settings_detail::FromValue(static_cast<Owner*>(owner)->*Member, value);
        }};
}

template <auto Member, size_t Index>
constexpr SettingAccess SettingField() {
    using Traits = settings_detail::MemberOf<decltype(Member)>;
    using Owner = typename Traits::OwnerType;
    return SettingAccess{
        SettingsOwnerTag<Owner>(),
        [](const void* owner) {
            return settings_detail::ToValue((static_cast<const Owner*>(owner)->*Member)[Index]);
        },
        [](void* owner, const SettingValue& value) {
            settings_detail::FromValue((static_cast<Owner*>(owner)->*Member)[Index], value);
        }};
}

// Declarations of each kind, for compact tables.
constexpr SettingDecl SignedSetting(const char* key, int32_t def, int32_t minimum, int32_t maximum,
                                    OutOfRange rule, SettingAccess access,
                                    int32_t replacement = 0) {
    return {.key = key,
            .kind = SettingKind::kSigned,
            .defaultValue = double(def),
            .minimum = double(minimum),
            .maximum = double(maximum),
            .rule = rule,
            .replacement = double(replacement),
            .format = WriteFormat::kSigned,
            .access = access};
}

constexpr SettingDecl UnsignedSetting(const char* key, uint32_t def, uint32_t minimum,
                                      uint32_t maximum, OutOfRange rule, SettingAccess access) {
    return {.key = key,
            .kind = SettingKind::kUnsigned,
            .defaultValue = double(def),
            .minimum = double(minimum),
            .maximum = double(maximum),
            .rule = rule,
            .format = WriteFormat::kUnsigned,
            .access = access};
}

constexpr SettingDecl FlagSetting(const char* key, bool def, SettingAccess access,
                                  WriteFormat format = WriteFormat::kSigned) {
    return {.key = key,
            .kind = SettingKind::kFlag,
            .defaultValue = def ? 1.0 : 0.0,
            .maximum = 1.0,
            .format = format,
            .access = access};
}

constexpr uint32_t TagWord(const char (&tag)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(tag[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(tag[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(tag[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(tag[3])) << 24;
}

// Any 32-bit word is kept as stored; the owner decides what an unknown tag selects.
constexpr SettingDecl TagSetting(const char* key, const char (&def)[5], SettingAccess access) {
    return {.key = key,
            .kind = SettingKind::kTag,
            .defaultValue = double(TagWord(def)),
            .maximum = 4294967295.0,
            .rule = OutOfRange::kDefault,
            .format = WriteFormat::kUnsigned,
            .access = access};
}

// A stored value outside the limits gives the default: a float out of its range is a foreign
// or corrupt pattern rather than a setting pushed past its end.
constexpr SettingDecl FloatSetting(const char* key, float def, float minimum, float maximum,
                                   SettingAccess access) {
    return {.key = key,
            .kind = SettingKind::kFloatBits,
            .defaultValue = double(def),
            .minimum = double(minimum),
            .maximum = double(maximum),
            .rule = OutOfRange::kDefault,
            .format = WriteFormat::kUnsigned,
            .access = access};
}

// Limits in the units the program holds (2.0 for a stored 200).
constexpr SettingDecl CentiFloatSetting(const char* key, float def, float minimum, float maximum,
                                        OutOfRange rule, SettingAccess access) {
    return {.key = key,
            .kind = SettingKind::kCentiFloat,
            .defaultValue = double(def),
            .minimum = double(minimum),
            .maximum = double(maximum),
            .rule = rule,
            .format = WriteFormat::kSigned,
            .access = access};
}

constexpr SettingDecl TextSetting(const char* key, const char* def, uint32_t maxChars,
                                  SettingAccess access) {
    return {.key = key,
            .kind = SettingKind::kText,
            .rule = OutOfRange::kDefault,
            .format = WriteFormat::kText,
            .defaultText = def,
            .maxTextChars = maxChars,
            .access = access};
}

// The write order of a table given by its keys; a key that the table does not declare, or one
// named twice, stops the compilation.
template <size_t N, size_t M>
consteval std::array<uint8_t, M> WriteOrderOf(const std::array<SettingDecl, N>& settings,
                                              const std::array<const char*, M>& keys) {
    static_assert(N < 256, "write order indices are bytes");
    std::array<uint8_t, M> order{};
    for (size_t i = 0; i < M; ++i) {
        size_t found = N;
        for (size_t k = 0; k < N; ++k) {
            if (std::string_view(settings[k].key) == keys[i]) found = k;
        }
        if (found == N) throw std::logic_error("write order names an undeclared key");
        for (size_t j = 0; j < i; ++j) {
            if (order[j] == found) throw std::logic_error("write order names a key twice");
        }
        order[i] = static_cast<uint8_t>(found);
    }
    return order;
}

// True when every declaration of the table works on the fields of Owner.
template <typename Owner, size_t N>
constexpr bool AllFieldsOf(const std::array<SettingDecl, N>& settings) {
    for (const SettingDecl& decl : settings) {
        if (decl.access.ownerTag != SettingsOwnerTag<Owner>()) return false;
    }
    return true;
}

// ---- A whole table ----------------------------------------------------------------------------

// The declared defaults.
template <typename Owner>
Owner DefaultSettings(const SettingsTableOf<Owner>& table) {
    Owner owner{};
    for (const SettingDecl& decl : table.settings)
        decl.access.set(&owner, DefaultSettingValue(decl));
    return owner;
}

// Every key of the table in its read order.
template <typename Owner>
Owner LoadSettings(const SettingsTableOf<Owner>& table) {
    Owner owner{};
    for (const SettingDecl& decl : table.settings) {
        decl.access.set(&owner, ReadSetting(decl, table.section));
    }
    return owner;
}

// Every key of the write order; a key that cannot be written is skipped and the others are
// still written. Returns the count of keys written.
template <typename Owner>
int SaveSettings(const SettingsTableOf<Owner>& table, const Owner& owner) {
    int written = 0;
    for (uint8_t index : table.writeOrder) {
        const SettingDecl& decl = table.settings[index];
        if (WriteSetting(decl, table.section, decl.access.get(&owner))) ++written;
    }
    return written;
}

}  // namespace kelpa
