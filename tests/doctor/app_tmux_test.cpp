// The doctor screen end to end: a real installation, `vesk doctor popup` in a private tmux server
// with a client attached, the screen driven with keys, fixes run from it; and the terminal given
// back when the screen is killed.
#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

#include "core/quote.hpp"
#include "setup/installed.hpp"
#include "support/screen_run.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

using namespace std::chrono_literals;

bool has(const std::string& text, const std::string& needle) { return text.find(needle) != std::string::npos; }

// Moves the cursor down from the first row until it rests on the check `id`.
bool go_to(AttachedClient& client, const std::string& id) {
    client.send_keys({"Home"});
    std::this_thread::sleep_for(300ms);  // the cursor line read first is the one after Home
    std::string line;
    for (int i = 0; i < 60; ++i) {
        const auto moved = client.wait_for_screen([&](const std::string& s) {
            const std::string now = line_with(s, "▸");
            return !now.empty() && now != line;
        }, 2s);
        if (moved) line = line_with(*moved, "▸");
        if (has(line, " " + id + " ")) return true;
        client.send_keys({"Down"});
    }
    ADD_FAILURE() << "no row for " << id << ":\n" << client.capture();
    return false;
}

TEST(DoctorScreenInTmux, PopupRunsFixesAndShowsTheirChecksTurnOk) {
    PrivateEnv env;
    const RunResult setup =
        env.run_program((installed_prefix() / "bin/vesk").string(), {"setup", "--profile", "linux", "--skip-plugins"});
    ASSERT_EQ(setup.status, 0) << setup.err;
    TmuxServer server{120, 40, env.tmp(), env.home()};
    AttachedClient client(server);
    server.tmux_ok({"set", "-g", "@zelt", env.zelt().string()});
    server.tmux_ok({"set", "-g", "@vim_bin", "novim"});
    // The tmux the fixes run notes the descriptors it was started with.
    const fs::path fds = env.root() / "fds";
    write_script(env.root() / "tmux-noting",
                 "[ \"$1\" = set ] && ls -l /proc/$$/fd > " + sh_quote(fds.string()) + " 2>&1\nexec " +
                     sh_quote(real_tmux()) + " \"$@\"\n");
    env.vars["TMUX_BIN"] = (env.root() / "tmux-noting").string();
    const fs::path tidewell = env.home() / ".tidewell";
    ASSERT_FALSE(fs::exists(tidewell));

    const std::string pane = start_popup(server, env, {"doctor", "popup"});
    ASSERT_TRUE(client.wait_for_text(" Doctor ", 20s)) << client.capture();
    ASSERT_TRUE(client.wait_for_text("↑↓ 이동")) << client.capture();

    // A missing directory: its detail names the command, Enter makes it at once and the re-check
    // shows the check passing.
    ASSERT_TRUE(go_to(client, "tidewell-dir"));
    client.send_keys({"Enter"});
    ASSERT_TRUE(client.wait_for_text("실행할 명령")) << client.capture();
    // The detail is the third box from the left (the popup and the list come first); a long path
    // wraps there.
    EXPECT_TRUE(has(box_text(client.capture(), 3), without_blanks("mkdir -p " + shell_word(tidewell.string())))) << client.capture();
    EXPECT_TRUE(has(client.capture(), "Enter 지금 실행   Esc 닫기")) << client.capture();
    client.send_keys({"Enter"});
    ASSERT_TRUE(client.wait_for_screen([](const std::string& s) {
        return has(s, "디렉터리를 만들었습니다.") && has(s, "다시 검사했습니다") && has(s, "✔ 정상   tidewell-dir");
    })) << client.capture();
    EXPECT_TRUE(fs::is_directory(tidewell));
    client.send_keys({"Escape"});
    ASSERT_TRUE(client.wait_for_no_text("다시 검사했습니다")) << client.capture();
    client.send_keys({"a"});
    ASSERT_TRUE(client.wait_for_text("모두 보는 중")) << client.capture();
    ASSERT_TRUE(go_to(client, "tidewell-dir"));
    EXPECT_TRUE(has(line_with(client.capture(), " tidewell-dir "), "✔")) << client.capture();

    // A program as the fix: it runs without the terminal, and the re-check sees what it changed.
    ASSERT_TRUE(go_to(client, "@vim_bin"));
    client.send_keys({"Enter"});
    ASSERT_TRUE(client.wait_for_text("@vim_bin을 `vim`으로 되돌립니다.")) << client.capture();
    client.send_keys({"Enter"});
    ASSERT_TRUE(client.wait_for_screen([](const std::string& s) {
        return has(s, "끝났습니다.") && has(s, "✔ 정상   @vim_bin");
    })) << client.capture();
    EXPECT_EQ(server.global_option("@vim_bin"), "vim");
    const std::string noted = read_text(fds);
    EXPECT_TRUE(has(noted, "/dev/null")) << noted;
    EXPECT_FALSE(has(noted, "/dev/pts") || has(noted, "/dev/tty")) << noted;

    // Ctrl-C closes the screen from an overlay; the popup goes with it.
    client.send_keys({"C-c"});
    EXPECT_TRUE(client.wait_for_no_text(" Doctor ")) << client.capture();
    EXPECT_EQ(finish_screen(server, pane, env.root()), 0) << read_text(env.root() / "err");
    expect_terminal_restored(server, pane, env.root());
}

TEST(DoctorScreenInTmux, TheTerminalComesBackWhenTheScreenIsKilledOrLeft) {
    PrivateEnv env;
    TmuxServer server(80, 24, env.tmp(), env.home());
    const fs::path dir = env.root();
    // In the background so that the script learns its process id, written before the program starts
    // and so before it draws; standard output stays the terminal, or the doctor would print its
    // report instead.
    const auto start = [&] {
        for (const char* note : {"before", "after", "status", "pid"}) fs::remove(dir / note);
        const std::string pane = server.run_in_pane(
            {"bash", "-c",
             "cd " + sh_quote(dir.string()) + " && stty -g > before; (sh -c 'echo $$ > pid && exec \"$@\"' sh " +
                 sh_quote(vesk_binary()) + " doctor & wait $!) 2> err; echo $? > status; stty -g > after"},
            inside_tmux(env.env()));
        EXPECT_TRUE(server.wait_for_text(pane, "↑↓ 이동", 20s)) << server.capture(pane);
        EXPECT_TRUE(server.wait_for_raw_mode(pane));
        EXPECT_EQ(server.format(pane, "#{alternate_on}"), "1");
        return pane;
    };
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string pane = start();
        ASSERT_EQ(::kill(std::stoi(read_text(dir / "pid")), sig), 0);
        EXPECT_EQ(finish_screen(server, pane, dir), 128 + sig) << sig;
        expect_terminal_restored(server, pane, dir);
    }
    const std::string pane = start();
    server.send_keys(pane, {"q"});
    EXPECT_EQ(finish_screen(server, pane, dir), 0);
    EXPECT_EQ(read_text(dir / "err"), "");
    expect_terminal_restored(server, pane, dir);
}

TEST(DoctorScreenInTmux, TheCursorRowIsNavyWhereTheTerminalShowsRgb) {
    PrivateEnv env;
    TmuxServer server(100, 30, env.tmp(), env.home());
    // xterm-256color has no RGB flag: COLORTERM alone says that the terminal shows RGB.
    const std::vector<std::pair<std::optional<std::string>, std::string>> cases = {
        {"truecolor", "\x1b[48;2;47;51;77m"}, {"24bit", "\x1b[48;2;47;51;77m"}, {std::nullopt, "\x1b[48;5;237m"}};
    for (const auto& [colorterm, background] : cases) {
        EnvChanges vars = inside_tmux(env.env());
        vars.emplace_back("TERM", "xterm-256color");
        vars.emplace_back("COLORTERM", colorterm);
        const std::string pane = server.run_in_pane({vesk_binary(), "doctor"}, vars, env.root());
        ASSERT_TRUE(server.wait_for_text(pane, "↑↓ 이동", 20s)) << server.capture(pane);
        const std::string row = line_with(server.tmux_ok({"capture-pane", "-p", "-e", "-t", pane}), "▸");
        EXPECT_TRUE(has(row, background)) << colorterm.value_or("(unset)") << ": " << row;
        server.send_keys(pane, {"q"});
        EXPECT_EQ(server.wait_for_exit(pane), 0);
    }
}

}  // namespace
}  // namespace vesk::test
