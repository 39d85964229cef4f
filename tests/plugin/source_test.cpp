#include "plugin/source.hpp"

#include <gtest/gtest.h>

#include "plugin/model.hpp"
#include "support/private_env.hpp"

namespace vesk::plugin {
namespace {

using source::DeclaredState;
using vesk::test::TempDir;
using vesk::test::write_text;

TEST(PluginSource, DeclarationLines) {
    const std::pair<std::string_view, std::optional<DeclaredState>> cases[] = {
        {"set -g @plugin 'tmux-plugins/tmux-yank'", DeclaredState{"tmux-plugins/tmux-yank", true}},
        {"  set -g @plugin \"a/b\"  ", DeclaredState{"a/b", true}},
        {"set -g @plugin   ' a/b '", DeclaredState{"a/b", true}},
        {"#set -g @plugin 'tmux-plugins/tmux-yank'", DeclaredState{"tmux-plugins/tmux-yank", false}},
        {"## set -g @plugin 'tmux-plugins/tmux-fpp'", DeclaredState{"tmux-plugins/tmux-fpp", false}},
        {"set -g @plugin \"it's/x\"", DeclaredState{"it's/x", true}},
        {"set -g @plugin tmux-plugins/tmux-yank", std::nullopt},
        {"set -g @plugin 'tmux-plugins/tmux-yank", std::nullopt},
        {"set -g @plugin ''", std::nullopt},
        {"set -g @plugin '  '", std::nullopt},
        {"set -g @plugin", std::nullopt},
        {"set -g @other 'a/b'", std::nullopt},
        {"# 설명", std::nullopt},
    };
    for (const auto& [line, want] : cases) EXPECT_EQ(source::declaration_on(line), want) << line;
}

TEST(PluginSource, ParseNamesDescriptionsAndOrigins) {
    auto d = source::parse(
        "set -g @plugin 'tmux-plugins/tpm'\n"
        "set -g @plugin 'no-slash'\n"
        "# 복사를 돕습니다. 클립보드에 넣습니다.\n"
        "#set -g @plugin 'tmux-plugins/tmux-yank'\n"
        "# ------\n"
        "set -g @plugin 'a/dash'\n"
        "# v1.2.3 그대로.\n"
        "set -g @plugin 'a/period'\n"
        "#\n"
        "set -g @plugin 'a/empty'\n",
        "conf.plugins");
    ASSERT_EQ(d.size(), 6u);
    EXPECT_EQ(d[0].description, "tmux-plugins/tpm");  // nothing above
    EXPECT_EQ(d[0].name, "tpm");
    EXPECT_EQ(d[1].description, "no-slash");          // a declaration above
    EXPECT_EQ(d[1].name, "no-slash");
    EXPECT_EQ(d[2].description, "복사를 돕습니다.");
    EXPECT_FALSE(d[2].on);
    EXPECT_EQ(d[2].line, 4u);
    EXPECT_EQ(d[2].origin, "conf.plugins:4");
    EXPECT_EQ(d[3].description, "a/dash");
    EXPECT_EQ(d[4].description, "v1.2.3 그대로.");
    EXPECT_EQ(d[5].description, "a/empty");
}

TEST(PluginSource, InstalledPlugins) {
    TempDir dir;
    std::filesystem::create_directories(dir / "tmux-yank");
    std::filesystem::create_directories(dir / "tpm");
    std::filesystem::create_directories(dir / "a-first");
    write_text(dir / "plain-file", "x");
    std::filesystem::create_directory_symlink(dir / "a-first", dir / "linked");
    EXPECT_EQ(source::installed(dir.path()), (std::vector<std::string>{"a-first", "linked", "tmux-yank"}));
    EXPECT_TRUE(source::installed(dir / "missing").empty());

    // Two declarations with the same name both show as installed.
    auto decls = source::parse("set -g @plugin 'a/tmux-yank'\nset -g @plugin 'b/tmux-yank'\n#set -g @plugin 'c/d'", "p");
    model::Catalog catalog(decls, source::installed(dir.path()));
    ASSERT_EQ(catalog.size(), 3u);
    EXPECT_TRUE(catalog.entries()[0].installed);
    EXPECT_TRUE(catalog.entries()[1].installed);
    EXPECT_FALSE(catalog.entries()[2].installed);
    EXPECT_FALSE(catalog.entries()[2].on);
}

TEST(PluginModel, OperationsReturnNewCatalogs) {
    auto decls = source::parse("set -g @plugin 'a/x'\n#set -g @plugin 'b/y'", "p");
    const model::Catalog base(decls, {"y"});
    auto toggled = base.toggle(1);
    EXPECT_FALSE(base.entries()[1].on);
    EXPECT_TRUE(toggled.entries()[1].on);
    EXPECT_EQ(base.toggle(2), base);
    EXPECT_EQ(base.mark(5, model::JobMark::Fetching), base);

    auto marked = toggled.mark(0, model::JobMark::Updating);
    EXPECT_EQ(marked.entries()[0].job, model::JobMark::Updating);
    auto refreshed = marked.refresh({"x"});
    EXPECT_TRUE(refreshed.entries()[0].installed);
    EXPECT_FALSE(refreshed.entries()[1].installed);
    EXPECT_EQ(refreshed.entries()[0].job, model::JobMark::Updating);  // kept
    EXPECT_TRUE(refreshed.entries()[1].on);                            // kept
    EXPECT_EQ(refreshed.clear(0).entries()[0].job, model::JobMark::None);
}

TEST(PluginSource, DefaultInstallDir) {
    TempDir dir;
    auto restore = [](const char* name, const char* old) {
        if (old) ::setenv(name, old, 1); else ::unsetenv(name);
    };
    std::string old_zelt = std::getenv("ZELT") ? std::getenv("ZELT") : "";
    const char* zelt_was = std::getenv("ZELT") ? old_zelt.c_str() : nullptr;
    std::string old_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* home_was = std::getenv("HOME") ? old_home.c_str() : nullptr;

    std::string old_xdg = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    const char* xdg_was = std::getenv("XDG_CONFIG_HOME") ? old_xdg.c_str() : nullptr;

    ::setenv("HOME", (dir / "home").c_str(), 1);
    ::setenv("ZELT", (dir / "zelt").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    std::filesystem::create_directories(dir / "home" / ".tmux" / "plugins");
    EXPECT_EQ(source::default_install_dir(), std::nullopt);  // ZELT has none: HOME is not consulted
    std::filesystem::create_directories(dir / "zelt" / "plugins");
    EXPECT_EQ(source::default_install_dir(), dir / "zelt" / "plugins");
    ::setenv("ZELT", "", 1);
    EXPECT_EQ(source::default_install_dir(), dir / "home" / ".tmux" / "plugins");
    ::unsetenv("ZELT");
    EXPECT_EQ(source::default_install_dir(), dir / "home" / ".tmux" / "plugins");
    // A root named in config.toml holds the plugins setup fetched: they are found there.
    test::write_text(dir / "config" / "vesk" / "config.toml", "zelt = \"~/opt/zelt\"\n");
    EXPECT_EQ(source::default_install_dir(), std::nullopt);
    std::filesystem::create_directories(dir / "home" / "opt" / "zelt" / "plugins");
    EXPECT_EQ(source::default_install_dir(), dir / "home" / "opt" / "zelt" / "plugins");
    ::setenv("ZELT", (dir / "zelt").c_str(), 1);  // ZELT still comes first
    EXPECT_EQ(source::default_install_dir(), dir / "zelt" / "plugins");

    restore("XDG_CONFIG_HOME", xdg_was);
    restore("ZELT", zelt_was);
    restore("HOME", home_was);
}

}  // namespace
}  // namespace vesk::plugin
