// The distribution's configuration sources against a real tmux 3.3a: every file parses, and a
// bound key hands the pane's path to the program intact. Loading the whole distribution is
// tested with the rebuild's output and with setup.
#include <gtest/gtest.h>

#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

const fs::path kDist = fs::path(VESK_SOURCE_DIR) / "dist";

TEST(DistTmux, EverySourceParses) {
    PrivateEnv env;
    int n = 0;
    for (const char* file : {".tmux.conf", ".tmux.conf.local", "confs/conf.prefix", "confs/conf.common",
                             "confs/conf.session", "confs/conf.window", "confs/conf.codex", "confs/conf.macos",
                             "confs/conf.linux", "confs/conf.lab", "confs/conf.plugins"}) {
        // A server of its own for each file: a client that comes while the last one exits fails.
        const RunResult r = env.run_program("tmux", {"-L", "vesk-dist-" + std::to_string(::getpid()) + "-" +
                                                              std::to_string(n++),
                                                     "-f", "/dev/null", "start-server", ";", "source-file", "-n",
                                                     (kDist / file).string(), ";", "kill-server"});
        EXPECT_EQ(r.out + r.err, "") << file;
    }
    // The shell parts too: sh reads each file through `cut -c3-`.
    for (const char* file : {".tmux.conf", ".tmux.conf.local"}) {
        const RunResult r = env.run_program("sh", {"-c", "cut -c3- \"$0\" | sh -n", (kDist / file).string()});
        EXPECT_EQ(r.status, 0) << file << ": " << r.err;
    }
}

// The path of the pane reaches the finder intact, whatever it holds.
TEST(DistTmux, FinderKeyPassesThePanePathIntact) {
    PrivateEnv env;
    TmuxServer server(120, 40, env.tmp(), env.home());
    const fs::path odd = env.root() / "a'b $(touch x) \"q\" ;c 한글";
    fs::create_directories(odd);
    const fs::path args = env.root() / "args";
    write_script(env.zelt() / "bin/vesk", "printf '%s\\n' \"$@\" > '" + args.string() + "'\n");
    const std::string pane =
        server.tmux_ok({"new-window", "-P", "-F", "#{pane_id}", "-c", odd.string(), "sleep", "600"});
    server.tmux_ok({"source-file", (kDist / "confs/conf.common").string()});
    // Run the bound command as the key would, in the pane that stands in that directory.
    const std::string binding = server.tmux_ok({"list-keys", "-T", "root", "M-f"});
    write_text(env.root() / "run.conf",
               "set -g @zelt \"" + env.zelt().string() + "\"\n" + binding.substr(binding.find("run-shell")) + "\n");
    server.tmux_ok({"source-file", (env.root() / "run.conf").string()});
    const std::string expected = "finder\nmultimode-open\n" + pane + "\n" + odd.string() + "\n";
    EXPECT_TRUE(wait_until([&] { return fs::exists(args) && read_text(args) == expected; }))
        << (fs::exists(args) ? read_text(args) : "not run");
    EXPECT_FALSE(fs::exists(odd / "x"));
}

// conf.prefix puts the installed floating-pane layer first on the server's PATH when tmux has no
// new-pane, once however often it is read, and leaves a tmux that has new-pane alone.
TEST(DistTmux, TheFloatingPaneLayerGoesFirstOnPathOnlyWhenTmuxLacksNewPane) {
    PrivateEnv env;
    const fs::path root = env.root() / "a b'c $HOME";
    write_script(root / "libexec/vesk/tmux", "exit 0\n");
    // A tmux that knows new-pane, in front of the real one.
    const fs::path newer = env.root() / "newer";
    write_script(newer / "tmux", "[ \"$1 $2\" = 'list-commands new-pane' ] && { echo 'new-pane (newp) [-P]'; exit 0; }\n"
                                 "exec '" + real_tmux() + "' \"$@\"\n");
    for (const bool has_new_pane : {false, true}) {
        TmuxServer server(80, 20, env.tmp(), env.home());
        const std::string path = (has_new_pane ? newer.string() + ":" : std::string()) + "/usr/bin:/bin";
        server.tmux_ok({"set-environment", "-g", "PATH", path});
        server.tmux_ok({"set", "-g", "@zelt", root.string()});
        for (int i = 0; i < 2; ++i) server.tmux_ok({"source-file", (kDist / "confs/conf.prefix").string()});
        EXPECT_EQ(server.tmux_ok({"show-environment", "-g", "PATH"}),
                  "PATH=" + (has_new_pane ? path : (root / "libexec/vesk").string() + ":" + path));
    }
}

TEST(DistTmux, PluginsLiveUnderTheInstallationRoot) {
    PrivateEnv env;
    TmuxServer server(80, 20, env.tmp(), env.home());
    const fs::path root = env.root() / "elsewhere";  // a root config.toml named, not ~/.tmux
    write_text(env.home() / ".tmux.conf", "");
    write_text(env.root() / "local.conf", "");  // declares no plugin
    server.tmux_ok({"set", "-g", "@zelt", root.string()});
    for (const auto& [name, value] : {std::pair{"HOME", env.home()}, {"TMUX_CONF", env.home() / ".tmux.conf"},
                                      {"TMUX_CONF_LOCAL", env.root() / "local.conf"}})
        server.tmux_ok({"set-environment", "-g", name, value.string()});
    server.tmux_ok({"run-shell", "cut -c3- '" + (kDist / ".tmux.conf.local").string() + "' | sh -s _apply_plugins"});
    EXPECT_EQ(server.tmux_ok({"show-environment", "-g", "TMUX_PLUGIN_MANAGER_PATH"}),
              "TMUX_PLUGIN_MANAGER_PATH=" + (root / "plugins").string() + "/");
}

}  // namespace
}  // namespace vesk::test
