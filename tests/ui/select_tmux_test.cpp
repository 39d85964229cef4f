// `ui select` and the key wait of message popups, run for real in a private tmux server.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

using namespace vesk::test;

namespace {

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

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
        std::string script = "cd " + quoted(dir.string()) + " && stty -g > before; " + command +
                             " > out 2> err; echo $? > status; stty -g > after";
        pane = server.run_in_pane({"bash", "-c", script}, inside_tmux(env.env()));
    }
    std::string vesk() const { return quoted(vesk_binary()); }
    // The script's last step writes "after"; waiting for that file rather than for the pane's
    // death keeps the test apart from how quickly tmux reaps the pane.
    int finish() {
        const fs::path after = dir / "after";
        for (int i = 0; i < 500; ++i) {
            if (fs::exists(after) && !read_text(after).empty() && read_text(after).back() == '\n')
                return std::stoi(read_text(dir / "status"));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
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

TEST(SelectInTmux, EscAndQCancelWithNothingPrinted) {
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
}

TEST(SelectInTmux, LongListScrollsAndEmptyListReturnsAtOnce) {
    TerminalRun run;
    std::string items;
    for (int i = 0; i < 40; ++i) items += "item " + std::to_string(i) + "\n";
    write_text(run.dir / "items", items);
    run.start(run.vesk() + " ui select --items-from items");
    ASSERT_TRUE(run.server.wait_for_text(run.pane, "│item 9 "));
    std::vector<std::string> downs(20, "Down");
    run.server.send_keys(run.pane, downs);
    // Ten rows fit between the frames: the highlight on item 20 shows items 11 to 20.
    auto screen = run.server.wait_for_screen(run.pane, [](const std::string& s) {
        return row_starting(s, "│item 20 ") == 13;
    });
    ASSERT_TRUE(screen);
    EXPECT_EQ(row_starting(*screen, "│item 11 "), 4);
    EXPECT_EQ(row_starting(*screen, "│item 0 "), -1);
    run.server.send_keys(run.pane, {"Enter"});
    EXPECT_EQ(run.finish(), 0);
    EXPECT_EQ(run.out(), "item 20");
    run.expect_terminal_restored();

    // No items: nothing to choose, the terminal is never taken over (no terminal needed at all).
    PrivateEnv env;
    RunResult empty = env.run({"ui", "select"}, "\n  \n");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
    RunResult missing = env.run({"ui", "select", "--items-from", (env.root() / "missing").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Error: "), std::string::npos);
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

namespace {
// The message, after whatever `tput civis` wrote before it.
bool ends_with_message(const fs::path& out) {
    if (!fs::exists(out)) return false;
    std::string text = read_text(out);
    return text.size() >= 3 && text.compare(text.size() - 3, 3, "a\nb") == 0;
}
}  // namespace

TEST(WaitForKeyInTmux, ModalWaitSkipsOtherKeysAndLeavesRawMode) {
    TerminalRun run;
    write_text(run.dir / "msg", "a\nb");
    run.start(run.vesk() + " popup message-render modal msg");
    // The text goes to the output file; once it is there the wait has begun (or is about to).
    for (int i = 0; i < 200 && !ends_with_message(run.dir / "out"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    run.server.send_keys(run.pane, {"Down", "F5", "C-Up"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(run.server.exit_status(run.pane));
    EXPECT_FALSE(fs::exists(run.dir / "status"));
    run.server.send_keys(run.pane, {"x"});
    EXPECT_EQ(run.finish(), 0);
    EXPECT_TRUE(ends_with_message(run.dir / "out"));
    run.expect_terminal_restored();
}
