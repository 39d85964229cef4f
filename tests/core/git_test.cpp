#include <gtest/gtest.h>

#include <filesystem>

#include "core/command.hpp"
#include "core/git.hpp"
#include "env_guard.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using vesk::test::EnvGuard;
using vesk::test::TempDir;
using vesk::test::write_text;
namespace fs = std::filesystem;

namespace {

void git(const fs::path& dir, std::vector<std::string> args) {
    ChildCommand c("git", {"-C", dir.string()});
    for (auto& a : args) c.arg(std::move(a));
    command_output(c);
}

// A repository with nothing of the developer's own git configuration.
fs::path make_repo(EnvGuard& env, const TempDir& dir, const std::string& name) {
    env.set("GIT_CONFIG_GLOBAL", "/dev/null");
    env.set("GIT_CONFIG_NOSYSTEM", "1");
    env.set("GIT_CEILING_DIRECTORIES", dir.path().string());
    fs::path repo = fs::canonical(dir.path()) / name;
    fs::create_directories(repo / "sub" / "deeper");
    git(repo, {"init", "-q"});
    return repo;
}

}  // namespace

TEST(Git, RootOrTheDirectoryItself) {
    TempDir dir;
    EnvGuard env;
    fs::path repo = make_repo(env, dir, "프로젝트 it's");
    EXPECT_EQ(git_root_or(repo / "sub" / "deeper"), repo);
    fs::create_directories(dir / "plain");
    EXPECT_EQ(git_root_or(dir / "plain"), dir / "plain");
    EXPECT_EQ(git_root_or(dir / "missing"), dir / "missing");
    env.set("PATH", (dir / "no-git").string());
    EXPECT_EQ(git_root_or(repo / "sub"), repo / "sub");
}

TEST(Git, ProjectFromDotProjectThenOriginUrl) {
    TempDir dir;
    EnvGuard env;
    fs::path repo = make_repo(env, dir, "repo-dir");
    EXPECT_FALSE(detect_git_project(repo / "sub"));  // no .project, no origin

    git(repo, {"config", "remote.origin.url", "git@example.com:team/repo.git.git"});
    EXPECT_EQ(detect_git_project(repo / "sub"), "repo");

    write_text(repo / ".project", "  내 프로젝트  \nsecond\n");
    EXPECT_EQ(detect_git_project(repo / "sub"), "내 프로젝트");
    write_text(repo / ".project", "   \n");  // blank: the URL decides
    EXPECT_EQ(detect_git_project(repo), "repo");

    git(repo, {"config", "remote.origin.url", "https://example.com/x/.git"});
    EXPECT_FALSE(detect_git_project(repo));
    fs::create_directories(dir / "plain");
    EXPECT_FALSE(detect_git_project(dir / "plain"));
}
