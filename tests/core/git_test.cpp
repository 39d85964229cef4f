#include <gtest/gtest.h>

#include "core/command.hpp"
#include "core/git.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

TEST(Git, Root) {
    TempDir dir;
    EnvGuard env;
    env.set("GIT_CONFIG_GLOBAL", "/dev/null");
    env.set("GIT_CONFIG_NOSYSTEM", "1");
    env.set("GIT_CEILING_DIRECTORIES", dir.path().string());
    const fs::path repo = fs::canonical(dir.path()) / "프로젝트 it's";
    fs::create_directories(repo / "sub" / "deeper");
    fs::create_directories(dir / "plain");
    const auto git = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"-C", repo.string()});
        command_output(ChildCommand("git", args));
    };
    git({"init", "-q"});

    EXPECT_EQ(git_root_or(repo / "sub" / "deeper"), repo);
    EXPECT_EQ(git_root_or(dir / "plain"), dir / "plain");
    env.set("PATH", (dir / "no-git").string());
    EXPECT_EQ(git_root_or(repo / "sub"), repo / "sub");
}
