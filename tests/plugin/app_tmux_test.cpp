// The plugin screen end to end: vesk in a pane of a private tmux server, the distribution's own
// plugin declarations, plugin repositories served from local bare repositories, and the test
// plugin manager (tests/plugin/tpm-stand-in) honouring the jobs' calls.
#include <chrono>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "core/process.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk::plugin {
namespace {

namespace fs = std::filesystem;
using test::PrivateEnv;
using test::read_text;
using test::TmuxServer;
using test::write_text;

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

template <class Pred>
bool eventually(Pred pred, std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pred();
}

// The screen line that shows `repo`, empty when none does.
std::string line_of(const std::string& screen, const std::string& repo) {
    std::istringstream in(screen);
    std::string line;
    while (std::getline(in, line))
        if (line.find(repo + " ") != std::string::npos) return line;
    return "";
}

// A private HOME, configuration and installation root whose plugins directory holds the test
// plugin manager; github.com is answered by bare repositories under <root>/srv.
class PluginWorld {
public:
    PluginWorld() {
        fs::create_directories(plugins());
        fs::create_directory_symlink(fs::path(VESK_TEST_DATA) / "plugin" / "tpm-stand-in", plugins() / "tpm");
        write_text(gitconfig(), "[url \"file://" + (env.root() / "srv").string() + "/\"]\n"
                                "\tinsteadOf = https://github.com/\n"
                                "\tinsteadOf = https://git::@github.com/\n"
                                "[protocol \"file\"]\n\tallow = always\n"
                                "[user]\n\tname = Test\n\temail = test@example.com\n"
                                "[init]\n\tdefaultBranch = main\n");
        env.vars["GIT_CONFIG_GLOBAL"] = gitconfig().string();
        env.vars["GIT_CONFIG_NOSYSTEM"] = "1";
        env.vars["TPM_STAND_IN_HOLD"] = hold().string();
    }

    PrivateEnv env;
    TmuxServer server{120, 40, env.tmp()};
    std::string pane;

    fs::path plugins() const { return env.zelt() / "plugins"; }
    fs::path gitconfig() const { return env.root() / "gitconfig"; }
    fs::path hold() const { return env.root() / "go"; }  // the installer waits until it exists
    fs::path dir() const { return env.root(); }

    void git(const std::vector<std::string>& args, const fs::path& cwd) {
        ChildCommand command("git", args);
        command.dir(cwd.string()).stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe);
        command.set_env("GIT_CONFIG_GLOBAL", gitconfig().string());
        command.set_env("GIT_CONFIG_NOSYSTEM", "1");
        Output out = run_child(command);
        ASSERT_TRUE(out.status.success()) << "git failed: " << out.err;
    }
    // Serves `repo` (owner/name) with one commit.
    void serve(const std::string& repo) {
        fs::path work = env.root() / "work" / repo;
        fs::create_directories(work);
        git({"init", "-q"}, work);
        commit(repo, "plugin.tmux");
        fs::path bare = env.root() / "srv" / (repo + ".git");
        fs::create_directories(bare.parent_path());
        git({"clone", "-q", "--bare", work.string(), bare.string()}, env.root());
    }
    void commit(const std::string& repo, const std::string& file) {
        fs::path work = env.root() / "work" / repo;
        write_text(work / file, file + "\n");
        git({"add", file}, work);
        git({"commit", "-q", "-m", file}, work);
        fs::path bare = env.root() / "srv" / (repo + ".git");
        if (fs::exists(bare)) git({"push", "-q", bare.string(), "HEAD:main"}, work);
    }
    void install_by_hand(const std::string& repo) {
        git({"clone", "-q", (env.root() / "srv" / (repo + ".git")).string(),
             (plugins() / repo.substr(repo.find('/') + 1)).string()},
            env.root());
    }

    // The screen in a pane, between two notes of the terminal modes.
    void start() {
        for (const char* f : {"before", "after", "status"}) fs::remove(dir() / f);
        std::string script = "cd " + quoted(dir().string()) + " && stty -g > before; " + quoted(test::vesk_binary()) +
                             " config plugins 2> err; echo $? > status; stty -g > after";
        pane = server.run_in_pane({"bash", "-c", script}, test::inside_tmux(env.env()));
        ASSERT_TRUE(server.wait_for_text(pane, "tmux-plugins/tmux-yank")) << server.capture(pane);
        ASSERT_TRUE(server.wait_for_raw_mode(pane));
    }
    std::string row(const std::string& repo) const { return line_of(server.capture(pane), repo); }
    bool wait_row(const std::string& repo, const std::function<bool(const std::string&)>& pred) const {
        return server.wait_for_screen(pane, [&](const std::string& s) { return pred(line_of(s, repo)); }).has_value();
    }
    int finish() {
        const fs::path after = dir() / "after";
        if (!eventually([&] { return fs::exists(after) && read_text(after).ends_with("\n"); })) {
            ADD_FAILURE() << "the screen did not end:\n" << server.capture(pane);
            return -1;
        }
        return std::stoi(read_text(dir() / "status"));
    }
    void expect_terminal_restored() const {
        EXPECT_EQ(read_text(dir() / "before"), read_text(dir() / "after"));
        EXPECT_EQ(server.format(pane, "#{alternate_on}"), "0");
    }
    std::string rebuilt() {
        auto r = env.run({"rebuild", "--no-check", "--no-reload"});
        EXPECT_EQ(r.status, 0) << r.err;
        return read_text(env.home() / ".tmux.conf.local");
    }
};

bool has(const std::string& text, const std::string& needle) { return text.find(needle) != std::string::npos; }

TEST(PluginScreenInTmux, SwitchesInstallsUpdatesRemovesAndRereads) {
    PluginWorld w;
    w.serve("tmux-plugins/tmux-yank");
    w.serve("tmux-plugins/tmux-resurrect");
    w.install_by_hand("tmux-plugins/tmux-yank");
    const fs::path conf = w.env.config_home() / "vesk" / "plugins.conf";
    const std::string header =
        "# vesk 플러그인 화면에서 켜고 끈 것입니다.\n# 직접 고쳐도 됩니다. 기본값 그대로인 것은 여기에 적히지 않습니다.\n";

    w.start();
    EXPECT_EQ(w.server.format(w.pane, "#{alternate_on}"), "1");
    EXPECT_TRUE(has(w.row("tmux-plugins/tmux-yank"), "▸")) << w.row("tmux-plugins/tmux-yank");
    EXPECT_TRUE(has(w.row("tmux-plugins/tmux-resurrect"), "받아야 함"));

    // Space switches yank off: written at once, and the next rebuild comments its line out.
    w.server.send_keys(w.pane, {"Space"});
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-yank", [](const std::string& l) { return has(l, "꺼짐"); }));
    EXPECT_TRUE(eventually([&] { return fs::exists(conf) && has(read_text(conf), "#vesk:off tmux-plugins/tmux-yank\n"); }));
    EXPECT_TRUE(has(w.rebuilt(), "사용자가 끈 플러그인: set -g @plugin 'tmux-plugins/tmux-yank'\n"));
    w.server.send_keys(w.pane, {"Space"});
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-yank", [](const std::string& l) { return has(l, "켜짐"); }));
    EXPECT_TRUE(eventually([&] { return read_text(conf) == header; }));
    const std::string on = w.rebuilt();
    EXPECT_TRUE(has(on, "\nset -g @plugin 'tmux-plugins/tmux-yank'\n"));
    EXPECT_FALSE(has(on, "사용자가 끈 플러그인"));

    // Typing filters; Enter installs the missing resurrect, whose row shows the fetch until the
    // plugin manager has cloned it.
    w.server.send_text(w.pane, "resur");
    ASSERT_TRUE(w.server.wait_for_screen(w.pane, [](const std::string& s) {
        return has(s, "검색  resur▏") && line_of(s, "tmux-plugins/tmux-yank").empty();
    }));
    w.server.send_keys(w.pane, {"Enter"});
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-resurrect", [](const std::string& l) { return has(l, "받는 중"); }));
    write_text(w.hold(), "");
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-resurrect", [](const std::string& l) {
        return !l.empty() && !has(l, "받는 중") && !has(l, "받아야 함");
    })) << w.server.capture(w.pane);
    EXPECT_TRUE(fs::is_regular_file(w.plugins() / "tmux-resurrect" / "plugin.tmux"));
    EXPECT_TRUE(has(w.server.capture(w.pane), "↑↓ 이동"));  // no status: it went well

    // Esc clears the query; Ctrl-R on yank pulls what was pushed since.
    w.commit("tmux-plugins/tmux-yank", "newer.tmux");
    // (Keys after Esc wait until it has been read: Esc and a key soon after it make Alt+key.)
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
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-fpp", [](const std::string& l) { return !l.empty() && !has(l, "받아야 함"); }));

    w.server.send_keys(w.pane, {"Escape"});
    EXPECT_EQ(w.finish(), 0) << read_text(w.dir() / "err");
    w.expect_terminal_restored();
}

TEST(PluginScreenInTmux, LeavingWhileAJobRunsGivesTheTerminalBack) {
    PluginWorld w;
    w.serve("tmux-plugins/tmux-resurrect");
    w.start();
    w.server.send_text(w.pane, "resur");
    w.server.send_keys(w.pane, {"Enter"});
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-resurrect", [](const std::string& l) { return has(l, "받는 중"); }));
    w.server.send_keys(w.pane, {"C-c"});
    EXPECT_EQ(w.finish(), 0) << read_text(w.dir() / "err");
    w.expect_terminal_restored();
    EXPECT_FALSE(fs::exists(w.plugins() / "tmux-resurrect"));
}

TEST(PluginScreenInTmux, NoPlaceForPluginsConfEndsWithAnErrorAndTheTerminalBack) {
    PluginWorld w;
    test::EnvChanges vars;
    for (auto& change : test::inside_tmux(w.env.env()))
        if (change.first != "HOME" && change.first != "XDG_CONFIG_HOME") vars.push_back(change);
    vars.emplace_back("HOME", std::nullopt);
    vars.emplace_back("XDG_CONFIG_HOME", std::nullopt);
    const std::string script = "cd " + quoted(w.dir().string()) + " && stty -g > before; " +
                               quoted(test::vesk_binary()) + " config plugins 2> err; echo $? > status; stty -g > after";
    w.pane = w.server.run_in_pane({"bash", "-c", script}, vars);
    EXPECT_EQ(w.finish(), 1);
    EXPECT_EQ(read_text(w.dir() / "err"), "Error: 설정 파일을 둘 자리를 찾지 못했습니다\n");
    w.expect_terminal_restored();
}

// Disabled while the plugin manager's scripts share the screen's session: when the pane's shell
// ends, the terminal's hangup ends them too, half-way through a clone.
TEST(PluginScreenInTmux, DISABLED_AnInstallOutlivesTheScreen) {
    PluginWorld w;
    w.serve("tmux-plugins/tmux-resurrect");
    w.start();
    w.server.send_text(w.pane, "resur");
    w.server.send_keys(w.pane, {"Enter"});
    ASSERT_TRUE(w.wait_row("tmux-plugins/tmux-resurrect", [](const std::string& l) { return has(l, "받는 중"); }));
    w.server.send_keys(w.pane, {"C-c"});
    EXPECT_EQ(w.finish(), 0);
    write_text(w.hold(), "");
    EXPECT_TRUE(eventually([&] { return fs::is_regular_file(w.plugins() / "tmux-resurrect" / "plugin.tmux"); }));
}

}  // namespace
}  // namespace vesk::plugin

namespace vesk::plugin {
namespace {

TEST(PluginScreenInTmux, PopupIsSizedToTheDistributionsCatalog) {
    PrivateEnv env;
    test::TempDir answers;
    const fs::path log = env.root() / "calls";
    env.vars["TMUX"] = "/nonexistent/socket,1,0";
    env.vars["TMUX_BIN"] = test::recording_tmux_path().string();
    env.vars["RECORD_TMUX_LOG"] = log.string();
    env.vars["RECORD_TMUX_ANSWERS"] = answers.path().string();
    write_text(answers / "display", "200\n");
    write_text(answers / "new-pane", "%9\n");
    test::RunResult r = env.run({"config", "plugins-popup"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string command = quoted(fs::canonical(test::vesk_binary()).string()) + " config plugins";
    using Call = std::vector<std::string>;
    // Nine plugins; repositories up to 27 columns, descriptions held to 40: 97 wide, 9 + 8 high.
    EXPECT_EQ(test::recorded_calls(log), (std::vector<Call>{{"display", "-p", "#{client_width}"},
                                                            {"display", "-p", "#{client_height}"},
                                                            {"new-pane", "-P", "-F", "#{pane_id}", "-x", "97", "-y",
                                                             "17", "-X", "51", "-Y", "91", "--", command}}));

    // A client size tmux cannot tell counts as 80 x 24: 77% of 80 is narrower than the list.
    fs::remove(log);
    write_text(answers / "display.status", "1\n");
    write_text(answers / "display", "");
    r = env.run({"config", "plugins-popup"});
    EXPECT_EQ(r.status, 0) << r.err;
    auto calls = test::recorded_calls(log);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2], (Call{"new-pane", "-P", "-F", "#{pane_id}", "-x", "61", "-y", "17", "-X", "9", "-Y", "3",
                              "--", command}));

    env.vars["TMUX"] = std::nullopt;
    r = env.run({"config", "plugins-popup"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tmux 세션 안에서만 실행 가능합니다.\n");
}

TEST(PluginScreenInTmux, PopupShowsTheScreenInAFloatingPane) {
    PrivateEnv env;
    TmuxServer server{120, 40, env.tmp()};
    test::AttachedClient client(server);
    // The popup's command gets the server's environment: keep it on the private files.
    for (const auto& [name, value] : env.env())
        if (value && name != "TMUX_TMPDIR") server.tmux_ok({"set-environment", "-g", name, *value});
    test::EnvChanges vars = test::inside_tmux(env.env());
    vars.emplace_back("TMUX_BIN", test::floating_tmux_path().string());
    const std::string script = quoted(test::vesk_binary()) + " config plugins-popup; echo $? > " +
                               quoted((env.root() / "status").string());
    server.run_in_current_window({"bash", "-c", script}, vars);
    EXPECT_TRUE(client.wait_for_text(" Plugins ")) << client.capture();
    EXPECT_TRUE(client.wait_for_text("tmux-plugins/tmux-yank")) << client.capture();
    client.send_keys({"Escape"});
    EXPECT_TRUE(client.wait_for_no_text(" Plugins ")) << client.capture();
    EXPECT_TRUE(eventually([&] { return fs::exists(env.root() / "status"); }));
    EXPECT_EQ(read_text(env.root() / "status"), "0\n");
}

}  // namespace
}  // namespace vesk::plugin
