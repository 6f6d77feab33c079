// The value-list reader: splits the value text of a configuration assignment into items
// (quoted texts, bare words, numbers) separated by commas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelpa {

// An item copy holds at most this many characters.
inline constexpr size_t kMaxValueItem = 0x200000;

// Reads the item at `cursor` and moves `cursor` to the next item, or to nullptr when there is
// none. An item is:
// - a text in double or single quotes (without them); a missing closing quote returns -2;
// - nothing when it starts with a digit (numbers are read by the caller from `start`); only
//   that character is taken;
// - before a comma, the text in front of it without trailing white space (an empty one
//   stores nothing);
// - without a comma, the text up to its last blank, or to its end when it has none.
// When `text` is given, a copy of the item (at most kMaxValueItem characters) replaces it;
// items that store nothing leave it as it was. `start` and `length` receive where the item
// lies in the text (length 0 for a number). Returns 1, -1 when the copy cannot be allocated,
// -2 for a missing quote, 0 when `cursor` is null.
int32_t ReadValueToken(const char*& cursor, std::string* text, const char** start = nullptr,
                       size_t* length = nullptr);

}  // namespace kelpa
