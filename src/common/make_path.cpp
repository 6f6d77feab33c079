// Joining directories and file names, and replacing a file name's extension.
#include "common/make_path.h"

#include <cstring>

namespace kelpa {
namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// Offset in `path` where the extension of its last component begins, or path.size().
size_t ExtensionOffset(const std::string& path) {
    size_t componentStart = 0;
    for (size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) {
            componentStart = i;
            break;
        }
    }
    const size_t dot = path.rfind('.');
    // A leading dot names a hidden file; it is not an extension.
    if (dot == std::string::npos || dot <= componentStart) return path.size();
    return dot;
}

}  // namespace

bool MakePath(std::string& out, const char* directory, const char* name) {
    out.clear();
    if (!name) return false;
    const size_t nameLength = std::strlen(name);
    const size_t directoryLength = directory ? std::strlen(directory) : 0;
    if (nameLength == 0 || nameLength >= kMaxPath) return false;
    if (directoryLength + nameLength >= kMaxPath - 1) return false;
    if (directoryLength > 0) {
        out.assign(directory, directoryLength);
        if (!IsSeparator(out.back())) out += '/';
    }
    out.append(name, nameLength);
    return true;
}

bool MakePath(std::string& out, const char* directory, const char* name, const char* extension) {
    if (!MakePath(out, directory, name)) return false;
    if (!extension) return true;
    out.resize(ExtensionOffset(out));
    out += extension;
    if (out.size() >= kMaxPath) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace kelpa
