// The distribution's own fragments: every binding must be read, described and told apart, since
// the overrides file finds a binding again by its table and command.
#include <map>

#include <gtest/gtest.h>

#include "core/text.hpp"
#include "keybind/source.hpp"
#include "support/private_env.hpp"

namespace vesk::keybind::source {
namespace {

const char* const kFragments[] = {"conf.prefix", "conf.common", "conf.session", "conf.window", "conf.codex",
                                  "conf.macos",  "conf.linux",  "conf.lab",     "conf.plugins"};

TEST(KeybindDist, FragmentsParseIntoDescribedBindings) {
    std::map<std::string, std::string> by_command;  // table + command -> origin, per profile
    std::size_t total = 0;
    for (const char* name : kFragments) {
        std::string text = test::read_text(std::filesystem::path(VESK_SOURCE_DIR) / "dist" / "confs" / name);
        std::size_t declared = 0;
        for (const std::string& line : split_lines(text)) {
            std::string_view t = trim(line);
            if (t.starts_with("bind-key ") || t.starts_with("bind ")) ++declared;
        }
        auto bindings = parse(text, name);
        EXPECT_EQ(bindings.size(), declared) << name;
        total += bindings.size();
        for (const Binding& b : bindings) {
            EXPECT_FALSE(b.description.empty()) << b.origin;
            EXPECT_NE(b.description, b.command) << b.origin << ": no comment above";
            EXPECT_FALSE(b.group.empty()) << b.origin;
            if (std::string_view(name) == "conf.macos") continue;  // the linux profile's order
            auto [it, fresh] = by_command.emplace(b.table + "\t" + b.command, b.origin);
            EXPECT_TRUE(fresh) << b.origin << " runs the same command as " << it->second;
        }
    }
    EXPECT_GT(total, 20u);
}

}  // namespace
}  // namespace vesk::keybind::source
