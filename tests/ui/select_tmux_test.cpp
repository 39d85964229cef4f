// `ui select` run for real in a private tmux server, between two notes of the terminal's modes.
#include <gtest/gtest.h>

#include <signal.h>

#include <sstream>

#include "support/screen_run.hpp"

namespace vesk::test {
namespace {

TEST(SelectInTmux, ChoosesCancelsAndRestoresTheTerminalEvenWhenKilled) {
    PrivateEnv env;
    TmuxServer server(60, 15, env.tmp(), env.home());
    const fs::path dir = env.root();
    write_text(dir / "items", "a\n\n  \n b \r\n한글 항목\n");
    std::string pane = start_screen(server, dir, {"ui", "select", "--prompt", "고르세요", "--items-from", "items"},
                                    inside_tmux(env.env()));
    ASSERT_TRUE(server.wait_for_text(pane, "한글 항목"));
    // The prompt box, then the entries on consecutive rows, blank lines gone and leading blanks kept.
    std::istringstream screen(server.capture(pane));
    std::vector<std::string> rows;
    for (std::string row; std::getline(screen, row);) rows.push_back(row.substr(0, row.find("  ")));
    ASSERT_GE(rows.size(), 7u);
    EXPECT_EQ(rows[1], "│고르세요");
    EXPECT_EQ(std::vector<std::string>(rows.begin() + 4, rows.begin() + 7), (std::vector<std::string>{"│a", "│ b", "│한글 항목"}));
    EXPECT_EQ(server.format(pane, "#{alternate_on}"), "1");
    server.send_keys(pane, {"Up", "Down", "Down", "Down", "Up", "Enter"});
    EXPECT_EQ(finish_screen(server, pane, dir), 0);
    EXPECT_EQ(read_text(dir / "out"), " b ");  // as given, and with no line end
    EXPECT_EQ(read_text(dir / "err"), "");
    expect_terminal_restored(server, pane, dir);

    // Esc and q cancel with nothing printed; Q and Home do nothing.
    for (std::string key : {"Escape", "q"}) {
        pane = start_screen(server, dir, {"ui", "select", "--items-from", "items"}, inside_tmux(env.env()));
        ASSERT_TRUE(server.wait_for_text(pane, "│select> "));
        server.send_keys(pane, {"Down", "Q", "Home", key});
        EXPECT_EQ(finish_screen(server, pane, dir), 0) << key;
        EXPECT_EQ(read_text(dir / "out"), "") << key;
        expect_terminal_restored(server, pane, dir);
    }

    // Killed: started in the background so that the script learns its process id (the selector
    // still owns the terminal through /dev/tty), written before the program starts and so before it
    // draws. The items come through a pipe, read whole as a file is.
    for (const char* note : {"before", "after", "status"}) fs::remove(dir / note);
    pane = server.run_in_pane({"bash", "-c",
                               "cd " + sh_quote(dir.string()) + " && stty -g > before; (sh -c 'echo $$ > pid && exec \"$@\"' sh " +
                                   sh_quote(vesk_binary()) + " ui select --items-from <(cat items) & wait $!) > out 2> err; "
                                   "echo $? > status; stty -g > after"},
                              inside_tmux(env.env()));
    ASSERT_TRUE(server.wait_for_text(pane, "│한글 항목"));
    ASSERT_EQ(::kill(std::stoi(read_text(dir / "pid")), SIGTERM), 0);
    EXPECT_EQ(finish_screen(server, pane, dir), 128 + SIGTERM);
    EXPECT_EQ(read_text(dir / "out"), "");
    expect_terminal_restored(server, pane, dir);

    // No items: nothing to choose, no terminal needed at all.
    for (const RunResult& empty :
         {env.run({"ui", "select"}, "\n  \n"), env.run({"ui", "select", "--items-from", "/dev/null"})}) {
        EXPECT_EQ(empty.status, 0);
        EXPECT_EQ(empty.out + empty.err, "");
    }
    const RunResult missing = env.run({"ui", "select", "--items-from", (dir / "missing").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Error: No such file or directory (os error 2) (" + (dir / "missing").string() + ")\n");
    // A source that never ends stops at the limit.
    const RunResult endless = env.run({"ui", "select", "--items-from", "/dev/zero"});
    EXPECT_EQ(endless.status, 1);
    EXPECT_EQ(endless.err, "Error: 입력이 64 MiB를 넘어 읽기를 멈췄습니다 (/dev/zero)\n");
}

}  // namespace
}  // namespace vesk::test
