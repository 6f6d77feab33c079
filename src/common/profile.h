// The user's profile: a sectioned key-value store reached through three calls. The store
// itself is supplied by the platform layer and installed at start-up (tests install their own).
#pragma once

#include <cstdint>

namespace kelpa {

class ProfileStore {
  public:
    virtual ~ProfileStore() = default;
    // Integer value of a key, or `def` when the key or section is missing.
    virtual int32_t GetInt(const char* section, const char* key, int32_t def) = 0;
    // Copies the value (or `def`) into `out`, cut to size - 1 characters and terminated;
    // returns the characters copied.
    virtual uint32_t GetString(const char* section, const char* key, const char* def, char* out,
                               uint32_t size) = 0;
    // Writes the value; a null value removes the key. Returns false when nothing was stored.
    virtual bool WriteString(const char* section, const char* key, const char* value) = 0;
};

// Installs the store used by the calls below (not owned; nullptr removes it). Without a store,
// reads give their defaults and writes fail.
void SetProfileStore(ProfileStore* store);
ProfileStore* CurrentProfileStore();

int32_t GetProfileInt(const char* section, const char* key, int32_t def);
uint32_t GetProfileString(const char* section, const char* key, const char* def, char* out,
                          uint32_t size);
bool WriteProfileString(const char* section, const char* key, const char* value);

// The section that holds every setting of the program.
inline constexpr const char* kProfileSection = "kelpa";

}  // namespace kelpa
