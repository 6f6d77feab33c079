#include "common/profile.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace kelpa {
namespace {

std::atomic<ProfileStore*> g_store{nullptr};

}  // namespace

void SetProfileStore(ProfileStore* store) {
    g_store.store(store);
}

ProfileStore* CurrentProfileStore() {
    return g_store.load();
}

int32_t GetProfileInt(const char* section, const char* key, int32_t def) {
    ProfileStore* store = g_store.load();
    return store ? store->GetInt(section, key, def) : def;
}

uint32_t GetProfileString(const char* section, const char* key, const char* def, char* out,
                          uint32_t size) {
    if (!out || size == 0) return 0;
    if (ProfileStore* store = g_store.load()) {
        return store->GetString(section, key, def, out, size);
    }
    const char* text = def ? def : "";
    const size_t n = std::min<size_t>(std::strlen(text), size - 1);
    std::memcpy(out, text, n);
    out[n] = '\0';
    return static_cast<uint32_t>(n);
}

bool WriteProfileString(const char* section, const char* key, const char* value) {
    ProfileStore* store = g_store.load();
    return store && store->WriteString(section, key, value);
}

}  // namespace kelpa
