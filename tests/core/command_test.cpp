#include <gtest/gtest.h>

#include <filesystem>

#include "core/command.hpp"
#include "core/error.hpp"
#include "env_guard.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using vesk::test::EnvGuard;
using vesk::test::TempDir;
using vesk::test::write_text;
namespace fs = std::filesystem;

TEST(Command, OutputTrimmedFailuresAndStartErrors) {
    EXPECT_EQ(command_output(ChildCommand("sh", {"-c", "printf '  한국어 \\n\\n'; echo noise >&2"})), "한국어");
    try {
        command_output(ChildCommand("sh", {"-c", "echo partial; exit 3"}));
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "command failed");
    }
    EXPECT_THROW(command_output(ChildCommand("vesk-no-such-program")), SystemError);

    EXPECT_EQ(command_output_allow_failure(ChildCommand("sh", {"-c", "printf ' out \\n'; exit 1"})), " out \n");
    EXPECT_EQ(command_output_allow_failure(ChildCommand("sh", {"-c", "printf '\\377'"})), "\uFFFD");
    EXPECT_THROW(command_output_allow_failure(ChildCommand("vesk-no-such-program")), SystemError);
    // Standard input is not the test's: a reader sees end of file at once.
    EXPECT_EQ(command_output(ChildCommand("cat")), "");
}

TEST(Command, WhichAndRequireCommand) {
    TempDir dir;
    fs::create_directories(dir / "cwd");
    fs::create_directories(dir / "later");
    fs::create_directories(dir / "later" / "adir");
    write_text(dir / "cwd" / "tool", "");
    write_text(dir / "later" / "tool", "");  // no execute bit: still found
    write_text(dir / "later" / "only-later", "");
    fs::create_symlink(dir / "later" / "only-later", dir / "cwd" / "link");

    EnvGuard env;
    fs::current_path(dir / "cwd");
    env.set("PATH", ":" + (dir / "later").string());
    EXPECT_EQ(which("tool"), fs::path("tool"));  // the empty entry, the working directory, first
    EXPECT_EQ(which("link"), fs::path("link"));
    EXPECT_EQ(which("only-later"), dir / "later" / "only-later");
    EXPECT_FALSE(which("adir"));
    EXPECT_FALSE(which("missing"));
    env.set("PATH", (dir / "later").string() + ":");
    EXPECT_EQ(which("tool"), dir / "later" / "tool");
    env.unset("PATH");
    EXPECT_FALSE(which("sh"));

    env.set("PATH", (dir / "later").string());
    EXPECT_NO_THROW(require_command("only-later", "없음"));
    EXPECT_NO_THROW(require_command("tool", "없음"));
    fs::current_path(dir.path());
    write_text(dir / "fzf", "");
    EXPECT_NO_THROW(require_command("fzf", "fzf를 찾을 수 없습니다."));
    try {
        require_command("nothing", "fzf를 찾을 수 없습니다.");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "fzf를 찾을 수 없습니다.");
    }
}

TEST(Command, PrependToolPathReachesChildren) {
    EnvGuard env;
    env.set("PATH", "/custom");
    prepend_tool_path();
    EXPECT_STREQ(std::getenv("PATH"), "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/custom");
    prepend_tool_path();
    EXPECT_STREQ(std::getenv("PATH"),
                 "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/custom");
    EXPECT_EQ(command_output(ChildCommand("sh", {"-c", "echo $PATH"})), std::getenv("PATH"));

    env.unset("PATH");
    prepend_tool_path();
    EXPECT_STREQ(std::getenv("PATH"), "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:");
    env.set("PATH", "/bad\xff");
    prepend_tool_path();
    EXPECT_STREQ(std::getenv("PATH"), "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:");
}
