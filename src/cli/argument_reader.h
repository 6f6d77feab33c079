// The argument reader of the windowed program's start-up: reads one item (an option "/name"
// with an optional value, or a plain value) from the rest of a command-line text at a time.
// `main` hands it each plain argument quoted, so a path that starts with '/' is a file name;
// "/i" and "-i" reach it as the option i.
#pragma once

#include <string>
#include <string_view>

namespace kelpa {

struct ArgumentItem {
    bool hasOption = false;
    std::string_view option;  // the name behind '/'
    bool hasValue = false;
    std::string_view value;
};

// Reads the next item of `rest` into `item` and moves `rest` behind it. Returns 1 when an item
// was read, 0 at the end of the text, -1 on a malformed item (an unclosed quote is logged as
// "$ bad arg: %s"; a '/' without a name).
int ReadArgument(std::string_view& rest, ArgumentItem* item);

// What the windowed program takes from its command line.
struct WindowedArguments {
    std::string startupFile;  // the last plain argument: a video file to play at start
    bool secondCopy = false;  // "/i": another copy may run beside this one
};

// Reads the arguments after the program name. Options beginning with "--" were read before
// (and the headless ones are refused without --headless); "-i" is taken as "/i".
WindowedArguments ReadWindowedArguments(int argc, const char* const* argv);

}  // namespace kelpa
