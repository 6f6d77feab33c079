// Fuzzes the INI profile reader: arbitrary file contents are parsed and read, one key is
// written and read back, and no other line of the original may be lost or altered by the write.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini_document.h"
#include "platform/ini_profile.h"
#include "platform/program_paths.h"

namespace {

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// `after` must be `before` with at most one line replaced by at most three (a changed key, an
// added key, or a blank line, a new section header and the key); nothing else may differ.
bool ChangesOneLineOnly(std::string_view before, std::string_view after) {
    const std::vector<std::string_view> a = Lines(before);
    const std::vector<std::string_view> b = Lines(after);
    size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
    size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
        ++suffix;
    }
    return a.size() - prefix - suffix <= 1 && b.size() - prefix - suffix <= 3;
}

// The same through the store on a real file: what it reads, what it writes, and that the file
// it leaves is exactly the document with that one change.
std::string g_dir;

void RemoveFiles() {
    for (const char* name : {"/kelpa.ini", "/kelpa.ini.lock", "/kelpa.ini.tmp"}) {
        std::remove((g_dir + name).c_str());
    }
    std::remove(g_dir.c_str());
}

void CheckStore(std::string_view text, const std::string& value) {
    if (g_dir.empty()) {
        std::string pattern = "/dev/shm/fuzz_profile_XXXXXX";
        if (!mkdtemp(pattern.data())) {
            pattern = kelpa::TempDirectory() + "/fuzz_profile_XXXXXX";
            if (!mkdtemp(pattern.data())) std::abort();
        }
        g_dir = pattern;
        std::atexit(RemoveFiles);
    }
    const std::string path = g_dir + "/kelpa.ini";
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) return;
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    kelpa::IniDocument expected = kelpa::IniDocument::Parse(text);
    const std::string* stored = expected.Find("kelpa", "ProcChannelsID");
    kelpa::IniProfileStore store(path);
    const int32_t word = store.GetInt("Kelpa", "procchannelsid", 2036691527);
    if (word != (stored ? kelpa::IniProfileStore::ParseProfileInt(*stored) : 2036691527)) {
        std::abort();
    }
    if (!store.WriteString("quill", "Device", value.c_str())) std::abort();
    char out[32];
    store.GetString("QUILL", "device", "", out, sizeof out);
    if (std::string(value.c_str()).substr(0, sizeof out - 1) != out) std::abort();
    // An unchanged value leaves the file as it was; any change rewrites it from the document.
    const bool changed =
        expected.Set("quill", "Device", value.c_str()) == kelpa::IniDocument::SetResult::kChanged;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) std::abort();
    std::string written;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) written.append(chunk, n);
    std::fclose(file);
    if (written != (changed ? expected.Serialize() : std::string(text))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    kelpa::IniDocument doc = kelpa::IniDocument::Parse(text);
    for (const char* key : {"ProcAmp", "ProcChannelsID", "Device", "a"}) {
        for (const char* section : {"kelpa", "quill", "KELPA"}) {
            if (const std::string* value = doc.Find(section, key)) {
                (void)kelpa::IniProfileStore::ParseProfileInt(*value);
            }
        }
    }
    const std::string before = doc.Serialize();
    if (kelpa::IniDocument::Parse(before).Serialize() != before) std::abort();

    // The written value is taken from the input's tail so that odd values are tried too.
    const std::string value(text.substr(size > 16 ? size - 16 : 0));
    const bool valid = kelpa::IniDocument::IsValidValue(value.c_str());  // as far as a C text
    const auto result = doc.Set("kelpa", "ProcAmp", value.c_str());
    if (valid != (result != kelpa::IniDocument::SetResult::kInvalid)) std::abort();
    if (!valid) return 0;
    const std::string after = doc.Serialize();
    const kelpa::IniDocument reread = kelpa::IniDocument::Parse(after);
    const std::string* back = reread.Find("KELPA", "procamp");
    if (!back || *back != value.c_str()) std::abort();
    if (!ChangesOneLineOnly(before, after)) std::abort();

    if (doc.Set("Kelpa", "PROCAMP", nullptr) != kelpa::IniDocument::SetResult::kChanged) {
        std::abort();
    }
    if (kelpa::IniDocument::Parse(doc.Serialize()).Find("kelpa", "ProcAmp")) std::abort();
    CheckStore(text, value);
    return 0;
}
