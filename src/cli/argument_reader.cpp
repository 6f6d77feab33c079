#include "cli/argument_reader.h"

#include <cstring>

#include "common/log.h"

namespace kelpa {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsWhite(char c) {
    return IsBlank(c) || c == '\r' || c == '\n';
}

}  // namespace

int ReadArgument(std::string_view& rest, ArgumentItem* item) {
    if (rest.empty()) return 0;
    *item = ArgumentItem{};
    const std::string_view text = rest;
    if (text.front() == '"' || text.front() == '\'') {
        const size_t close = text.find(text.front(), 1);
        if (close == std::string_view::npos) {
            const std::string copy(text);
            LogPrintf("$ bad arg: %s", copy.c_str());
            rest = {};
            return -1;
        }
        item->hasValue = true;
        item->value = text.substr(1, close - 1);
        const size_t next = text.find('/', close + 1);
        rest = next == std::string_view::npos ? std::string_view{} : text.substr(next);
        return 1;
    }
    const size_t slash = text.find('/');
    size_t blank = 0;
    while (blank < text.size() && !IsBlank(text[blank])) ++blank;
    if (slash == std::string_view::npos) {
        item->hasValue = true;
        item->value = text;
        rest = {};
        return 1;
    }
    if (blank < text.size() && slash > blank) {
        item->hasValue = true;
        item->value = text.substr(0, blank);
        rest = text.substr(slash);
        return 1;
    }
    // An option starts at the '/'; anything in front of it is dropped.
    std::string_view option = text.substr(slash + 1);
    if (option.empty() || IsBlank(option.front())) {
        rest = {};
        return -1;
    }
    size_t nameEnd = 0;
    while (nameEnd < option.size() && !IsBlank(option[nameEnd])) ++nameEnd;
    item->hasOption = true;
    item->option = option.substr(0, nameEnd);
    std::string_view after = option.substr(nameEnd);
    size_t start = 0;
    while (start < after.size() && IsWhite(after[start])) ++start;
    if (start >= after.size()) {
        rest = {};
        return 1;
    }
    after = after.substr(start);
    const size_t next = after.find('/');
    item->hasValue = true;
    item->value = after.substr(0, next);
    rest = next == std::string_view::npos ? std::string_view{} : after.substr(next);
    return 1;
}

WindowedArguments ReadWindowedArguments(int argc, const char* const* argv) {
    WindowedArguments out;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strncmp(arg, "--", 2) == 0) continue;
        std::string text;
        if (std::strcmp(arg, "-i") == 0 || std::strcmp(arg, "/i") == 0) {
            text = "/i";
        } else if (std::strchr(arg, '"') == nullptr) {
            text = std::string("\"") + arg + '"';
        } else if (std::strchr(arg, '\'') == nullptr) {
            text = std::string("'") + arg + '\'';
        } else {
            // A name holding both quote characters cannot be quoted: it is the file as it is.
            out.startupFile = arg;
            continue;
        }
        std::string_view rest = text;
        ArgumentItem item;
        int read = 0;
        while ((read = ReadArgument(rest, &item)) == 1) {
            if (!item.hasOption) {
                if (item.hasValue) out.startupFile = std::string(item.value);
            } else if (item.option == "i") {
                out.secondCopy = true;
            }
        }
    }
    return out;
}

}  // namespace kelpa
