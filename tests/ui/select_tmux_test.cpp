// `ui select` run for real in a private tmux server, between two notes of the terminal's modes.
#include <gtest/gtest.h>

#include <signal.h>

#include <sstream>

#include "support/screen_run.hpp"

namespace vesk::test {
namespace {

// The index of the first screen line that starts with `prefix`, -1 when none does.
int row_starting(const std::string& screen, const std::string& prefix) {
    std::istringstream in(screen);
    std::string line;
    for (int row = 0; std::getline(in, line); ++row)
        if (line.starts_with(prefix)) return row;
    return -1;
}

TEST(SelectInTmux, BlankLinesDroppedEntriesChosenAsGiven) {
    PrivateEnv env;
    TmuxServer server(60, 15, env.tmp());
    write_text(env.root() / "items", "a\n\n  \n b \r\n한글 항목\n");
    std::string pane = start_screen(server, env.root(), {"ui", "select", "--prompt", "고르세요", "--items-from", "items"},
                                    inside_tmux(env.env()));
    ASSERT_TRUE(server.wait_for_text(pane, "한글 항목"));
    std::string screen = server.capture(pane);
    EXPECT_EQ(row_starting(screen, "│고르세요"), 1);
    // The blank lines are gone: the entries sit on consecutive rows, leading blanks kept.
    EXPECT_EQ(row_starting(screen, "│a "), 4);
    EXPECT_EQ(row_starting(screen, "│ b "), 5);
    EXPECT_EQ(row_starting(screen, "│한글 항목"), 6);
    EXPECT_EQ(server.format(pane, "#{alternate_on}"), "1");
    server.send_keys(pane, {"Up", "Down", "Down", "Down", "Up", "Enter"});
    EXPECT_EQ(finish_screen(server, pane, env.root()), 0);
    EXPECT_EQ(read_text(env.root() / "out"), " b ");  // as given, and with no line end
    EXPECT_EQ(read_text(env.root() / "err"), "");
    expect_terminal_restored(server, pane, env.root());

    // Esc and q cancel with nothing printed; Q and Home do nothing.
    for (std::string key : {"Escape", "q"}) {
        pane = start_screen(server, env.root(), {"ui", "select", "--items-from", "items"}, inside_tmux(env.env()));
        ASSERT_TRUE(server.wait_for_text(pane, "│select> "));
        server.send_keys(pane, {"Down", "Q", "Home", key});
        EXPECT_EQ(finish_screen(server, pane, env.root()), 0) << key;
        EXPECT_EQ(read_text(env.root() / "out"), "") << key;
        expect_terminal_restored(server, pane, env.root());
    }

    // No items from standard input: nothing to choose, no terminal needed at all.
    RunResult empty = env.run({"ui", "select"}, "\n  \n");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(env.run({"ui", "select", "--items-from", (env.root() / "missing").string()}).status, 1);
}

TEST(SelectInTmux, TerminalRestoredWhenKilled) {
    PrivateEnv env;
    TmuxServer server(60, 15, env.tmp());
    write_text(env.root() / "items", "one\ntwo\n");
    // Started in the background so the script learns its process id; the selector still owns
    // the terminal through /dev/tty.
    const std::string pane = server.run_in_pane(
        {"bash", "-c",
         "cd " + sh_quote(env.root().string()) + " && stty -g > before; (" + sh_quote(vesk_binary()) +
             " ui select --items-from items & echo $! > pid; wait $!) > out 2> err; echo $? > status; stty -g > after"},
        inside_tmux(env.env()));
    ASSERT_TRUE(server.wait_for_text(pane, "│two"));
    ASSERT_EQ(::kill(std::stoi(read_text(env.root() / "pid")), SIGTERM), 0);
    EXPECT_EQ(finish_screen(server, pane, env.root()), 128 + SIGTERM);
    EXPECT_EQ(read_text(env.root() / "out"), "");
    expect_terminal_restored(server, pane, env.root());
}

}  // namespace
}  // namespace vesk::test
