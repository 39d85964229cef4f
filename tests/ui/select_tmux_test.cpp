// `ui select` run for real in a private tmux server.
#include <gtest/gtest.h>

#include <signal.h>

#include <sstream>

#include "core/quote.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

using namespace vesk::test;

namespace {

// The index of the first screen line that starts with `prefix`, -1 when none does.
int row_starting(const std::string& screen, const std::string& prefix) {
    std::istringstream in(screen);
    std::string line;
    for (int row = 0; std::getline(in, line); ++row)
        if (line.rfind(prefix, 0) == 0) return row;
    return -1;
}

// A pane that notes the terminal modes, runs one command line and notes them again; the
// command's output, status and the modes land in files of a private directory.
struct TerminalRun {
    PrivateEnv env;
    TmuxServer server{60, 15, env.tmp()};
    fs::path dir = env.root();
    std::string pane;

    void start(const std::string& command) {
        std::string script = "cd " + vesk::shell_quote(dir.string()) + " && stty -g > before; " + command +
                             " > out 2> err; echo $? > status; stty -g > after";
        pane = server.run_in_pane({"bash", "-c", script}, inside_tmux(env.env()));
    }
    std::string vesk() const { return vesk::shell_quote(vesk_binary()); }
    // The script's last step writes "after"; waiting for that file rather than for the pane's
    // death keeps the test apart from how quickly tmux reaps the pane.
    int finish() {
        const fs::path after = dir / "after";
        if (wait_until([&] { return fs::exists(after) && read_text(after).ends_with("\n"); }))
            return std::stoi(read_text(dir / "status"));
        ADD_FAILURE() << "the command did not end; screen:\n" << server.capture(pane);
        return -1;
    }
    std::string out() const { return read_text(dir / "out"); }
    void expect_terminal_restored() const {
        EXPECT_EQ(read_text(dir / "before"), read_text(dir / "after"));
        EXPECT_EQ(server.format(pane, "#{alternate_on}"), "0");
    }
};

}  // namespace

TEST(SelectInTmux, ItemsFromStandardInputChosenWithDownAndEnter) {
    TerminalRun run;
    write_text(run.dir / "items", "a\n\n  \n b \r\n한글 항목\n");
    run.start("cat items | " + run.vesk() + " ui select --prompt '고르세요'");
    ASSERT_TRUE(run.server.wait_for_text(run.pane, "한글 항목"));
    std::string screen = run.server.capture(run.pane);
    EXPECT_EQ(row_starting(screen, "│고르세요"), 1);
    // The blank lines are gone: the entries sit on consecutive rows, leading blanks kept.
    EXPECT_EQ(row_starting(screen, "│a "), 4);
    EXPECT_EQ(row_starting(screen, "│ b "), 5);
    EXPECT_EQ(row_starting(screen, "│한글 항목"), 6);
    EXPECT_EQ(run.server.format(run.pane, "#{alternate_on}"), "1");
    run.server.send_keys(run.pane, {"Up", "Down", "Down", "Down", "Up", "Enter"});
    EXPECT_EQ(run.finish(), 0);
    EXPECT_EQ(run.out(), " b ");  // as given, and with no line end
    EXPECT_EQ(read_text(run.dir / "err"), "");
    run.expect_terminal_restored();
}

TEST(SelectInTmux, EscAndQCancelWithNothingPrintedAndNoItemsNeedNoTerminal) {
    for (std::string key : {"Escape", "q"}) {
        TerminalRun run;
        write_text(run.dir / "items", "one\ntwo\n");
        run.start(run.vesk() + " ui select --items-from items");
        ASSERT_TRUE(run.server.wait_for_text(run.pane, "│two"));
        EXPECT_EQ(row_starting(run.server.capture(run.pane), "│select> "), 1);
        run.server.send_keys(run.pane, {"Down", "Q", "Home", key});
        EXPECT_EQ(run.finish(), 0) << key;
        EXPECT_EQ(run.out(), "") << key;
        run.expect_terminal_restored();
    }
    PrivateEnv env;
    RunResult empty = env.run({"ui", "select"}, "\n  \n");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(env.run({"ui", "select", "--items-from", (env.root() / "missing").string()}).status, 1);
}

TEST(SelectInTmux, TerminalRestoredWhenKilled) {
    TerminalRun run;
    write_text(run.dir / "items", "one\ntwo\n");
    // Started in the background so the script learns its process id; the selector still owns
    // the terminal through /dev/tty.
    run.start("(" + run.vesk() + " ui select --items-from items & echo $! > pid; wait $!)");
    ASSERT_TRUE(run.server.wait_for_text(run.pane, "│two"));
    pid_t pid = std::stoi(read_text(run.dir / "pid"));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(run.finish(), 128 + SIGTERM);
    EXPECT_EQ(run.out(), "");
    run.expect_terminal_restored();
}
