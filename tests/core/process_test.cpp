#include <gtest/gtest.h>

#include "core/error.hpp"
#include "core/process.hpp"

using namespace vesk;

TEST(Process, CapturesOutputAndStatusAndPassesLargeInput) {
    std::string input;
    for (int i = 0; i < 100000; ++i) input += "line " + std::to_string(i) + "\n";
    ChildCommand cat("cat");
    cat.in = cat.out = Stdio::Pipe;
    Output out = run_child(cat, input);
    EXPECT_TRUE(out.status.success());
    EXPECT_EQ(out.out, input);

    ChildCommand fail("sh", {"-c", "echo err >&2; exit 3"});
    fail.err = Stdio::Pipe;
    Output f = run_child(fail);
    EXPECT_EQ(f.status.code(), 3);
    EXPECT_EQ(f.status.describe(), "exit status: 3");
    EXPECT_EQ(f.err, "err\n");
}

TEST(Process, ReportsStartFailuresAndSignals) {
    EXPECT_THROW(run_child(ChildCommand("vesk-no-such-program")), SystemError);
    EXPECT_THROW(run_child(ChildCommand("")), SystemError);
    ChildCommand in_missing_dir("true");
    in_missing_dir.cwd = "/nonexistent/dir";
    EXPECT_THROW(run_child(in_missing_dir), SystemError);

    Output killed = run_child(ChildCommand("sh", {"-c", "kill -9 $$"}));
    EXPECT_FALSE(killed.status.code());
    EXPECT_EQ(killed.status.signal(), 9);
    EXPECT_EQ(killed.status.describe(), "signal: 9 (SIGKILL)");
}

TEST(Process, EnvironmentChangesAndEarlyClosedInput) {
    ChildCommand env("sh", {"-c", "printf '%s|%s' \"$A\" \"${B-unset}\""});
    env.set_env("A", "a b").remove_env("B");
    env.out = Stdio::Pipe;
    ::setenv("B", "present", 1);
    EXPECT_EQ(run_child(env).out, "a b|unset");
    ::unsetenv("B");

    ChildCommand head("head", {"-c", "1"});
    head.in = head.out = Stdio::Pipe;
    Output h = run_child(head, std::string(10 << 20, 'x'));
    EXPECT_EQ(h.out, "x");
    EXPECT_NE(h.input_errno, 0);
}

TEST(Errors, FormatsCausesAsTheUserSeesThem) {
    try {
        try {
            throw Error("root cause");
        } catch (...) {
            rethrow_with_context("outer");
        }
    } catch (const std::exception& e) {
        EXPECT_EQ(format_error(e), "Error: outer\n\nCaused by:\n    root cause\n");
    }
    try {
        with_context("top", [] {
            with_context("middle", [] {
                with_context("two\nlines", [] { throw Error("bottom"); });
            });
        });
    } catch (const std::exception& e) {
        EXPECT_EQ(format_error(e),
                  "Error: top\n\nCaused by:\n    0: middle\n    1: two\n       lines\n    2: bottom\n");
        EXPECT_FALSE(chain_has_exit99(e));
    }
    try {
        with_context("context", [] { throw Exit99(); });
    } catch (const std::exception& e) {
        EXPECT_TRUE(chain_has_exit99(e));
    }
}
