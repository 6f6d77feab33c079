// Feeds whole configuration files to the parser: each input is written to a file in a private
// temporary directory and parsed once with a root whose targets accept or reject names (and
// read the value items the way real targets do), and once without a root.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "common/cfg_parser.h"
#include "common/value_token.h"

namespace {

class FuzzTarget : public kelpa::CfgMenuTarget {
  public:
    explicit FuzzTarget(int32_t menuNumber) : CfgMenuTarget(menuNumber) {}

    int32_t Assign(const char* name, const char* value) override {
        const char* cursor = value;
        std::string item;
        for (int i = 0; cursor && i < 64; ++i) {
            const int32_t read = kelpa::ReadValueToken(cursor, &item);
            if (read < 0) return read;
        }
        // The name decides the answer, so every result code of a target is reached.
        static constexpr int32_t kResults[] = {1, 0, -1, -2, -5};
        const size_t key = std::strlen(name) + static_cast<unsigned char>(name[0]);
        return kResults[key % std::size(kResults)];
    }
};

class FuzzRoot : public kelpa::CfgRoot {
  public:
    kelpa::CfgTarget* ToolBarTarget() override { return &toolBar_; }
    kelpa::CfgTarget* ControlsTarget() override { return nullptr; }
    std::span<kelpa::CfgMenuTarget* const> MenuTargets() override { return menus_; }

  private:
    FuzzTarget toolBar_{-1};
    FuzzTarget first_{0};
    FuzzTarget fifth_{4};
    std::vector<kelpa::CfgMenuTarget*> menus_{&first_, nullptr, &fifth_};
};

std::string MakeDirectory() {
    // Every run creates and deletes files; in memory that costs no disk I/O.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "kelpa-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
}

const std::string& Directory() {
    static const std::string directory = MakeDirectory();
    return directory;
}

void RemoveDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(Directory(), ignored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The directory exists before the clean-up is registered, so it is removed before its
    // name is destroyed at exit.
    static const bool cleanupRegistered =
        !Directory().empty() && std::atexit(&RemoveDirectory) == 0;
    (void)cleanupRegistered;
    const std::string path = Directory() + "/kelpa.cfg";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);

    FuzzRoot root;
    kelpa::LoadConfig(&root, Directory().c_str(), "kelpa.cfg");
    kelpa::LoadConfig(Directory().c_str(), "kelpa.cfg");
    return 0;
}
