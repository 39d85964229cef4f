// `vesk rebuild` run as a program with a private HOME, against the real tmux.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <regex>
#include <thread>

#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

const std::string kMarker = "# # /!\\ do not remove the following line";

// The labels of the generated sections, in order.
std::vector<std::string> labels(const std::string& text) {
    static const std::regex begin("(^|\n)# -- generated: begin (.*) -{42}(?=\n)");
    std::vector<std::string> out;
    for (std::sregex_iterator it(text.begin(), text.end(), begin), end; it != end; ++it) out.push_back((*it)[2]);
    return out;
}

std::string section(const std::string& text, const std::string& label) {
    const std::string begin = "# -- generated: begin " + label + " " + std::string(42, '-') + "\n";
    const auto b = text.find(begin);
    if (b == std::string::npos) return "<missing>";
    return text.substr(b + begin.size(),
                       text.find("# -- generated: end " + label + " " + std::string(44, '-') + "\n", b) - b - begin.size());
}

TEST(RebuildCommand, SectionsInFragmentOrderForEveryProfileWithTheUsersAfterTheirs) {
    PrivateEnv env;
    const fs::path out = env.home() / ".tmux.conf.local";
    const std::vector<std::string> common = {"vesk:zelt", "confs/conf.prefix", "confs/conf.common", "confs/conf.session",
                                             "confs/conf.window", "confs/conf.codex"};
    const auto with = [&](std::vector<std::string> middle) {
        std::vector<std::string> all = common;
        all.insert(all.end(), middle.begin(), middle.end());
        all.insert(all.end(), {"confs/conf.lab", "confs/conf.plugins", "vesk:postlude"});
        return all;
    };
    for (const auto& [args, expected] : std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>>{
             {{"--profile", "linux"}, with({"confs/conf.linux"})},
             {{"--profile", "macos"}, with({"confs/conf.macos"})},
             {{"--profile", "window"}, with({})},
             {{}, with({"confs/conf.linux"})}}) {  // the platform's
        std::vector<std::string> all = {"rebuild"};
        all.insert(all.end(), args.begin(), args.end());
        const auto r = env.run(all);  // outside tmux nothing is reloaded
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "설정을 다시 만들었습니다: " + out.string() + "\n");
        const std::string text = read_text(out);
        EXPECT_EQ(labels(text), expected) << args.size();
        EXPECT_EQ(section(text, "vesk:zelt"), "set -g @zelt \"" + env.zelt().string() + "\"\n");
        EXPECT_EQ(section(text, "vesk:postlude"),
                  R"(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' config apply-keybindings")" "\n");
        EXPECT_NE(text.find("# -- vesk generated conf fragments: end " + std::string(32, '-') + "\n\n" + kMarker),
                  std::string::npos);
    }

    // A user fragment with more than blanks follows its fragment; --output writes elsewhere.
    const fs::path confs = env.config_home() / "vesk/confs", other = env.root() / "out/x.conf";
    write_text(confs / "conf.common", "set -g @mine common\n");
    write_text(confs / "conf.window", "  \n\n\t\n");
    write_text(confs / "conf.plugins", "set -g @mine plugins");
    const std::string before = read_text(out);
    const auto r = env.run({"rebuild", "--no-reload", "--output", other.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "설정을 다시 만들었습니다: " + other.string() + "\n");
    const std::string text = read_text(other);
    EXPECT_EQ(labels(text), (std::vector<std::string>{
                                "vesk:zelt", "confs/conf.prefix", "confs/conf.common", "~/.config/vesk/confs/conf.common",
                                "confs/conf.session", "confs/conf.window", "confs/conf.codex", "confs/conf.linux",
                                "confs/conf.lab", "confs/conf.plugins", "~/.config/vesk/confs/conf.plugins",
                                "vesk:postlude"}));
    EXPECT_EQ(section(text, "~/.config/vesk/confs/conf.common"), "set -g @mine common\n");
    EXPECT_EQ(section(text, "~/.config/vesk/confs/conf.plugins"), "set -g @mine plugins\n");
    EXPECT_EQ(read_text(out), before);
}

TEST(RebuildCommand, CheckRejectsWhatTmuxCannotParseAndKeepsTheOldOutput) {
    PrivateEnv env;
    const fs::path out = env.home() / ".tmux.conf.local";
    write_text(out, "old\n");
    for (const std::string bad : {"bind-key\n", "if-shell true {\n"}) {
        write_text(env.config_home() / "vesk/confs/conf.lab", bad);
        const auto r = env.run({"rebuild", "--no-reload"});
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_TRUE(r.err.starts_with("Error: tmux가 설정을 받아들이지 않았습니다: ")) << r.err;
        if (bad == "bind-key\n") EXPECT_NE(r.err.find("too few arguments"), std::string::npos) << r.err;
        EXPECT_EQ(read_text(out), "old\n");
    }
    for (const auto& entry : fs::directory_iterator(env.tmp()))  // no temporary copy stays behind
        EXPECT_FALSE(entry.path().filename().string().starts_with(".tmp")) << entry.path();
    // A tmux that cannot be started is a failure too, with the system's words.
    env.vars["TMUX_BIN"] = (env.root() / "no-such-tmux").string();
    EXPECT_NE(env.run({"rebuild", "--no-reload"}).err.find("No such file or directory"), std::string::npos);
    EXPECT_EQ(read_text(out), "old\n");
    env.vars.erase("TMUX_BIN");
    // --no-check writes what the user asked for.
    EXPECT_EQ(env.run({"rebuild", "--no-reload", "--no-check"}).status, 0);
    EXPECT_NE(read_text(out).find("if-shell true {"), std::string::npos);
}

// A FIFO or a device where a configuration file belongs counts as missing (those reads never
// fail) instead of hanging the command or filling memory; a failed write names its file.
TEST(RebuildCommand, OddFilesCountAsMissingAndAFailedWriteNamesItsFile) {
    PrivateEnv env;
    const fs::path vesk = env.config_home() / "vesk";
    fs::create_directories(vesk / "confs");
    for (const char* name : {"keybindings.conf", "plugins.conf", ".license", "confs/conf.lab"})
        ASSERT_EQ(::mkfifo((vesk / name).c_str(), 0600), 0) << name;
    fs::create_symlink("/dev/zero", vesk / "config.toml");
    env.vars["ZELT"] = std::nullopt;
    const auto limited = [&](const std::vector<std::string>& args) {
        std::vector<std::string> all = {"20", vesk_binary()};
        all.insert(all.end(), args.begin(), args.end());
        return env.run_program("timeout", all);
    };
    auto r = limited({"mode"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "general-user\n");
    const fs::path out = env.home() / ".tmux.conf.local";
    r = limited({"rebuild", "--no-reload"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(read_text(out).find("set -g @zelt \"" + (env.home() / ".tmux").string() + "\""), std::string::npos);

    // A dotfile manager's link stays a link, and the file it points at gets the output.
    write_text(env.home() / "dots" / "tmux.local", "old\n");
    fs::remove(out);
    fs::create_symlink("dots/tmux.local", out);
    r = limited({"rebuild", "--no-reload"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(out));
    EXPECT_NE(read_text(env.home() / "dots" / "tmux.local").find("set -g @zelt"), std::string::npos);

    fs::remove(out);
    fs::create_directories(out / "inside");
    r = limited({"rebuild", "--no-reload"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: 파일을 교체하지 못했습니다: Is a directory (os error 21) (" + out.string() + ")\n");
}

// tmux keeps a server's socket after the server ends, and a signal skips destructors: neither
// the check's socket nor its temporary copy may stay behind, whichever way the rebuild ends.
TEST(RebuildCommand, TheChecksSocketAndTemporaryFileGoEvenWhenASignalEndsIt) {
    PrivateEnv env;
    const fs::path sockets = env.tmp() / ("tmux-" + std::to_string(::getuid()));
    const auto leftovers = [&] {
        std::vector<std::string> found;
        for (const fs::path& dir : {env.tmp(), sockets})
            for (const auto& e : fs::directory_iterator(dir)) {
                const std::string name = e.path().filename().string();
                if (name.starts_with(".tmp") || name.starts_with("vesk-rebuild-")) found.push_back(name);
            }
        return found;
    };
    for (int i = 0; i < 2; ++i) ASSERT_EQ(env.run({"rebuild", "--no-reload"}).status, 0);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});

    // A slow tmux, so that the signal comes while the check waits for it.
    const fs::path started = env.root() / "started";
    write_script(env.root() / "slow-tmux", "echo $$ > '" + started.string() + "'\nsleep 1\nexec '" + real_tmux() + "' \"$@\"\n");
    env.vars["TMUX_BIN"] = (env.root() / "slow-tmux").string();
    for (int sig : {SIGTERM, SIGHUP}) {
        fs::remove(started);
        ChildCommand command(vesk_binary(), {"rebuild", "--no-reload"});
        command.env = env.env();
        Child child = Child::spawn(command.stdin_(Stdio::Null).stdout_(Stdio::Null).stderr_(Stdio::Null));
        ASSERT_TRUE(wait_until([&] { return fs::exists(started); }));
        ::kill(child.pid(), sig);
        EXPECT_EQ(child.wait().signal(), sig);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the slow tmux would be done by now
        EXPECT_EQ(leftovers(), std::vector<std::string>{}) << sig;
    }
}

// A small distribution of our own under an odd root, with the user's key and plugin changes; the
// result is checked by the rebuild and loaded by the real tmux.
TEST(RebuildCommand, KeyAndPluginChangesRewriteLinesThatTmuxReadsBack) {
    PrivateEnv env;
    const fs::path root = env.root() / "odd \"root\" \\ $HOME ~ #{x} ;", vesk = env.config_home() / "vesk";
    env.vars["ZELT"] = root.string();
    write_text(vesk / ".license", "\"Test Author\" <author@example.com>\n");
    write_text(root / ".tmux.conf.local", "set -g @fixture yes\n" + kMarker + "\n# EOF\n# # /!\\ do not remove the previous line\n");
    // Each default `bind <old> display-message m<i>` moves to a key written as the screen writes
    // it; tmux must read the rewritten line as that key.
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
    const std::map<std::string, std::string> fragments = {
        {"conf.common", common},
        {"conf.plugins", "## 켜진 것\nset -g @plugin 'a/on'\n## 꺼진 것\n# set -g @plugin 'b/off'\nset -g @plugin 'c/stays'\n"}};
    for (const char* name : {"conf.prefix", "conf.common", "conf.session", "conf.window", "conf.codex", "conf.linux",
                             "conf.macos", "conf.lab", "conf.plugins"})
        write_text(root / "confs" / name, fragments.count(name) ? fragments.at(name) : "# " + std::string(name) + "\n");
    write_text(vesk / "keybindings.conf", changes);
    write_text(vesk / "plugins.conf",
               "# vesk 플러그인 화면에서 켜고 끈 것입니다.\n\n# a\n#vesk:off a/on\n\n# b\nset -g @plugin 'b/off'\n");
    const fs::path out = env.home() / ".tmux.conf.local";
    const auto r = env.run({"rebuild", "--no-reload"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = read_text(out);
    common = section(text, "confs/conf.common");
    EXPECT_NE(common.find("\nbind C-j display-message m0\n"), std::string::npos) << common;
    EXPECT_NE(common.find("\n# (vesk) 사용자가 지운 단축키:   bind C-y next-window\n"), std::string::npos) << common;
    EXPECT_EQ(section(text, "confs/conf.plugins"),
              "## 켜진 것\n# (vesk) 사용자가 끈 플러그인: set -g @plugin 'a/on'\n## 꺼진 것\n"
              "set -g @plugin 'b/off'\nset -g @plugin 'c/stays'\n");

    TmuxServer server(120, 40, env.tmp(), env.home());
    server.tmux_ok({"source-file", out.string()});
    EXPECT_EQ(server.global_option("@zelt"), root.string());
    EXPECT_EQ(server.global_option("@fixture"), "yes");
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const auto listed = server.tmux({"list-keys", "-T", "prefix", moves[i].tmux_key});
        EXPECT_NE(listed.out.find("display-message m" + std::to_string(i)), std::string::npos)
            << moves[i].tmux_key << ": " << listed.out << listed.err;
    }
    EXPECT_NE(server.tmux({"list-keys", "-T", "prefix", "C-y"}).status, 0);
    EXPECT_NE(server.tmux({"list-keys", "-T", "prefix", "C-k"}).status, 0);
}

TEST(RebuildCommand, ReloadsTheRunningTmux) {
    PrivateEnv env;
    const fs::path local = env.home() / ".tmux.conf.local";
    // The server's HOME is not the private one: name the file in full.
    write_text(env.home() / ".tmux.conf", "set -g @reloaded yes\nsource-file '" + local.string() + "'\n");
    TmuxServer server(120, 40, env.tmp(), env.home());
    // The pane prints the status itself: tmux 3.3a now and then never reaps a quick pane process.
    const auto rebuild = [&](const std::string& args) {
        const std::string pane = server.run_in_pane(
            {"sh", "-c", "'" + vesk_binary() + "' rebuild " + args + " 2>&1; echo status=$?"}, inside_tmux(env.env()));
        EXPECT_TRUE(server.wait_for_text(pane, "status=", std::chrono::seconds(20))) << server.capture(pane);
        return server.tmux({"capture-pane", "-p", "-J", "-S", "-", "-t", pane}).out;
    };
    // --output elsewhere: written, not reloaded.
    const fs::path other = env.root() / "other.conf";
    std::string screen = rebuild("--output '" + other.string() + "'");
    EXPECT_NE(screen.find("설정을 다시 만들었습니다: " + other.string() + "\nstatus=0"), std::string::npos) << screen;
    EXPECT_EQ(server.global_option("@reloaded"), "");

    screen = rebuild("");
    EXPECT_NE(screen.find("설정을 다시 만들고 읽었습니다: " + local.string() + "\nstatus=0"), std::string::npos) << screen;
    EXPECT_EQ(server.global_option("@reloaded"), "yes");
    EXPECT_EQ(server.global_option("@zelt"), env.zelt().string());
    // The same file written another way is still the one tmux reads.
    server.tmux_ok({"set", "-g", "@reloaded", "again"});
    screen = rebuild("--output '" + env.home().string() + "//./.tmux.conf.local'");
    EXPECT_NE(screen.find("설정을 다시 만들고 읽었습니다: "), std::string::npos) << screen;
    EXPECT_EQ(server.global_option("@reloaded"), "yes");

    // A ~/.tmux.conf that tmux refuses: the rebuild stands, the failure is reported, status 0.
    write_text(env.home() / ".tmux.conf", "no-such-command x\n");
    screen = rebuild("");
    for (const char* part : {"설정을 다시 만들었습니다: ", "설정을 다시 읽지 못했습니다: ", "no-such-command", "status=0"})
        EXPECT_NE(screen.find(part), std::string::npos) << part << "\n" << screen;
}

}  // namespace
}  // namespace vesk::test
