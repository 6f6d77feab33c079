// The value-list reader and its multi-item variants.
#include "common/value_token.h"

#include <cstring>
#include <new>

namespace kelpa {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where an item lies, whether it is stored, and where the search for the next item begins.
struct Item {
    const char* begin = nullptr;
    const char* end = nullptr;
    bool stored = true;
    const char* rest = nullptr;
};

Item ReadBareItem(const char* text) {
    Item item;
    item.begin = text;
    if (const char* comma = std::strchr(text, ',')) {
        const char* end = comma;
        while (end > text && IsBlank(end[-1])) --end;
        item.end = end;
        item.stored = end > text;
        item.rest = comma;
        return item;
    }
    // Without a comma the item stops at the last blank, so a trailing remark is left out.
    const char* end = text + std::strlen(text);
    for (const char* p = end; p > text; --p) {
        if (IsBlank(p[-1])) {
            end = p - 1;
            break;
        }
    }
    item.end = end;
    item.rest = end;
    return item;
}

// The next item starts after the next comma and its white space, if anything follows.
const char* NextItem(const char* rest) {
    const char* comma = std::strchr(rest, ',');
    if (!comma) return nullptr;
    const char* next = comma + 1;
    while (IsBlank(*next)) ++next;
    return *next ? next : nullptr;
}

}  // namespace

int32_t ReadValueToken(const char*& cursor, std::string* text, const char** start, size_t* length) {
    const char* value = cursor;
    if (!value) return 0;
    cursor = nullptr;
    Item item;
    const char first = value[0];
    if (first == '"' || first == '\'') {
        const char* close = std::strchr(value + 1, first);
        if (!close) return -2;
        item = {value + 1, close, true, close + 1};
    } else if (IsDigit(first)) {
        item = {value, value, false, value + 1};
    } else {
        item = ReadBareItem(value);
    }
    if (text && item.stored) {
        const size_t size = static_cast<size_t>(item.end - item.begin);
        try {
            text->assign(item.begin, size < kMaxValueItem ? size : kMaxValueItem);
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }
    if (start) *start = item.begin;
    if (length) *length = static_cast<size_t>(item.end - item.begin);
    cursor = NextItem(item.rest);
    return 1;
}

}  // namespace kelpa
