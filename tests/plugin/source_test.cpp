#include "plugin/source.hpp"

#include <gtest/gtest.h>

#include "core/env_guard.hpp"
#include "plugin/load_catalog.hpp"
#include "plugin/model.hpp"
#include "support/private_env.hpp"

namespace vesk::plugin {
namespace {

namespace fs = std::filesystem;
using source::DeclaredState;
using test::TempDir;
using test::write_text;

TEST(PluginSource, DeclarationLines) {
    const std::pair<std::string_view, std::optional<DeclaredState>> cases[] = {
        {"  set -g @plugin \"a/b\"  ", DeclaredState{"a/b", true}},
        {"set -g @plugin   ' a/b '", DeclaredState{"a/b", true}},
        {"## set -g @plugin 'tmux-plugins/tmux-fpp'", DeclaredState{"tmux-plugins/tmux-fpp", false}},
        {"set -g @plugin \"it's/x\"", DeclaredState{"it's/x", true}},
        {"set -g @plugin tmux-plugins/tmux-yank", std::nullopt},
        {"set -g @plugin 'tmux-plugins/tmux-yank", std::nullopt},
        {"set -g @plugin '  '", std::nullopt},
    };
    for (const auto& [line, want] : cases) EXPECT_EQ(source::declaration_on(line), want) << line;
}

TEST(PluginSource, ParseNamesDescriptionsAndOrigins) {
    auto d = source::parse(
        "set -g @plugin 'tmux-plugins/tpm'\n"
        "set -g @plugin 'no-slash.git'\n"
        "# 복사를 돕습니다. 클립보드에 넣습니다.\n"
        "#set -g @plugin 'tmux-plugins/tmux-yank.git'\n"
        "# ------\n"
        "set -g @plugin 'a/dash'\n"
        "# v1.2.3 그대로.\n"
        "set -g @plugin 'a/period'\n",
        "conf.plugins");
    ASSERT_EQ(d.size(), 5u);
    EXPECT_EQ(d[0].description, "tmux-plugins/tpm");  // nothing above
    EXPECT_EQ(d[0].name, "tpm");
    EXPECT_EQ(d[1].description, "no-slash.git");  // a declaration above
    EXPECT_EQ(d[1].name, "no-slash");
    EXPECT_EQ(d[2].description, "복사를 돕습니다.");
    EXPECT_EQ(d[2].name, "tmux-yank");
    EXPECT_FALSE(d[2].on);
    EXPECT_EQ(d[2].origin, "conf.plugins:4");
    EXPECT_EQ(d[3].description, "a/dash");  // a rule above
    EXPECT_EQ(d[4].description, "v1.2.3 그대로.");
}

TEST(PluginDist, ConfPluginsDeclaresDescribedPlugins) {
    auto declarations = source::parse(test::read_text(fs::path(VESK_SOURCE_DIR) / "dist/confs/conf.plugins"),
                                      "conf.plugins");
    ASSERT_FALSE(declarations.empty());
    std::size_t off = 0;
    for (const source::Declaration& d : declarations) {
        EXPECT_NE(d.description, d.repo) << d.origin << ": no comment above";
        EXPECT_FALSE(d.name.empty());
        EXPECT_EQ(d.origin, "conf.plugins:" + std::to_string(d.line));
        off += d.on ? 0 : 1;
    }
    EXPECT_GT(off, 0u);  // some plugins come switched off
    EXPECT_LT(off, declarations.size());
}

TEST(PluginSource, InstalledPlugins) {
    TempDir dir;
    fs::create_directories(dir / "tmux-yank");
    fs::create_directories(dir / "a-first");
    write_text(dir / "plain-file", "x");
    fs::create_directory_symlink(dir / "a-first", dir / "linked");
    EXPECT_EQ(source::installed(dir.path()), (std::vector<std::string>{"a-first", "linked", "tmux-yank"}));
    EXPECT_TRUE(source::installed(dir / "missing").empty());

    // Two declarations with the same name both show as installed.
    auto decls = source::parse("set -g @plugin 'a/tmux-yank'\nset -g @plugin 'b/tmux-yank'\n#set -g @plugin 'c/d'", "p");
    model::Catalog catalog(decls, source::installed(dir.path()));
    ASSERT_EQ(catalog.size(), 3u);
    EXPECT_TRUE(catalog.entries()[0].installed);
    EXPECT_TRUE(catalog.entries()[1].installed);
    EXPECT_FALSE(catalog.entries()[2].installed);
}

TEST(PluginModel, OperationsReturnNewCatalogs) {
    const model::Catalog base(source::parse("set -g @plugin 'a/x'\n#set -g @plugin 'b/y'", "p"), {"y"});
    auto toggled = base.toggle(1);
    EXPECT_FALSE(base.entries()[1].on);
    EXPECT_TRUE(toggled.entries()[1].on);
    EXPECT_EQ(base.toggle(2), base);
    EXPECT_EQ(base.mark(5, model::JobMark::Fetching), base);

    auto refreshed = toggled.mark(0, model::JobMark::Updating).refresh({"x"});
    EXPECT_TRUE(refreshed.entries()[0].installed);
    EXPECT_FALSE(refreshed.entries()[1].installed);
    EXPECT_EQ(refreshed.entries()[0].job, model::JobMark::Updating);  // kept
    EXPECT_TRUE(refreshed.entries()[1].on);                            // kept
    EXPECT_EQ(refreshed.clear(0).entries()[0].job, model::JobMark::None);
}

TEST(PluginCatalog, LoadsDeclarationsInstalledPluginsAndTheUsersChanges) {
    TempDir dir;
    test::EnvGuard env;
    env.set("HOME", (dir / "home").string());
    env.set("XDG_CONFIG_HOME", (dir / "config").string());
    env.set("ZELT", (dir / "zelt").string());
    fs::create_directories(dir / "zelt" / "plugins" / "tmux-yank");
    write_text(dir / "config" / "vesk" / "plugins.conf",
               "#vesk:off tmux-plugins/tmux-yank\nset -g @plugin 'tmux-plugins/tmux-sidebar'\n");

    const model::Catalog catalog = app::load_catalog(config::Places::resolve());
    auto find = [&](std::string_view repo) {
        for (const auto& e : catalog.entries())
            if (e.declaration.repo == repo) return e;
        ADD_FAILURE() << repo << " is not declared";
        return model::Entry{};
    };
    const auto yank = find("tmux-plugins/tmux-yank");
    EXPECT_TRUE(yank.declaration.on && !yank.on && yank.installed);
    const auto sidebar = find("tmux-plugins/tmux-sidebar");
    EXPECT_TRUE(!sidebar.declaration.on && sidebar.on && !sidebar.installed);
}

}  // namespace
}  // namespace vesk::plugin
