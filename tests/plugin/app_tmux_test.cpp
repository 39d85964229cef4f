// The plugin screen end to end: vesk in a pane of a private tmux server, the distribution's own
// plugin declarations, plugin repositories served from local bare repositories, and the test
// plugin manager (tests/plugin/tpm-stand-in) honouring the jobs' calls.
#include <chrono>

#include <gtest/gtest.h>

#include "support/plugin_repos.hpp"
#include "support/private_env.hpp"
#include "support/screen_run.hpp"
#include "support/tmux_server.hpp"

namespace vesk::plugin {
namespace {

namespace fs = std::filesystem;
using test::PrivateEnv;
using test::read_text;
using test::TmuxServer;
using test::write_text;

bool eventually(const std::function<bool()>& pred) { return test::wait_until(pred, std::chrono::seconds(20)); }
bool has(const std::string& text, const std::string& needle) { return text.find(needle) != std::string::npos; }

// A private HOME, configuration and installation root whose plugins directory holds the test
// plugin manager; github.com is answered by bare repositories in the private directory.
class PluginWorld {
public:
    PluginWorld() {
        fs::create_directories(plugins());
        fs::create_directory_symlink(fs::path(VESK_TEST_DATA) / "plugin" / "tpm-stand-in", plugins() / "tpm");
        env.vars["GIT_CONFIG_GLOBAL"] = repos.gitconfig().string();
        env.vars["GIT_CONFIG_NOSYSTEM"] = "1";
        env.vars["TPM_STAND_IN_HOLD"] = hold().string();
    }

    PrivateEnv env;
    TmuxServer server{120, 40, env.tmp(), env.home()};
    test::ServedRepos repos{env.root()};
    std::string pane;

    fs::path plugins() const { return env.zelt() / "plugins"; }
    fs::path hold() const { return env.root() / "go"; }  // the installer waits until it exists
    fs::path dir() const { return env.root(); }
    void serve(const std::string& repo) { repos.serve(repo, "plugin.tmux"); }

    void start() {
        pane = test::start_screen(server, dir(), {"config", "plugins"}, test::inside_tmux(env.env()));
        ASSERT_TRUE(server.wait_for_text(pane, "tmux-plugins/tmux-yank")) << server.capture(pane);
        ASSERT_TRUE(server.wait_for_raw_mode(pane));
    }
    // The screen line that shows `repo`, empty when none does.
    std::string row(const std::string& repo) const { return test::line_with(server.capture(pane), repo + " "); }
    bool wait_row(const std::string& repo, const std::function<bool(const std::string&)>& pred) const {
        return !test::wait_for_line(server, pane, repo + " ", pred).empty();
    }
    int finish() { return test::finish_screen(server, pane, dir()); }
    void expect_terminal_restored() const { test::expect_terminal_restored(server, pane, dir()); }
    std::string rebuilt() {
        auto r = env.run({"rebuild", "--no-check", "--no-reload"});
        EXPECT_EQ(r.status, 0) << r.err;
        return read_text(env.home() / ".tmux.conf.local");
    }
};

TEST(PluginScreenInTmux, SwitchesInstallsUpdatesRemovesRereadsAndLeavesAJobRunning) {
    PluginWorld w;
    w.serve("tmux-plugins/tmux-yank");
    w.serve("tmux-plugins/tmux-resurrect");
    w.serve("sainnhe/tmux-fzf");
    w.repos.clone("tmux-plugins/tmux-yank", w.plugins() / "tmux-yank");
    const fs::path conf = w.env.config_home() / "vesk" / "plugins.conf";

    w.start();
    EXPECT_EQ(w.server.format(w.pane, "#{alternate_on}"), "1");
    EXPECT_TRUE(has(w.row("tmux-plugins/tmux-yank"), "▸")) << w.row("tmux-plugins/tmux-yank");
    EXPECT_TRUE(has(w.row("tmux-plugins/tmux-resurrect"), "받아야 함"));

    // Space switches yank off: written at once, and the next rebuild comments its line out; on
    // again, nothing is left to write.
    w.server.send_keys(w.pane, {"Space"});
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-yank", [](const std::string& l) { return has(l, "꺼짐"); }));
    EXPECT_TRUE(eventually([&] { return fs::exists(conf) && has(read_text(conf), "#vesk:off tmux-plugins/tmux-yank\n"); }));
    EXPECT_TRUE(has(w.rebuilt(), "사용자가 끈 플러그인: set -g @plugin 'tmux-plugins/tmux-yank'\n"));
    w.server.send_keys(w.pane, {"Space"});
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-yank", [](const std::string& l) { return has(l, "켜짐"); }));
    EXPECT_TRUE(eventually([&] { return !has(read_text(conf), "tmux-yank"); }));
    const std::string on = w.rebuilt();
    EXPECT_TRUE(has(on, "\nset -g @plugin 'tmux-plugins/tmux-yank'\n"));
    EXPECT_FALSE(has(on, "사용자가 끈 플러그인"));

    // Typing filters; Enter installs the missing resurrect, whose row shows the fetch until the
    // plugin manager has cloned it.
    w.server.send_text(w.pane, "resur");
    ASSERT_TRUE(w.server.wait_for_screen(w.pane, [](const std::string& s) {
        return has(s, "검색  resur▏") && test::line_with(s, "tmux-plugins/tmux-yank ").empty();
    }));
    w.server.send_keys(w.pane, {"Enter"});
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-resurrect", [](const std::string& l) { return has(l, "받는 중"); }));
    write_text(w.hold(), "");
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-resurrect",
                           [](const std::string& l) { return !has(l, "받는 중") && !has(l, "받아야 함"); }));
    EXPECT_TRUE(fs::is_regular_file(w.plugins() / "tmux-resurrect" / "plugin.tmux"));
    EXPECT_TRUE(has(w.server.capture(w.pane), "↑↓ 이동"));  // no status: it went well

    // Esc clears the query; Ctrl-R on yank pulls what was pushed since. (Keys after Esc wait until
    // it has been read: Esc and a key soon after it make Alt+key.)
    w.repos.commit("tmux-plugins/tmux-yank", "newer.tmux");
    w.server.send_keys(w.pane, {"Escape"});
    ASSERT_TRUE(w.server.wait_for_text(w.pane, "tmux-plugins/tmux-yank"));
    w.server.send_keys(w.pane, {"Home", "C-r"});
    EXPECT_TRUE(eventually([&] { return fs::is_regular_file(w.plugins() / "tmux-yank" / "newer.tmux"); }));

    // Ctrl-D asks; "n" keeps the plugin, "y" removes it.
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-yank", [](const std::string& l) { return !has(l, "맞추는 중"); }));
    w.server.send_keys(w.pane, {"C-d"});
    ASSERT_TRUE(w.server.wait_for_text(w.pane, "tmux-yank을(를) 지웁니다. 계속할까요? (y/n)"));
    w.server.send_keys(w.pane, {"n"});
    ASSERT_TRUE(w.server.wait_for_text(w.pane, "↑↓ 이동"));
    EXPECT_TRUE(fs::is_directory(w.plugins() / "tmux-yank"));
    w.server.send_keys(w.pane, {"C-d"});
    ASSERT_TRUE(w.server.wait_for_text(w.pane, "계속할까요?"));
    w.server.send_keys(w.pane, {"y"});
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-yank", [](const std::string& l) { return has(l, "받아야 함"); }));
    EXPECT_FALSE(fs::exists(w.plugins() / "tmux-yank"));

    // Ctrl-L notices a plugin installed behind the screen's back.
    fs::create_directories(w.plugins() / "tmux-fpp");
    EXPECT_TRUE(has(w.row("tmux-plugins/tmux-fpp"), "받아야 함"));
    w.server.send_keys(w.pane, {"C-l"});
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-fpp", [](const std::string& l) { return !has(l, "받아야 함"); }));

    // Leaving with Ctrl-C while an install runs gives the terminal back at once; the install goes
    // on after the screen and its pane are gone (it must not share their session, whose hangup
    // would end it half-way through a clone).
    fs::remove(w.hold());
    w.server.send_text(w.pane, "sainnhe");
    ASSERT_TRUE(w.server.wait_for_screen(w.pane, [](const std::string& s) {
        return has(s, "검색  sainnhe▏") && test::line_with(s, "tmux-plugins/tmux-yank ").empty();
    }));
    w.server.send_keys(w.pane, {"Enter"});
    ASSERT_TRUE(w.wait_row("sainnhe/tmux-fzf", [](const std::string& l) { return has(l, "받는 중"); }));
    w.server.send_keys(w.pane, {"C-c"});
    EXPECT_EQ(w.finish(), 0) << read_text(w.dir() / "err");
    w.expect_terminal_restored();
    EXPECT_FALSE(fs::exists(w.plugins() / "tmux-fzf"));
    write_text(w.hold(), "");
    EXPECT_TRUE(eventually([&] { return fs::is_regular_file(w.plugins() / "tmux-fzf" / "plugin.tmux"); }));
}

TEST(PluginScreenInTmux, NoPlaceForPluginsConfEndsWithAnErrorAndTheTerminalBack) {
    PluginWorld w;
    test::EnvChanges vars;  // neither HOME nor XDG_CONFIG_HOME
    for (auto& change : test::inside_tmux(w.env.env()))
        if (change.first != "HOME" && change.first != "XDG_CONFIG_HOME") vars.push_back(change);
    vars.emplace_back("HOME", std::nullopt);
    vars.emplace_back("XDG_CONFIG_HOME", std::nullopt);
    w.pane = test::start_screen(w.server, w.dir(), {"config", "plugins"}, vars);
    EXPECT_EQ(w.finish(), 1);
    EXPECT_EQ(read_text(w.dir() / "err"), "Error: 설정 파일을 둘 자리를 찾지 못했습니다\n");
    w.expect_terminal_restored();
}

TEST(PluginScreenInTmux, PopupIsSizedToTheDistributionsCatalog) {
    PrivateEnv env;
    const std::string command = test::sh_quote(fs::canonical(test::vesk_binary()).string()) + " config plugins";
    using Call = std::vector<std::string>;
    // Nine plugins; repositories up to 27 columns, descriptions held to 40: 97 wide, 9 + 8 high.
    EXPECT_EQ(test::popup_calls(env, {"config", "plugins-popup"}, 200),
              (std::vector<Call>{{"display", "-p", "#{client_width}"},
                                 {"display", "-p", "#{client_height}"},
                                 {"new-pane", "-P", "-F", "#{pane_id}", "-x", "97", "-y", "17", "-X", "51", "-Y",
                                  "91", "--", command}}));
}

TEST(PluginScreenInTmux, PopupShowsTheScreenInAFloatingPane) {
    PrivateEnv env;
    TmuxServer server{120, 40, env.tmp(), env.home()};
    test::AttachedClient client(server);
    const std::string pane = test::start_popup(server, env, {"config", "plugins-popup"});
    EXPECT_TRUE(client.wait_for_text(" Plugins ")) << client.capture();
    EXPECT_TRUE(client.wait_for_text("tmux-plugins/tmux-yank")) << client.capture();
    client.send_keys({"Escape"});
    EXPECT_TRUE(client.wait_for_no_text(" Plugins ")) << client.capture();
    EXPECT_EQ(test::finish_screen(server, pane, env.root()), 0);
}

}  // namespace
}  // namespace vesk::plugin
