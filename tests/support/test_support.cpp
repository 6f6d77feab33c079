// Shared test helpers: the in-memory profile store.
#include "support/test_support.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace kelpa::test {

std::string MemoryProfile::Key(const char* section, const std::string& key) {
    std::string k = std::string(section) + "/" + key;
    for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return k;
}

std::string MemoryProfile::Get(const std::string& key) const {
    auto it = values_.find(Key("kelpa", key));
    return it == values_.end() ? std::string() : it->second;
}

int32_t MemoryProfile::GetInt(const char* section, const char* key, int32_t def) {
    auto it = values_.find(Key(section, key));
    if (it == values_.end()) return def;
    return static_cast<int32_t>(
        static_cast<uint32_t>(std::strtoll(it->second.c_str(), nullptr, 10)));
}

uint32_t MemoryProfile::GetString(const char* section, const char* key, const char* def, char* out,
                                  uint32_t size) {
    auto it = values_.find(Key(section, key));
    const std::string value = it == values_.end() ? std::string(def ? def : "") : it->second;
    const size_t n = std::min<size_t>(value.size(), size - 1);
    std::memcpy(out, value.data(), n);
    out[n] = '\0';
    return static_cast<uint32_t>(n);
}

bool MemoryProfile::WriteString(const char* section, const char* key, const char* value) {
    if (!value) {
        values_.erase(Key(section, key));
        return true;
    }
    values_[Key(section, key)] = value;
    writeOrder_.push_back(key);
    return true;
}

}  // namespace kelpa::test
