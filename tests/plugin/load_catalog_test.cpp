#include "plugin/load_catalog.hpp"

#include <cstdlib>

#include <gtest/gtest.h>

#include "support/private_env.hpp"

namespace vesk::plugin::app {
namespace {

// Sets variables for one test and puts the old values back.
class ScopedEnv {
public:
    void set(const char* name, const std::string& value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) ::setenv(it->first, it->second->c_str(), 1); else ::unsetenv(it->first);
        }
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(PluginCatalog, LoadsDeclarationsInstalledPluginsAndTheUsersChanges) {
    test::TempDir dir;
    ScopedEnv env;
    env.set("HOME", (dir / "home").string());
    env.set("XDG_CONFIG_HOME", (dir / "config").string());
    env.set("ZELT", (dir / "zelt").string());
    std::filesystem::create_directories(dir / "zelt" / "plugins" / "tmux-yank");
    test::write_text(dir / "config" / "vesk" / "plugins.conf",
                     "#vesk:off tmux-plugins/tmux-yank\nset -g @plugin 'tmux-plugins/tmux-sidebar'\n");

    model::Catalog catalog = load_catalog();
    auto find = [&](std::string_view repo) {
        for (const auto& e : catalog.entries()) if (e.declaration.repo == repo) return e;
        ADD_FAILURE() << repo << " is not declared";
        return model::Entry{};
    };
    auto yank = find("tmux-plugins/tmux-yank");
    EXPECT_TRUE(yank.declaration.on);
    EXPECT_FALSE(yank.on);
    EXPECT_TRUE(yank.installed);
    auto sidebar = find("tmux-plugins/tmux-sidebar");
    EXPECT_FALSE(sidebar.declaration.on);
    EXPECT_TRUE(sidebar.on);
    EXPECT_FALSE(sidebar.installed);
}

}  // namespace
}  // namespace vesk::plugin::app
