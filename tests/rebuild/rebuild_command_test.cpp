// `vesk rebuild` run as a program with a private HOME, against the real tmux.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

const std::string kMarker = "# # /!\\ do not remove the following line";

// The labels of the generated sections, in order.
std::vector<std::string> labels(const std::string& text) {
    std::vector<std::string> out;
    static const std::regex begin("^# -- generated: begin (.*) -{42}$");
    std::istringstream lines(text);
    std::string line;
    std::smatch m;
    while (std::getline(lines, line)) {
        if (std::regex_match(line, m, begin)) out.push_back(m[1]);
    }
    return out;
}

// The text of one section.
std::string section(const std::string& text, const std::string& label) {
    const std::string begin = "# -- generated: begin " + label + " " + std::string(42, '-') + "\n";
    const std::string end = "# -- generated: end " + label + " " + std::string(44, '-') + "\n";
    auto b = text.find(begin);
    if (b == std::string::npos) return "<missing>";
    b += begin.size();
    return text.substr(b, text.find(end, b) - b);
}

std::vector<std::string> expected_labels(const std::vector<std::string>& fragments) {
    std::vector<std::string> out = {"vesk:zelt"};
    for (const auto& f : fragments) out.push_back("confs/" + f);
    out.push_back("vesk:postlude");
    return out;
}

// Authoring mode with a small distribution of our own under ZELT.
void write_authoring_sources(const PrivateEnv& env, const fs::path& root,
                             const std::map<std::string, std::string>& fragments = {}) {
    write_text(env.config_home() / "vesk" / ".license", "\"Test Author\" <author@example.com>\n");
    write_text(root / ".tmux.conf.local", "set -g @fixture yes\n" + kMarker + "\n# EOF\n# # /!\\ do not remove the previous line\n");
    for (const char* name : {"conf.prefix", "conf.common", "conf.session", "conf.window", "conf.codex", "conf.linux",
                             "conf.macos", "conf.lab", "conf.plugins"}) {
        auto it = fragments.find(name);
        write_text(root / "confs" / name, it != fragments.end() ? it->second : "# " + std::string(name) + "\n");
    }
}

TEST(RebuildCommand, SectionsInFragmentOrderForEveryProfile) {
    PrivateEnv env;
    const fs::path out = env.home() / ".tmux.conf.local";
    const std::map<std::string, std::vector<std::string>> profiles = {
        {"linux", {"conf.prefix", "conf.common", "conf.session", "conf.window", "conf.codex", "conf.linux", "conf.lab", "conf.plugins"}},
        {"window", {"conf.prefix", "conf.common", "conf.session", "conf.window", "conf.codex", "conf.lab", "conf.plugins"}},
    };
    for (const auto& [profile, fragments] : profiles) {
        auto r = env.run({"rebuild", "--no-reload", "--profile", profile});
        ASSERT_EQ(r.status, 0) << profile << ": " << r.err;
        const std::string text = read_text(out);
        EXPECT_EQ(labels(text), expected_labels(fragments)) << profile;
        EXPECT_EQ(section(text, "vesk:zelt"), "set -g @zelt \"" + env.zelt().string() + "\"\n");
        EXPECT_EQ(section(text, "vesk:postlude"), "run-shell -b \"#{@zelt}/bin/vesk config apply-keybindings\"\n");
        // The block sits right before the marker line, which stays.
        EXPECT_NE(text.find("# -- vesk generated conf fragments: end " + std::string(32, '-') + "\n\n" + kMarker),
                  std::string::npos);
    }
    // The default profile is the platform's: linux here. Outside tmux nothing is reloaded.
    auto r = env.run({"rebuild"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "설정을 다시 만들었습니다: " + out.string() + "\n");
    EXPECT_EQ(labels(read_text(out)), expected_labels(profiles.at("linux")));
}

TEST(RebuildCommand, UserFragmentsFollowTheirFragment) {
    PrivateEnv env;
    write_text(env.config_home() / "vesk" / "confs" / "conf.common", "set -g @mine common\n");
    write_text(env.config_home() / "vesk" / "confs" / "conf.window", "  \n\n\t\n");
    write_text(env.config_home() / "vesk" / "confs" / "conf.plugins", "set -g @mine plugins");
    const fs::path out = env.root() / "out" / "x.conf";
    auto r = env.run({"rebuild", "--no-reload", "--output", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "설정을 다시 만들었습니다: " + out.string() + "\n");
    const std::string text = read_text(out);
    EXPECT_EQ(labels(text), (std::vector<std::string>{
                                "vesk:zelt", "confs/conf.prefix", "confs/conf.common", "~/.config/vesk/confs/conf.common",
                                "confs/conf.session", "confs/conf.window", "confs/conf.codex", "confs/conf.linux",
                                "confs/conf.lab", "confs/conf.plugins", "~/.config/vesk/confs/conf.plugins",
                                "vesk:postlude"}));
    EXPECT_EQ(section(text, "~/.config/vesk/confs/conf.common"), "set -g @mine common\n");
    EXPECT_EQ(section(text, "~/.config/vesk/confs/conf.plugins"), "set -g @mine plugins\n");
    EXPECT_FALSE(fs::exists(env.home() / ".tmux.conf.local"));
}

TEST(RebuildCommand, CheckRejectsWhatTmuxCannotParseAndKeepsTheOldOutput) {
    PrivateEnv env;
    const fs::path out = env.home() / ".tmux.conf.local";
    write_text(out, "old\n");
    const fs::path user = env.config_home() / "vesk" / "confs" / "conf.lab";
    for (const std::string& bad : {std::string("bind-key\n"), std::string("if-shell true {\n")}) {
        write_text(user, bad);
        auto r = env.run({"rebuild", "--no-reload"});
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_TRUE(r.err.starts_with("Error: tmux가 설정을 받아들이지 않았습니다: ")) << r.err;
        EXPECT_EQ(read_text(out), "old\n");
        if (bad == "bind-key\n") EXPECT_NE(r.err.find("too few arguments"), std::string::npos) << r.err;
    }
    // No temporary copy stays behind.
    for (const auto& entry : fs::directory_iterator(env.tmp()))
        EXPECT_NE(entry.path().filename().string().rfind(".tmp", 0), 0u) << entry.path();
    // A tmux that cannot be started is a failure too, with the system's words.
    env.vars["TMUX_BIN"] = (env.root() / "no-such-tmux").string();
    auto missing = env.run({"rebuild", "--no-reload"});
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
    EXPECT_EQ(read_text(out), "old\n");
    env.vars.erase("TMUX_BIN");
    // --no-check writes what the user asked for.
    auto r = env.run({"rebuild", "--no-reload", "--no-check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(read_text(out).find("if-shell true {"), std::string::npos);
}

TEST(RebuildCommand, KeyChangesRewriteLinesThatTmuxReadsBack) {
    PrivateEnv env;
    // Each default binding `bind <old> display-message <n>`, moved by keybindings.conf to a key
    // written as the screen writes it; tmux must read the rewritten line as that key.
    struct Move {
        std::string old_key, written, tmux_key;
    };
    const std::vector<Move> moves = {{"C-k", "C-j", "C-j"}, {"-", "_", "_"},     {"a", "'#'", "#"},
                                     {"b", "\\;", ";"},    {"c", "'\"'", "\""}, {"d", "\"'\"", "'"},
                                     {"e", "'\\'", "\\"}, {"f", "'{'", "{"},    {"'#'", "x", "x"}};
    std::string common = "# 창 닫기\n  bind C-y next-window\n", changes = "# vesk 설정 화면에서 바꾼 단축키입니다.\n\nunbind C-y\n";
    for (std::size_t i = 0; i < moves.size(); ++i) {
        common += "bind " + moves[i].old_key + " display-message m" + std::to_string(i) + "\n";
        changes += "bind-key " + moves[i].written + " display-message m" + std::to_string(i) + "\n";
    }
    write_authoring_sources(env, env.zelt(), {{"conf.common", common}});
    write_text(env.config_home() / "vesk" / "keybindings.conf", changes);
    const fs::path out = env.home() / ".tmux.conf.local";
    auto r = env.run({"rebuild", "--no-reload"});  // checked by the real tmux
    ASSERT_EQ(r.status, 0) << r.err;
    common = section(read_text(out), "confs/conf.common");
    EXPECT_NE(common.find("\nbind C-j display-message m0\n"), std::string::npos) << common;
    EXPECT_NE(common.find("\n# (vesk) 사용자가 지운 단축키:   bind C-y next-window\n"), std::string::npos) << common;

    TmuxServer server(120, 40, env.tmp());
    server.tmux_ok({"source-file", out.string()});
    for (std::size_t i = 0; i < moves.size(); ++i) {
        auto listed = server.tmux({"list-keys", "-T", "prefix", moves[i].tmux_key});
        EXPECT_NE(listed.out.find("display-message m" + std::to_string(i)), std::string::npos)
            << moves[i].tmux_key << ": " << listed.out << listed.err;
    }
    EXPECT_NE(server.tmux({"list-keys", "-T", "prefix", "C-y"}).status, 0);
    EXPECT_NE(server.tmux({"list-keys", "-T", "prefix", "C-k"}).status, 0);
}

TEST(RebuildCommand, PluginSwitchesCommentAndUncommentTheirLines) {
    PrivateEnv env;
    write_authoring_sources(env, env.zelt(),
                            {{"conf.plugins",
                              "## 켜진 것\n"
                              "set -g @plugin 'a/on'\n"
                              "## 꺼진 것\n"
                              "# set -g @plugin 'b/off'\n"
                              "set -g @plugin 'c/stays'\n"}});
    write_text(env.config_home() / "vesk" / "plugins.conf",
               "# vesk 플러그인 화면에서 켜고 끈 것입니다.\n\n# a\n#vesk:off a/on\n\n# b\nset -g @plugin 'b/off'\n");
    auto r = env.run({"rebuild", "--no-reload"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(section(read_text(env.home() / ".tmux.conf.local"), "confs/conf.plugins"),
              "## 켜진 것\n"
              "# (vesk) 사용자가 끈 플러그인: set -g @plugin 'a/on'\n"
              "## 꺼진 것\n"
              "set -g @plugin 'b/off'\n"
              "set -g @plugin 'c/stays'\n");
}

TEST(RebuildCommand, ZeltLineGivesTmuxTheRootAsItStands) {
    PrivateEnv env;
    const fs::path root = env.root() / "odd \"root\" \\ $HOME ~ #{x} ;";
    write_authoring_sources(env, root);
    env.vars["ZELT"] = root.string();
    auto r = env.run({"rebuild", "--no-reload"});
    ASSERT_EQ(r.status, 0) << r.err;
    TmuxServer server(120, 40, env.tmp());
    server.tmux_ok({"source-file", (env.home() / ".tmux.conf.local").string()});
    EXPECT_EQ(server.global_option("@zelt"), root.string());
    EXPECT_EQ(server.global_option("@fixture"), "yes");
}

TEST(RebuildCommand, ReloadsTheRunningTmux) {
    PrivateEnv env;
    write_authoring_sources(env, env.zelt());
    const fs::path home = env.home();
    // The server's HOME is not the private one: name the file in full.
    write_text(home / ".tmux.conf", "set -g @reloaded yes\nsource-file '" + (home / ".tmux.conf.local").string() + "'\n");
    TmuxServer server(120, 40, env.tmp());
    const EnvChanges pane_env = inside_tmux(env.env());
    // tmux 3.3a now and then never reaps a pane process that ends quickly, so pane_dead_status
    // cannot be waited for: the pane prints the status itself and the test waits for that line.
    auto run_rebuild = [&](const std::string& args) {
        const std::string pane = server.run_in_pane(
            {"sh", "-c", "'" + vesk_binary() + "' rebuild " + args + " 2>&1; echo status=$?"}, pane_env);
        EXPECT_TRUE(server.wait_for_text(pane, "status=", std::chrono::seconds(20))) << server.capture(pane);
        return server.tmux({"capture-pane", "-p", "-S", "-", "-t", pane}).out;
    };

    // --output elsewhere: written, not reloaded.
    const fs::path other = env.root() / "other.conf";
    std::string screen = run_rebuild("--output '" + other.string() + "'");
    EXPECT_NE(screen.find("설정을 다시 만들었습니다: " + other.string() + "\nstatus=0"), std::string::npos) << screen;
    EXPECT_EQ(server.global_option("@reloaded"), "");

    screen = run_rebuild("");
    EXPECT_NE(screen.find("설정을 다시 만들고 읽었습니다: " + (home / ".tmux.conf.local").string() + "\nstatus=0"),
              std::string::npos)
        << screen;
    EXPECT_EQ(server.global_option("@reloaded"), "yes");
    EXPECT_EQ(server.global_option("@zelt"), env.zelt().string());

    // A ~/.tmux.conf that tmux refuses: the rebuild stands, the failure is reported, status 0.
    write_text(home / ".tmux.conf", "no-such-command x\n");
    screen = run_rebuild("");
    EXPECT_NE(screen.find("설정을 다시 만들었습니다: "), std::string::npos) << screen;
    EXPECT_NE(screen.find("설정을 다시 읽지 못했습니다: "), std::string::npos) << screen;
    EXPECT_NE(screen.find("no-such-command"), std::string::npos) << screen;
    EXPECT_NE(screen.find("status=0"), std::string::npos) << screen;
}

}  // namespace
}  // namespace vesk::test
