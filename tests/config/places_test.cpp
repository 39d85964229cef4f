#include "config/places.hpp"

#include <gtest/gtest.h>

#include "support/private_env.hpp"

namespace vesk::config {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::write_text;

TEST(ConfigDir, XdgThenHomeThenNothing) {
    Environment env{"/h", "/x/cfg", std::nullopt};
    EXPECT_EQ(config_dir(env), fs::path("/x/cfg/vesk"));
    env.xdg_config_home = "";
    EXPECT_EQ(config_dir(env), fs::path("/h/.config/vesk"));
    env.home.reset();
    EXPECT_EQ(config_dir(env), std::nullopt);
    EXPECT_EQ(Places::resolve(env, std::nullopt).user_fragment("conf.common"), "");
}

TEST(CurrentFor, RootFallbacksAndMode) {
    TempDir dir;
    Environment env{(dir / "home").string(), (dir / "cfg").string(), std::nullopt};
    const auto cfg = dir / "cfg" / "vesk";

    // Nothing configured: $HOME/.tmux, general-user.
    auto current = current_for(env, std::nullopt);
    EXPECT_EQ(current.root, dir / "home" / ".tmux");
    EXPECT_TRUE(current.embedded);

    write_text(cfg / "config.toml", "zelt = \"~/dist\"\n");
    EXPECT_EQ(current_for(env, std::nullopt).root, (dir / "home").string() + "/dist");
    env.zelt = "";  // empty ZELT is ignored
    EXPECT_EQ(current_for(env, std::nullopt).root, (dir / "home").string() + "/dist");
    env.zelt = "/z";
    EXPECT_EQ(current_for(env, std::nullopt).root, "/z");
    EXPECT_EQ(current_for(env, fs::path("/explicit")).root, "/explicit");
    env.zelt.reset();

    write_text(cfg / "config.toml", "zelt = \xff\n");  // not UTF-8: no value
    EXPECT_EQ(current_for(env, std::nullopt).root, dir / "home" / ".tmux");

    write_text(cfg / ".license", "\n  \"Kim\"\n<kim@example.com>\n\n");
    EXPECT_FALSE(current_for(env, std::nullopt).embedded);
    write_text(cfg / ".license", "\"Kim\" <kim@example>\n");
    EXPECT_TRUE(current_for(env, std::nullopt).embedded);

    write_text(cfg / "confs" / "conf.common", "bind x kill-pane\n");
    write_text(cfg / "confs" / "conf.bad", "\xfe\n");
    const Places places = Places::resolve(env, std::nullopt);
    EXPECT_EQ(places.user_fragment("conf.common"), "bind x kill-pane\n");
    EXPECT_EQ(places.user_fragment("conf.bad"), "");
    EXPECT_EQ(places.keybindings_conf(), cfg / "keybindings.conf");
    EXPECT_EQ(places.local_conf(), dir / "home" / ".tmux.conf.local");

    // No HOME, no XDG_CONFIG_HOME, no ZELT: the relative root, general-user, and nothing that
    // needs HOME.
    env = Environment{};
    current = current_for(env, std::nullopt);
    EXPECT_EQ(current.root, ".tmux");
    EXPECT_TRUE(current.embedded);
    EXPECT_EQ(Places::resolve(env, std::nullopt).keybindings_conf(), std::nullopt);
    EXPECT_THROW(Places::resolve(env, std::nullopt).local_conf(), std::exception);
}

TEST(Places, PluginsDirectoryUnderTheRootWhenItExists) {
    TempDir dir;
    Environment env{(dir / "home").string(), (dir / "config").string(), (dir / "zelt").string()};
    auto plugins = [&] { return Places::resolve(env, std::nullopt).plugins_dir; };
    fs::create_directories(dir / "home" / ".tmux" / "plugins");
    EXPECT_EQ(plugins(), std::nullopt);  // ZELT has none: HOME is not consulted
    fs::create_directories(dir / "zelt" / "plugins");
    EXPECT_EQ(plugins(), dir / "zelt" / "plugins");
    env.zelt = "";
    EXPECT_EQ(plugins(), dir / "home" / ".tmux" / "plugins");
    env.zelt.reset();
    // A root named in config.toml holds the plugins setup fetched: they are found there.
    write_text(dir / "config" / "vesk" / "config.toml", "zelt = \"~/opt/zelt\"\n");
    EXPECT_EQ(plugins(), std::nullopt);
    fs::create_directories(dir / "home" / "opt" / "zelt" / "plugins");
    EXPECT_EQ(plugins(), dir / "home" / "opt" / "zelt" / "plugins");
    env.zelt = (dir / "zelt").string();  // ZELT still comes first
    EXPECT_EQ(plugins(), dir / "zelt" / "plugins");
}

// A relative root is taken from the working directory once, so that ~/.tmux.conf and @zelt name
// it from anywhere; an empty --zeltdir names no directory at all.
TEST(Places, ARelativeRootBecomesAbsoluteAndAnEmptyOneIsRefused) {
    TempDir dir;
    test::EnvGuard guard;  // gives the working directory back
    fs::current_path(dir.path());
    Environment env{"rel-home", (dir / "cfg").string(), std::nullopt};
    EXPECT_EQ(Places::resolve(env, fs::path("x")).root, dir / "x");
    EXPECT_EQ(Places::resolve(env, fs::path("-lead")).root, dir / "-lead");
    EXPECT_EQ(Places::resolve(env, std::nullopt).root, dir / "rel-home" / ".tmux");
    env.zelt = "z";
    EXPECT_EQ(Places::resolve(env, std::nullopt).root, dir / "z");
    EXPECT_EQ(Places::resolve(env, fs::path("/abs")).root, "/abs");
    EXPECT_EQ(Places::resolve(Environment{}, std::nullopt).root, dir / ".tmux");
    EXPECT_EQ(test::error_text([&] { Places::resolve(env, fs::path("")); }),
              "설치 자리가 비어 있습니다: --zeltdir에 디렉터리를 주십시오");
}

}  // namespace
}  // namespace vesk::config
