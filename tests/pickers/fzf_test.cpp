#include <gtest/gtest.h>

#include <signal.h>

#include "core/error.hpp"
#include "pickers/fzf.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

using namespace vesk;
using namespace vesk::test;

TEST(Fzf, SplitExpectOutput) {
    struct Case {
        std::string text, key, selection;
    };
    for (const Case& c : std::vector<Case>{{"", "", ""},
                                           {"ctrl-n\n", "ctrl-n", ""},
                                           {"\r\n세션 하나\tid\r\nthird\n", "", "세션 하나\tid"},
                                           {"ctrl-x\n  padded  ", "ctrl-x", "  padded  "}}) {
        auto e = split_fzf_expect_output(c.text);
        EXPECT_EQ(e.key, c.key) << c.text;
        EXPECT_EQ(e.selection, c.selection) << c.text;
    }
}

TEST(Fzf, RealFzfFilterAndLargeInput) {
    const std::string input = "apple\nbanana\n한국어 노트\n";
    EXPECT_EQ(run_fzf_with_input(input, {"--filter", "bnn"}), "banana\n");
    EXPECT_EQ(run_fzf_with_input(input, {"--filter=노트"}), "한국어 노트\n");
    FzfRun run = run_fzf_with_input_status(input, {"--filter", "zzz"});
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.code, 1);

    std::string big;
    for (int i = 0; i < 100000; ++i) big += "candidate line number " + std::to_string(i) + "\n";
    EXPECT_EQ(run_fzf_with_input(big, {"--filter", "'number 99999", "--exact"}), "candidate line number 99999\n");
    // Every line back through the pipe at once.
    run = run_fzf_with_input_status(big, {"--filter", "candidate"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.output.size() + 1, big.size());
}

TEST(Fzf, SignalsStartFailuresAndEarlyExit) {
    TempDir dir;
    EnvGuard env;
    env.set("PATH", (dir / "bin").string() + ":/usr/bin:/bin");
    write_script(dir / "bin" / "fzf", "kill -9 $$\n");
    FzfRun run = run_fzf_with_input_status("a\nb\n", {});
    EXPECT_FALSE(run.code);
    EXPECT_EQ(run.output, "");

    // An fzf that answers before reading everything: the answer counts, not the broken pipe.
    write_script(dir / "bin" / "fzf", "echo chosen\n");
    run = run_fzf_with_input_status(std::string(8 << 20, 'x'), {});
    EXPECT_EQ(run.output, "chosen");
    EXPECT_EQ(run.code, 0);

    // A picker: a key of --expect pressed over an empty list (status 1) still names the key; a
    // cancel gives nothing; fzf's own failure is never taken for a cancel.
    write_script(dir / "bin" / "fzf", "echo ctrl-x; exit 1\n");
    EXPECT_EQ(run_fzf_picker("", {"--expect=ctrl-x"}), "ctrl-x");
    write_script(dir / "bin" / "fzf", "echo esc; exit 130\n");
    EXPECT_EQ(run_fzf_picker("", {}), "");
    write_script(dir / "bin" / "fzf", "echo 'unknown option' >&2; exit 2\n");
    EXPECT_THROW(run_fzf_picker("", {}), Error);

    env.set("PATH", (dir / "empty").string());
    EXPECT_THROW(run_fzf_with_input("a\n", {}), SystemError);
}

TEST(Fzf, PaneRunGivesTheChoiceOrNothingWhenCancelled) {
    PrivateEnv env;
    TmuxServer server{80, 20, env.tmp(), env.home()};
    const fs::path input = env.root() / "input";
    const fs::path result = env.root() / "result";
    write_text(input, "alpha\nbeta\ngamma\n");
    // Types the query, waits until fzf has filtered it to `shown`, then sends the last key.
    auto pick = [&](const std::string& query, const std::string& shown, const std::string& key) {
        fs::remove(result);
        const std::string pane =
            server.run_in_pane({FZF_PROBE, result.string(), input.string()}, inside_tmux(env.env()));
        EXPECT_TRUE(server.wait_for_text(pane, "3/3")) << server.capture(pane);
        server.send_text(pane, query);
        EXPECT_TRUE(server.wait_for_text(pane, shown)) << server.capture(pane);
        server.send_keys(pane, {key});
        EXPECT_EQ(server.wait_for_exit(pane), 0);
        return read_text(result);
    };
    EXPECT_EQ(pick("et", "1/3", "Enter"), "0\nbeta");
    EXPECT_EQ(pick("", "3/3", "Escape"), "130\n");
}

// The picker ended alone, by any of the three signals: its fzf goes too, giving the terminal back,
// and the picker still ends by that signal. The pane stays, as the shell that started it would.
TEST(Fzf, PaneRunEndsWithThePickerAndGivesTheTerminalBack) {
    PrivateEnv env;
    TmuxServer server{80, 20, env.tmp(), env.home()};
    const fs::path input = env.root() / "input", status = env.root() / "status";
    write_text(input, "alpha\nbeta\n");
    auto child = [](int parent) {
        for (const ProcessEntry& p : all_processes())
            if (p.ppid == parent) return p.pid;
        return 0;
    };
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
        fs::remove(status);
        const std::string pane = server.run_in_pane(
            {"sh", "-c", "\"$0\" \"$1\" \"$2\"; echo $? > \"$3\"; exec sleep 600", FZF_PROBE,
             (env.root() / "result").string(), input.string(), status.string()},
            inside_tmux(env.env()));
        ASSERT_TRUE(server.wait_for_text(pane, "2/2")) << server.capture(pane);
        const int probe = child(child(std::stoi(server.format(pane, "#{pane_pid}")))), fzf = child(probe);
        ASSERT_TRUE(probe > 0 && fzf > 0);
        ASSERT_EQ(::kill(probe, sig), 0);
        ASSERT_TRUE(wait_until([&] { return fs::exists(status); }));
        EXPECT_EQ(read_text(status), std::to_string(128 + sig) + "\n");
        EXPECT_NE(::kill(fzf, 0), 0) << "fzf still runs, signal " << sig;
        EXPECT_TRUE(wait_until([&] { return server.format(pane, "#{alternate_on}") == "0"; })) << sig;
    }
}
