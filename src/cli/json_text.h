// Texts for JSON strings. File names on Linux are bytes, not necessarily UTF-8; the JSON lines
// must stay valid whatever the user's file is called.
#pragma once

#include <string>
#include <string_view>

namespace kelpa {

// The text as the inside of a JSON string: quotes, backslashes and control characters are
// escaped, well-formed UTF-8 passes unchanged, and every byte that is not part of a
// well-formed sequence (a Latin-1 name, a cut sequence, an overlong form, an encoded surrogate)
// becomes "\ufffd", the replacement character.
std::string JsonText(std::string_view text);

}  // namespace kelpa
