#include <gtest/gtest.h>

#include "core/command.hpp"
#include "core/error.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

TEST(Command, OutputTrimmedFailuresAndStartErrors) {
    EXPECT_EQ(command_output(ChildCommand("sh", {"-c", "printf '  한국어 \\n\\n'; echo noise >&2"})), "한국어");
    EXPECT_EQ(error_text([] { command_output(ChildCommand("sh", {"-c", "echo partial; exit 3"})); }), "command failed");
    EXPECT_THROW(command_output(ChildCommand("vesk-no-such-program")), SystemError);
    // Standard input is not the test's: a reader sees end of file at once.
    EXPECT_EQ(command_output(ChildCommand("cat")), "");
}

TEST(Command, WhichAndRequireCommand) {
    TempDir dir;
    fs::create_directories(dir / "cwd");
    fs::create_directories(dir / "later" / "adir");
    write_text(dir / "cwd" / "tool", "");
    write_text(dir / "later" / "tool", "");  // no execute bit: still found
    write_text(dir / "later" / "only-later", "");

    EnvGuard env;
    fs::current_path(dir / "cwd");
    env.set("PATH", ":" + (dir / "later").string());
    EXPECT_EQ(which("tool"), fs::path("tool"));  // the empty entry, the working directory, first
    EXPECT_EQ(which("only-later"), dir / "later" / "only-later");
    EXPECT_FALSE(which("adir"));
    EXPECT_FALSE(which("missing"));
    env.unset("PATH");
    EXPECT_FALSE(which("sh"));

    env.set("PATH", (dir / "later").string());
    EXPECT_NO_THROW(require_command("only-later", "없음"));
    EXPECT_EQ(error_text([] { require_command("nothing", "fzf를 찾을 수 없습니다."); }), "fzf를 찾을 수 없습니다.");
}
