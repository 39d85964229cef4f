// The distribution's configuration sources against a real tmux 3.3a: every file parses, a server
// started with the framework and an assembled ~/.tmux.conf.local loads without a complaint and
// carries the distribution's bindings, and the framework's plugin step installs plugins from
// local repositories, also when a server is given the local file alone (as setup does).
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/process.hpp"
#include "support/plugin_repos.hpp"
#include "support/private_env.hpp"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::read_text;
using test::TempDir;
using test::write_text;

const fs::path kDist = fs::path(VESK_SOURCE_DIR) / "dist";

const char* const kFiles[] = {
    ".tmux.conf",         ".tmux.conf.local",  "confs/conf.prefix", "confs/conf.common",
    "confs/conf.session", "confs/conf.window", "confs/conf.codex",  "confs/conf.macos",
    "confs/conf.linux",   "confs/conf.lab",    "confs/conf.plugins"};

const std::vector<std::string>& kPlugins = test::kDefaultPluginRepos;
using test::plugin_name;

// The generated local file as the rebuild lays it out: the fragments (Linux order) and the
// @zelt and postlude lines at the template's marker.
std::string assemble_local(const fs::path& root) {
    const std::string marker = "# # /!\\ do not remove the following line";
    std::istringstream in(read_text(kDist / ".tmux.conf.local"));
    std::string out, line;
    int markers = 0;
    while (std::getline(in, line)) {
        if (line == marker) {
            ++markers;
            out += "set -g @zelt \"" + root.string() + "\"\n";
            for (const char* f : {"conf.prefix", "conf.common", "conf.session", "conf.window", "conf.codex",
                                  "conf.linux", "conf.lab", "conf.plugins"}) {
                out += read_text(kDist / "confs" / f);
            }
            out += "run-shell -b \"#{@zelt}/bin/vesk config apply-keybindings\"\n";
        }
        out += line + "\n";
    }
    EXPECT_EQ(markers, 1);
    return out;
}

// A private HOME, TMUX_TMPDIR and git configuration; the plugin repositories are local bare
// repositories that stand in for the public ones.
class Sandbox {
public:
    Sandbox() : socket_("vesk-dist-" + std::to_string(getpid()) + "-" + std::to_string(++count_)) {
        fs::create_directories(home());
        fs::create_directories(dir_ / "tmux");
        test::write_plugin_git_config(dir_ / "gitconfig", dir_ / "srv");
    }
    ~Sandbox() { tmux({"kill-server"}); }

    fs::path home() const { return dir_ / "home"; }
    fs::path root() const { return dir_ / "root"; }
    const fs::path& dir() const { return dir_.path(); }

    ChildCommand command(const std::string& program, std::vector<std::string> args) const {
        ChildCommand c(program, std::move(args));
        c.set_env("HOME", home().string())
            .set_env("TMUX_TMPDIR", (dir_ / "tmux").string())
            .set_env("LANG", "C.UTF-8")
            .set_env("GIT_CONFIG_GLOBAL", (dir_ / "gitconfig").string())
            .set_env("GIT_CONFIG_NOSYSTEM", "1")
            .remove_env("TMUX")
            .remove_env("TMUX_PANE")
            .remove_env("XDG_CONFIG_HOME")
            .remove_env("TMUX_CONF")
            .remove_env("TMUX_CONF_LOCAL")
            .remove_env("TMUX_PLUGIN_MANAGER_PATH");
        c.in = Stdio::Null;
        c.out = Stdio::Pipe;
        c.err = Stdio::Pipe;
        return c;
    }

    Output tmux(std::vector<std::string> args) const {
        args.insert(args.begin(), {"-L", socket_});
        return run_child(command("tmux", std::move(args)));
    }
    std::string tmux_out(std::vector<std::string> args) const {
        std::string out = tmux(std::move(args)).out;
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
        return out;
    }

    void sh(const std::string& script) const {
        const Output o = run_child(command("sh", {"-ec", script}));
        ASSERT_TRUE(o.status.success()) << script << "\n" << o.err;
    }

    // A bare repository for each plugin (its *.tmux marks the server when tpm loads it), and
    // the plugin manager itself from Debian's copy.
    void serve_plugins() const { test::serve_plugin_repos(dir_ / "work", dir_ / "srv", kPlugins); }

    // Polls until `done` holds or `seconds` pass.
    static bool wait_for(const std::function<bool()>& done, int seconds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return done();
    }

private:
    static inline int count_ = 0;
    TempDir dir_;
    std::string socket_;
};

TEST(DistTmux, EverySourceParses) {
    for (const char* file : kFiles) {
        // A server of its own for each file: a client that comes while the last one exits fails.
        Sandbox box;
        const Output o = box.tmux({"-f", "/dev/null", "start-server", ";", "source-file", "-n",
                                   (kDist / file).string(), ";", "kill-server"});
        EXPECT_EQ(o.out + o.err, "") << file;
    }
    // The shell parts too: sh reads each file through `cut -c3-`.
    Sandbox box;
    for (const char* file : {".tmux.conf", ".tmux.conf.local"}) {
        const Output o = run_child(box.command("sh", {"-c", "cut -c3- \"$0\" | sh -n", (kDist / file).string()}));
        EXPECT_TRUE(o.status.success()) << file << ": " << o.err;
    }
}

TEST(DistTmux, ServerLoadsFrameworkBindingsAndPlugins) {
    Sandbox box;
    box.serve_plugins();
    fs::create_directories(box.root() / "bin");
    // The program stands in as a script that records its calls and what it saw of the plugin
    // step: apply-keybindings relies on @__apply_plugins turning "true" soon after it starts.
    const fs::path calls = box.dir() / "calls";
    write_text(box.root() / "bin/vesk",
               "#!/bin/sh\necho \"$*\" >> '" + calls.string() + "'\n"
               "for i in $(seq 40); do [ \"$(tmux show -sqv @__apply_plugins)\" = true ] && "
               "{ echo seen-apply-plugins >> '" + calls.string() + "'; break; }; sleep 0.1; done\n");
    fs::permissions(box.root() / "bin/vesk", fs::perms::owner_all);
    fs::create_symlink(kDist / ".tmux.conf", box.home() / ".tmux.conf");
    write_text(box.home() / ".tmux.conf.local", assemble_local(box.root()));

    const Output start = box.tmux({"new-session", "-d", "-x", "120", "-y", "40"});
    ASSERT_TRUE(start.status.success()) << start.err;
    const fs::path plugins = box.home() / ".tmux/plugins";
    ASSERT_TRUE(Sandbox::wait_for(
        [&] {
            return box.tmux_out({"show", "-sqv", "@__apply_plugins"}).empty() &&
                   box.tmux_out({"show", "-gqv", "@loaded_tmux-tab"}) == "yes";
        },
        60));

    // Nothing complained: errors of the configuration would open view mode in the pane.
    EXPECT_EQ(box.tmux_out({"display", "-p", "#{pane_in_mode}"}), "0");
    EXPECT_EQ(box.tmux_out({"show-environment", "-g", "TMUX_CONF"}),
              "TMUX_CONF=" + (box.home() / ".tmux.conf").string());
    EXPECT_EQ(box.tmux_out({"show-environment", "-g", "TMUX_CONF_LOCAL"}),
              "TMUX_CONF_LOCAL=" + (box.home() / ".tmux.conf.local").string());
    EXPECT_EQ(box.tmux_out({"show-environment", "-g", "TMUX_PLUGIN_MANAGER_PATH"}),
              "TMUX_PLUGIN_MANAGER_PATH=" + plugins.string() + "/");
    for (const std::string& repo : kPlugins) {
        EXPECT_TRUE(fs::is_directory(plugins / plugin_name(repo))) << repo;
        EXPECT_EQ(box.tmux_out({"show", "-gqv", "@loaded_" + plugin_name(repo)}), "yes") << repo;
    }
    EXPECT_TRUE(Sandbox::wait_for([&] { return read_text(calls).find("seen-apply-plugins") != std::string::npos; }, 5));
    EXPECT_EQ(read_text(calls).substr(0, 25), "config apply-keybindings\n");

    // Settings the program reads, and the status line.
    EXPECT_EQ(box.tmux_out({"show", "-gv", "prefix"}), "C-Space");
    EXPECT_EQ(box.tmux_out({"show", "-gv", "display-panes-time"}), "2300");
    EXPECT_EQ(box.tmux_out({"show", "-gv", "history-limit"}), "30000");
    EXPECT_EQ(box.tmux_out({"show", "-gv", "@vim_bin"}), "vim");
    EXPECT_EQ(box.tmux_out({"show", "-gv", "@zelt"}), box.root().string());
    EXPECT_EQ(box.tmux_out({"show", "-gv", "status-position"}), "top");
    const std::string right = box.tmux_out({"show", "-gv", "status-right"});
    EXPECT_NE(right.find("#{?@codex_log,CLOG ,}"), std::string::npos) << right;
    EXPECT_NE(right.find("#{?@shell_log,SLOG ,}"), std::string::npos) << right;

    const auto key = [&](const std::string& table, const std::string& k) {
        return box.tmux_out({"list-keys", "-T", table, k});
    };
    const std::string vesk = "#{@zelt}/bin/vesk ";
    EXPECT_NE(key("root", "M-f").find("run-shell -b \"" + vesk + "finder multimode-open '#{pane_id}' "), std::string::npos);
    EXPECT_NE(key("prefix", "C-r").find(vesk + "rebuild >/dev/null 2>&1 || tmux display"), std::string::npos);
    EXPECT_NE(key("prefix", "C-Space").find("tmux new-pane -x 90% -y 85% -X 5% -Y 8% \\\"" + vesk +
                                            "quillbox open --target-pane '#{pane_id}'"),
              std::string::npos);
    EXPECT_NE(key("root", "M-Tab").find(vesk + "session tree-popup"), std::string::npos);
    EXPECT_NE(key("copy-mode-vi", "x").find("copy-selection-and-cancel \\; run-shell -b \"" + vesk +
                                            "copy cut-selection '#{pane_id}'\""),
              std::string::npos);
    EXPECT_NE(key("copy-mode", "x").find(vesk + "copy cut-selection"), std::string::npos);
    EXPECT_NE(key("prefix", "C-c").find(vesk + "session create-popup-open"), std::string::npos);
    EXPECT_NE(key("prefix", "Enter").find(vesk + "pane zoom-toggle"), std::string::npos);
    EXPECT_NE(key("prefix", "C-g").find(vesk + "log codex-toggle"), std::string::npos);
    EXPECT_NE(key("root", "M-S-]").find("next-window"), std::string::npos);
    const std::string all = box.tmux_out({"list-keys"});
    for (const char* sought : {"config keybindings-popup", "config plugins-popup", "doctor popup",
                               "session kill-and-next", "finder filter-edit-dispatch", "tidewell open",
                               "quillbox open", "note open"}) {
        EXPECT_NE(all.find(sought), std::string::npos) << sought;
    }
}

// The path of the pane reaches the finder intact, whatever it holds.
TEST(DistTmux, FinderKeyPassesThePanePathIntact) {
    Sandbox box;
    const fs::path odd = box.dir() / "a'b $(touch x) \"q\" ;c 한글";
    fs::create_directories(odd);
    fs::create_directories(box.root() / "bin");
    const fs::path args = box.dir() / "args";
    write_text(box.root() / "bin/vesk", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args.string() + "'\n");
    fs::permissions(box.root() / "bin/vesk", fs::perms::owner_all);
    ASSERT_TRUE(box.tmux({"-f", "/dev/null", "new-session", "-d", "-c", odd.string(), ";", "source-file",
                          (kDist / "confs/conf.common").string()})
                    .status.success());
    // Run the bound command as the key would, in the pane that stands in that directory.
    const std::string binding = box.tmux_out({"list-keys", "-T", "root", "M-f"});
    const std::string command = binding.substr(binding.find("run-shell"));
    write_text(box.dir() / "run.conf", "set -g @zelt \"" + box.root().string() + "\"\n" + command + "\n");
    const Output o = box.tmux({"source-file", (box.dir() / "run.conf").string()});
    ASSERT_TRUE(o.status.success()) << o.err;
    ASSERT_TRUE(Sandbox::wait_for([&] { return fs::exists(args); }, 10));
    const std::string expected = "finder\nmultimode-open\n%0\n" + odd.string() + "\n";
    EXPECT_TRUE(Sandbox::wait_for([&] { return read_text(args) == expected; }, 5)) << read_text(args);
    EXPECT_FALSE(fs::exists(odd / "x"));
}

// setup's private server: no ~/.tmux.conf, TMUX_CONF and TMUX_CONF_LOCAL both name the local
// file, which is sourced on its own.
TEST(DistTmux, LocalFileAloneInstallsThePlugins) {
    Sandbox box;
    box.serve_plugins();
    const fs::path conf = box.home() / ".tmux.conf.local";
    const fs::path plugins = box.root() / "plugins";
    fs::create_directories(plugins);
    write_text(conf, assemble_local(box.root()));

    ASSERT_TRUE(box.tmux({"-f", "/dev/null", "new-session", "-d", "-s", "vesk-setup"}).status.success());
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"TMUX_PLUGIN_MANAGER_PATH", plugins.string()}, {"TMUX_CONF", conf.string()},
             {"TMUX_CONF_LOCAL", conf.string()}}) {
        ASSERT_TRUE(box.tmux({"set-environment", "-g", name, value}).status.success());
    }
    const Output sourced = box.tmux({"source-file", conf.string()});
    EXPECT_TRUE(sourced.status.success()) << sourced.err;
    EXPECT_EQ(sourced.out, "");

    const auto all_installed = [&] {
        for (const std::string& repo : kPlugins) {
            if (!fs::is_directory(plugins / plugin_name(repo))) return false;
        }
        return true;
    };
    EXPECT_TRUE(Sandbox::wait_for(all_installed, 60));
    EXPECT_TRUE(fs::is_regular_file(plugins / "tpm/tpm"));
    EXPECT_TRUE(Sandbox::wait_for([&] { return box.tmux_out({"show", "-sqv", "@__apply_plugins"}).empty(); }, 30));
    // The commented-out extras stay away.
    EXPECT_FALSE(fs::exists(plugins / "tmux-continuum"));
    EXPECT_FALSE(fs::exists(box.home() / ".tmux.conf"));
}

}  // namespace
}  // namespace vesk
