// Runs the value-list reader over arbitrary text: item after item with their positions
// checked against the text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/value_token.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const char* begin = input.c_str();
    const char* end = begin + std::strlen(begin);

    const char* cursor = begin;
    std::string item;
    for (size_t reads = 0; cursor; ++reads) {
        Check(reads <= size);  // every read moves forward
        const char* previous = cursor;
        const char* start = nullptr;
        size_t length = 0;
        const int32_t result = kelpa::ReadValueToken(cursor, &item, &start, &length);
        Check(result == 1 || result == -2);
        if (result < 0) {
            Check(cursor == nullptr);
            break;
        }
        Check(start >= begin && start + length <= end);
        Check(item.size() <= kelpa::kMaxValueItem);
        Check(!cursor || (cursor > previous && cursor < end));
    }
    return 0;
}
