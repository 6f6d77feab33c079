// The path builder's joins, extensions and length limits. (The side logs it names, their line
// cut and their deletion when empty, are the configuration parser's tests'; their place in the
// log directory is the headless run's.)
#include "common/make_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kelpa {
namespace {

TEST(MakePathTest, BuildsOrRefuses) {
    const std::string d200(200, 'd');
    const auto n = [](size_t count) { return std::string(count, 'n'); };
    const struct {
        const char* directory;
        std::string name;
        const char* extension;
        std::optional<std::string> expected;  // none: the path is refused
    } cases[] = {{"/opt/kelpa", "kelpa.cfg", nullptr, "/opt/kelpa/kelpa.cfg"},
                 {nullptr, "/opt/kcommon.cfg", ".cfg.log", "/opt/kcommon.cfg.log"},
                 // The name stays under 260 and directory plus name under 259 characters; with an
                 // extension the result stays under 260 characters.
                 {"d", n(257), nullptr, "d/" + n(257)},
                 {"d", n(258), nullptr, std::nullopt},
                 {d200.c_str(), n(50) + ".cfg", ".cfg.log", d200 + "/" + n(50) + ".cfg.log"},
                 {d200.c_str(), n(51) + ".cfg", ".cfg.log", std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 20) + (c.extension ? c.extension : ""));
        std::string out = "previous";
        EXPECT_EQ(MakePath(out, c.directory, c.name.c_str(), c.extension), c.expected.has_value());
        EXPECT_EQ(out, c.expected.value_or(""));
    }
}

}  // namespace
}  // namespace kelpa
