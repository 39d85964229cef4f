// `vesk setup` as a user runs it: from an installed prefix, with a private HOME, without plugins
// (those are in plugins_test.cpp).
#include <gtest/gtest.h>

#include "installed.hpp"
#include "support/screen_run.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

const fs::path kDist = fs::path(VESK_SOURCE_DIR) / "dist";

std::string stub(const std::string& name) {
    return "# 여기에 적은 것은 기본 " + name +
           " 바로 뒤에 붙습니다.\n"
           "# tmux 문법 그대로 쓰십시오. 적용하려면 `vesk rebuild`를 부르십시오.\n"
           "#\n"
           "# 기본값의 키를 옮기려면 unbind로 풀고 다시 bind하십시오.\n"
           "#   unbind C-k\n"
           "#   bind-key F9 run-shell -b \"#{@zelt}/bin/vesk session kill-and-next\"\n";
}

std::string installed_vesk() { return (installed_prefix() / "bin/vesk").string(); }

// Setup's whole report, in order; `assets` is the line on copied assets ("" when none).
std::string report(const PrivateEnv& env, int assets) {
    const fs::path z = env.zelt();
    return "설치 자리를 마련했습니다: " + z.string() + "\n" +
           (assets ? "  자산 " + std::to_string(assets) + "개를 " + installed_prefix().string() + "에서 옮겼습니다\n"
                   : "") +
           "사용자 설정 자리: " + (env.config_home() / "vesk").string() + "\n" +
           "tmux 진입점을 이었습니다: " + (env.home() / ".tmux.conf").string() + " -> " + (z / ".tmux.conf").string() +
           "\n설정을 조립했습니다: " + (env.home() / ".tmux.conf.local").string() + "\n" +
           "\niTerm2를 쓰신다면 키 설정을 넣어 주십시오. 없으면 여러 조합키가 닿지 않습니다.\n"
           "  Preferences > Keys > Key Bindings > Presets... > Import JSON\n"
           "  " + (z / "doc/keybindings.itermkeymap").string() + "\n";
}

TEST(SetupCommand, InstallsThenKeepsTheUsersFilesOnLaterRuns) {
    PrivateEnv env;
    const fs::path z = env.zelt(), confs = env.config_home() / "vesk/confs";
    auto r = env.run_program(installed_vesk(), {"setup", "--skip-plugins", "--profile", "linux"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, report(env, 15));
    EXPECT_NE(fs::status(z / "bin/vesk").permissions() & fs::perms::owner_exec, fs::perms::none);
    // The floating-pane layer comes from the install rules and goes under the root, runnable.
    EXPECT_EQ(read_text(z / "libexec/vesk/tmux"), read_text(fs::path(VESK_SOURCE_DIR) / "tools/tmux-floating"));
    EXPECT_NE(fs::status(z / "libexec/vesk/tmux").permissions() & fs::perms::owner_exec, fs::perms::none);
    for (const char* f : {".tmux.conf", "lib/vimrc", "doc/keybindings.itermkeymap", "lists/favorite-dir.list"})
        EXPECT_EQ(read_text(z / f), read_text(kDist / f)) << f;
    EXPECT_EQ(fs::read_symlink(env.home() / ".tmux.conf"), z / ".tmux.conf");
    for (const char* name : {"conf.prefix", "conf.common", "conf.session", "conf.window", "conf.codex", "conf.linux",
                             "conf.lab", "conf.plugins"})
        EXPECT_EQ(read_text(confs / name), stub(name)) << name;
    EXPECT_FALSE(fs::exists(confs / "conf.macos"));
    EXPECT_NE(read_text(env.home() / ".tmux.conf.local").find("set -g @zelt \"" + z.string() + "\""), std::string::npos);

    // The second run asks nothing; lists and fragments are the user's, support files the release's.
    write_text(z / "lists/note-dir.list", "내 노트 | mine | ~/mine\n");
    write_text(confs / "conf.common", "set -g @mine yes\n");
    write_text(z / "lib/vimrc", "stale\n");
    fs::remove(confs / "conf.lab");
    r = env.run_program(installed_vesk(), {"setup", "--skip-plugins"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, report(env, 6));
    EXPECT_EQ(read_text(z / "lists/note-dir.list"), "내 노트 | mine | ~/mine\n");
    EXPECT_EQ(read_text(confs / "conf.common"), "set -g @mine yes\n");
    EXPECT_EQ(read_text(confs / "conf.lab"), stub("conf.lab"));
    EXPECT_EQ(read_text(z / "lib/vimrc"), read_text(kDist / "lib/vimrc"));
    EXPECT_NE(read_text(env.home() / ".tmux.conf.local").find("set -g @mine yes"), std::string::npos);
    EXPECT_FALSE(fs::exists(env.home() / ".tmux.conf.bak"));

    // From the installed copy there is nothing to copy, not even the program.
    const auto before = fs::last_write_time(z / "bin/vesk");
    r = env.run_program((z / "bin/vesk").string(), {"setup", "--skip-plugins"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, report(env, 0));
    EXPECT_EQ(fs::last_write_time(z / "bin/vesk"), before);
}

// A file size limit or a full disk ends setup with the system's own words (not a signal, not
// "Input/output error"); no temporary copy stays, and one an earlier version left is cleaned up.
TEST(SetupCommand, AFileSizeLimitOrAFullDiskIsReportedAndLeavesNoTemporaryFile) {
    PrivateEnv env;
    const fs::path bin = env.zelt() / "bin";
    write_text(bin / ".vesk.tmp12345", "left by an old setup");
    const auto names = [](const fs::path& dir) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
        return out;
    };
    auto r = env.run_program("sh", {"-c", "ulimit -f 64; exec \"$0\" setup --skip-plugins", installed_vesk()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("Error: " + installed_vesk() + " 파일을 " + (bin / "vesk").string() +
                                  "로 복사하지 못했습니다.\n\nCaused by:\n    File too large (os error 27) (" +
                                  bin.string() + "/.tmp"))
        << r.err;
    EXPECT_EQ(names(bin), std::vector<std::string>{});
    r = env.run_program(installed_vesk(), {"setup", "--skip-plugins"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(names(bin), std::vector<std::string>{"vesk"});

    // A full disk, made of a small tmpfs in a mount namespace of the run's own.
    if (env.run_program("unshare", {"-m", "true"}).status != 0) GTEST_SKIP() << "no mount namespace here";
    const fs::path small = env.root() / "small";
    fs::create_directories(small);
    fs::remove(env.home() / ".tmux.conf");
    r = env.run_program("unshare", {"-m", "sh", "-c",
                                    "mount -t tmpfs -o size=256k tmpfs \"$1\" && exec \"$0\" setup --skip-plugins --zeltdir \"$1/z\"",
                                    installed_vesk(), small.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No space left on device (os error 28) (" + small.string() + "/z/bin/.tmp"), std::string::npos)
        << r.err;
}

// A relative root is made absolute from the working directory once: the ~/.tmux.conf link and
// @zelt name it from anywhere, never relative to wherever tmux or the next command runs.
TEST(SetupCommand, ARelativeRootIsTakenFromTheWorkingDirectory) {
    PrivateEnv env;
    const fs::path cwd = env.root() / "work", root = cwd / "-lead";
    fs::create_directories(cwd);
    ChildCommand command(installed_vesk(), {"setup", "--skip-plugins", "--zeltdir=-lead"});
    command.env = env.env();
    command.dir(cwd.string()).stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe);
    const Output o = run_child(command);
    ASSERT_TRUE(o.status.success()) << o.err;
    EXPECT_NE(o.out.find("설치 자리를 마련했습니다: " + root.string() + "\n"), std::string::npos) << o.out;
    EXPECT_EQ(fs::read_symlink(env.home() / ".tmux.conf"), root / ".tmux.conf");
    EXPECT_TRUE(fs::is_regular_file(env.home() / ".tmux.conf"));  // the link leads somewhere
    EXPECT_NE(read_text(env.home() / ".tmux.conf.local").find("set -g @zelt \"" + root.string() + "\""), std::string::npos);
    EXPECT_FALSE(fs::exists(cwd / "bin"));
}

// An existing ~/.tmux.conf stops setup; --force asks through the list selector in a real terminal.
TEST(SetupCommand, AnExistingTmuxConfIsReplacedOnlyWhenForcedAndConfirmed) {
    PrivateEnv env;
    const fs::path home_conf = env.home() / ".tmux.conf", bak = env.home() / ".tmux.conf.bak";
    write_text(home_conf, "mine\n");
    auto r = env.run_program(installed_vesk(), {"setup", "--skip-plugins"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: " + home_conf.string() +
                         " 파일이 이미 존재합니다. 정리 후 다시 실행하거나 `--force`를 사용하십시오.\n");
    EXPECT_FALSE(fs::exists(env.zelt() / "bin"));
    // A link to some other configuration is no link to this one either.
    fs::rename(home_conf, env.root() / "elsewhere.conf");
    fs::create_symlink(env.root() / "elsewhere.conf", home_conf);
    EXPECT_EQ(env.run_program(installed_vesk(), {"setup", "--skip-plugins"}).status, 1);
    EXPECT_EQ(fs::read_symlink(home_conf), env.root() / "elsewhere.conf");
    fs::remove(home_conf);

    // An 80-column terminal: the question wraps instead of being cut off, and names the backup;
    // the choice's row is cut at the edge.
    TmuxServer server(80, 30, env.tmp(), env.home());
    const std::string question = without_blanks(home_conf.string() + " 파일이 " + (env.zelt() / ".tmux.conf").string() +
                                                " 링크로 교체됩니다. 지금 파일은 " + bak.string() + ".1로 옮겨 둡니다.");
    const std::string go_on = "계속: " + home_conf.string() + "를 .bak로 옮기고 링크 생성";
    std::string pane;
    const auto force = [&](const std::vector<std::string>& keys) {
        write_text(home_conf, "mine\n");
        pane = server.run_in_pane({installed_vesk(), "setup", "--force", "--skip-plugins"}, inside_tmux(env.env()));
        const auto screen = server.wait_for_screen(pane, [&](const std::string& s) {
            return box_text(s).find(question) != std::string::npos && s.find("│취소") != std::string::npos;
        });
        EXPECT_TRUE(screen) << server.capture(pane);
        std::string row = line_with(screen.value_or(""), "│계속: ");
        row = row.substr(0, row.find_last_not_of(" │") + 1).substr(std::string("│").size());
        EXPECT_TRUE(row.size() > 20 && go_on.starts_with(row)) << row;
        EXPECT_TRUE(server.wait_for_raw_mode(pane));
        server.send_keys(pane, keys);
        return server.wait_for_exit(pane, std::chrono::seconds(30));
    };
    write_text(bak, "older\n");
    for (const std::vector<std::string>& keys : {std::vector<std::string>{"Down", "Enter"}, {"Escape"}}) {
        EXPECT_EQ(force(keys), 1);
        EXPECT_TRUE(server.wait_for_text(pane, "Error: 사용자가 setup --force 교체를 취소했습니다.")) << server.capture(pane);
        EXPECT_EQ(read_text(home_conf), "mine\n");
        EXPECT_FALSE(fs::exists(bak.string() + ".1"));
        EXPECT_FALSE(fs::exists(env.home() / ".tmux.conf.local"));
        EXPECT_FALSE(fs::exists(env.zelt() / "bin"));
    }
    // Going on moves the file to the first free backup name, and says so.
    ASSERT_EQ(force({"Enter"}), 0);
    EXPECT_TRUE(server.wait_for_text(pane, "  원래 있던 파일은 ")) << server.capture(pane);
    EXPECT_NE(server.capture(pane, true).find(bak.string() + ".1로 옮겼습니다"), std::string::npos) << server.capture(pane);
    EXPECT_EQ(read_text(bak.string() + ".1"), "mine\n");
    EXPECT_EQ(read_text(bak), "older\n");
    EXPECT_EQ(fs::read_symlink(home_conf), env.zelt() / ".tmux.conf");
    EXPECT_TRUE(fs::is_regular_file(env.home() / ".tmux.conf.local"));
}

}  // namespace
}  // namespace vesk::test
