#include <gtest/gtest.h>

#include "agent/git_project.hpp"
#include "core/command.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

TEST(GitProject, DotProjectFileElseOriginUrl) {
    TempDir dir;
    EnvGuard env;
    env.set("GIT_CONFIG_GLOBAL", "/dev/null");
    env.set("GIT_CONFIG_NOSYSTEM", "1");
    env.set("GIT_CEILING_DIRECTORIES", dir.path().string());
    const fs::path repo = fs::canonical(dir.path()) / "프로젝트 it's";
    fs::create_directories(repo / "sub");
    const auto git = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"-C", repo.string()});
        command_output(ChildCommand("git", args));
    };
    git({"init", "-q"});

    EXPECT_FALSE(detect_git_project(repo / "sub"));  // no .project, no origin

    git({"config", "remote.origin.url", "git@example.com:team/repo.git.git"});
    EXPECT_EQ(detect_git_project(repo / "sub"), "repo");
    write_text(repo / ".project", "  내 프로젝트  \nsecond\n");
    EXPECT_EQ(detect_git_project(repo / "sub"), "내 프로젝트");
    write_text(repo / ".project", "   \n");  // blank: the URL decides
    EXPECT_EQ(detect_git_project(repo), "repo");
    git({"config", "remote.origin.url", "https://example.com/x/.git"});
    EXPECT_FALSE(detect_git_project(repo));
}
