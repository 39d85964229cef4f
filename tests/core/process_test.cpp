#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <new>

#include "core/error.hpp"
#include "core/process.hpp"
#include "support/private_env.hpp"

using namespace vesk;

TEST(Process, CapturesOutputStatusAndLargeInput) {
    std::string input;
    for (int i = 0; i < 100000; ++i) input += "line " + std::to_string(i) + "\n";
    ChildCommand cat("cat");
    cat.in = cat.out = Stdio::Pipe;
    EXPECT_EQ(run_child(cat, input).out, input);

    ChildCommand fail("sh", {"-c", "echo err >&2; exit 3"});
    fail.err = Stdio::Pipe;
    Output f = run_child(fail);
    EXPECT_EQ(f.status.describe(), "exit status: 3");
    EXPECT_EQ(f.err, "err\n");

    // A reader that stops early: the rest of the input is dropped, not a hang.
    ChildCommand head("head", {"-c", "1"});
    head.in = head.out = Stdio::Pipe;
    Output h = run_child(head, std::string(10 << 20, 'x'));
    EXPECT_EQ(h.out, "x");
    EXPECT_NE(h.input_errno, 0);
}

TEST(Process, StartFailuresSignalsAndEnvironment) {
    EXPECT_THROW(run_child(ChildCommand("vesk-no-such-program")), SystemError);
    ChildCommand in_missing_dir("true");
    in_missing_dir.cwd = "/nonexistent/dir";
    EXPECT_THROW(run_child(in_missing_dir), SystemError);

    Output killed = run_child(ChildCommand("sh", {"-c", "kill -9 $$"}));
    EXPECT_FALSE(killed.status.code());
    EXPECT_EQ(killed.status.describe(), "signal: 9 (SIGKILL)");

    vesk::test::EnvGuard guard;
    guard.set("B", "present");
    ChildCommand env("sh", {"-c", "printf '%s|%s' \"$A\" \"${B-unset}\""});
    env.set_env("A", "a b").remove_env("B");
    env.out = Stdio::Pipe;
    EXPECT_EQ(run_child(env).out, "a b|unset");

    // A script without a #! line runs in the shell, found on PATH like any program.
    vesk::test::TempDir dir;
    vesk::test::write_text(dir / "bare", "echo \"bare $1\"\n");
    std::filesystem::permissions(dir / "bare", std::filesystem::perms::owner_all);
    guard.set("PATH", dir.path().string() + ":/usr/bin:/bin");
    EXPECT_EQ(run_child(ChildCommand("bare", {"x"}).stdout_(Stdio::Pipe)).out, "bare x\n");
}

TEST(Process, TimeLimitEndsTheChildAndWhatItStartedAndOutputGoesToADescriptor) {
    using namespace std::chrono_literals;
    // A grandchild keeps the pipe open: only the whole group's end lets run_child return.
    ChildCommand hang("sh", {"-c", "echo started; sleep 30; echo never"});
    hang.stdout_(Stdio::Pipe).own_session().limit(300ms);
    const auto begin = std::chrono::steady_clock::now();
    Output out = run_child(hang);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
    EXPECT_TRUE(out.timed_out);
    EXPECT_EQ(out.out, "started\n");
    EXPECT_EQ(out.status.signal(), SIGKILL);
    // Also with nothing piped; and a child quicker than its limit is left alone.
    EXPECT_TRUE(run_child(ChildCommand("sleep", {"30"}).limit(100ms)).timed_out);
    Output quick = run_child(ChildCommand("sh", {"-c", "exit 4"}).limit(5s));
    EXPECT_FALSE(quick.timed_out);
    EXPECT_EQ(quick.status.code(), 4);

    vesk::test::TempDir dir;
    const int fd = ::open((dir / "log").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    run_child(ChildCommand("sh", {"-c", "echo out; echo err >&2"}).stdout_to(fd).stderr_to(fd));
    ::close(fd);
    EXPECT_EQ(vesk::test::read_text(dir / "log"), "out\nerr\n");
}

TEST(Errors, FormatsCausesAsTheUserSeesThem) {
    const auto formatted = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const std::exception& e) {
            return format_error(e) + (exit_status_in_chain(e) == 99 ? "[99]" : "");
        }
        return std::string("(no error)");
    };
    EXPECT_EQ(formatted([] { with_context("outer", [] { throw Error("root cause"); }); }),
              "Error: outer\n\nCaused by:\n    root cause\n");
    EXPECT_EQ(formatted([] {
                  with_context("top", [] {
                      with_context("middle", [] { with_context("two\nlines", [] { throw Error("bottom"); }); });
                  });
              }),
              "Error: top\n\nCaused by:\n    0: middle\n    1: two\n       lines\n    2: bottom\n");
    EXPECT_TRUE(formatted([] { with_context("context", [] { throw Exit99(); }); }).ends_with("[99]"));
    // The C++ library's file-system errors read as every other system error does.
    vesk::test::TempDir dir;
    vesk::test::write_text(dir / "file", "");
    const std::filesystem::path below = dir / "file" / "x";
    EXPECT_EQ(formatted([&] { with_context("outer", [&] { std::filesystem::create_directories(below); }); }),
              "Error: outer\n\nCaused by:\n    Not a directory (os error 20) (" + below.string() + ")\n");
    EXPECT_EQ(formatted([] {
                  throw std::filesystem::filesystem_error("rename", "/a", "/b",
                                                          std::make_error_code(std::errc::permission_denied));
              }),
              "Error: Permission denied (os error 13) (/a, /b)\n");
    // Memory refused reads as the program's own message, also as a cause.
    EXPECT_EQ(formatted([] { with_context("outer", [] { throw std::bad_alloc(); }); }),
              "Error: outer\n\nCaused by:\n    메모리가 부족합니다\n");
}
