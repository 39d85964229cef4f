// The plugin bootstrap of setup: the wait against an injected clock, then for real with the six
// default plugins and the plugin manager served from local bare repositories.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "config/setup_plugins.hpp"
#include "core/process.hpp"
#include "installed.hpp"
#include "support/plugin_repos.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::PrivateEnv;
using test::read_text;
using test::TempDir;

const std::vector<std::string> kRepos = {"a/one", "b/two"};

// A clock that moves only when the wait sleeps; `on_poll` runs before each busy probe with the
// number of the poll (0 first) and answers whether the manager is at work.
struct FakeWorld {
    std::chrono::steady_clock::time_point t{};
    int sleeps = 0;
    config::PluginWait wait(std::function<bool(int)> on_poll, std::chrono::milliseconds limit = 120s) {
        config::PluginWait w;
        w.now = [this] { return t; };
        w.sleep = [this](std::chrono::milliseconds d) { t += d; ++sleeps; };
        w.busy = [this, on_poll] { return on_poll(sleeps); };
        w.limit = limit;
        return w;
    }
};

TEST(PluginWait, WaitsForThePluginManagerNotOnlyForTheDirectories) {
    TempDir root;
    const auto install = [&](const std::string& name) { fs::create_directories(root / "plugins" / name); };
    const std::string note_end = "\n나중에 `vesk config plugins`에서 다시 받을 수 있습니다.\n";

    // The directories appear as the clones start; the manager goes on for three more seconds.
    FakeWorld running;
    testing::internal::CaptureStderr();
    auto left = config::wait_for_plugins(root.path(), kRepos, running.wait([&](int poll) {
        if (poll == 1) install("one"), install("two");
        return poll < 4;
    }));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(left.empty());
    EXPECT_EQ(running.sleeps, 4);

    // A clone that failed: the manager stops with a directory still missing, and the wait ends
    // at once instead of sitting out the limit.
    fs::remove_all(root / "plugins");
    FakeWorld failed;
    testing::internal::CaptureStderr();
    left = config::wait_for_plugins(root.path(), kRepos, failed.wait([&](int poll) {
        if (poll == 1) install("one");
        return poll < 2;
    }));
    EXPECT_EQ(left, std::vector<std::string>{"b/two"});
    EXPECT_EQ(failed.sleeps, 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "플러그인 설치가 끝나지 않았습니다: b/two" + note_end);

    // The limit ends a manager that never finishes; every plugin it was fetching is reported.
    install("two");
    FakeWorld endless;
    testing::internal::CaptureStderr();
    left = config::wait_for_plugins(root.path(), kRepos, endless.wait([](int) { return true; }, 3s));
    EXPECT_EQ(left, kRepos);
    EXPECT_EQ(endless.sleeps, 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "플러그인 설치가 끝나지 않았습니다: a/one, b/two" + note_end);
}

TEST(PluginWait, MissingReposAndTmuxErrors) {
    TempDir root;
    fs::create_directories(root / "plugins/tmux-yank");
    test::write_text(root / "plugins/tmux-fpp", "a file, not a plugin\n");
    EXPECT_EQ(config::missing_plugin_repos(root.path(), {"tmux-plugins/tmux-yank", "tmux-plugins/tmux-fpp", "x/tmux-tab"}),
              (std::vector<std::string>{"tmux-plugins/tmux-fpp", "x/tmux-tab"}));

    // No server of that name: the failure names the exit code, the arguments and what tmux said.
    const std::string what = test::error_text([] {
        config::run_tmux_for_setup("vesk-setup-test-none-" + std::to_string(::getpid()), {"show-options", "-s"});
    });
    EXPECT_TRUE(what.starts_with("setup plugin bootstrap용 tmux 명령 실패(exit=Some(1), args=show-options -s): stdout= stderr="))
        << what;
    EXPECT_NE(what.find("error connecting to"), std::string::npos) << what;
}

// A private HOME whose root is the default ~/.tmux, git reaching the local repositories.
class PluginSetup : public ::testing::Test {
protected:
    PluginSetup() {
        test::write_plugin_git_config(env.root() / "gitconfig", env.root() / "srv");
        env.vars["ZELT"] = std::nullopt;
        env.vars["GIT_CONFIG_GLOBAL"] = (env.root() / "gitconfig").string();
        env.vars["GIT_CONFIG_NOSYSTEM"] = "1";
        env.vars["TMUX_PLUGIN_MANAGER_PATH"] = std::nullopt;
        env.vars["TMUX_CONF"] = std::nullopt;
        env.vars["TMUX_CONF_LOCAL"] = std::nullopt;
    }
    ~PluginSetup() override {
        ChildCommand kill(test::real_tmux(), {"-L", socket, "kill-server"});
        kill.env = env.env();
        kill.in = kill.out = kill.err = Stdio::Null;
        run_child(kill);
    }
    test::RunResult setup() { return env.run_program((test::installed_prefix() / "bin/vesk").string(), {"setup"}); }
    fs::path root() const { return env.home() / ".tmux"; }
    test::RunResult tmux(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"-L", socket};
        all.insert(all.end(), args.begin(), args.end());
        auto r = env.run_program(test::real_tmux(), all);
        while (!r.out.empty() && r.out.back() == '\n') r.out.pop_back();
        return r;
    }
    // No private setup server outlives setup.
    bool setup_server_gone() {
        for (const auto& e : fs::recursive_directory_iterator(env.tmp()))
            if (e.path().filename().string().starts_with("vesk-setup-") &&
                env.run_program(test::real_tmux(), {"-S", e.path().string(), "has-session"}).status == 0)
                return false;
        return true;
    }

    PrivateEnv env;
    std::string socket = "vesk-test-user-" + std::to_string(::getpid());
};

TEST_F(PluginSetup, InstallsTheDefaultPluginsAndAPlainTmuxLoadsTheDistribution) {
    test::serve_plugin_repos(env.root() / "work", env.root() / "srv", test::kDefaultPluginRepos);
    auto r = setup();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string built = "설정을 조립했습니다: " + (env.home() / ".tmux.conf.local").string() + "\n";
    EXPECT_NE(r.out.find(built + "플러그인 6개를 받습니다...\n\niTerm2를"), std::string::npos) << r.out;
    for (const auto& repo : test::kDefaultPluginRepos)
        EXPECT_TRUE(fs::is_regular_file(root() / "plugins" / test::plugin_name(repo) / (test::plugin_name(repo) + ".tmux")))
            << repo;
    EXPECT_TRUE(setup_server_gone());

    // tmux as the user starts it: no -f, the private HOME's ~/.tmux.conf.
    ASSERT_EQ(tmux({"new-session", "-d", "-x", "120", "-y", "40"}).status, 0);
    EXPECT_EQ(tmux({"show", "-gv", "@zelt"}).out, root().string());
    EXPECT_NE(tmux({"list-keys", "-T", "root", "M-f"}).out.find("bin/vesk finder multimode-open"), std::string::npos);
    EXPECT_TRUE(test::wait_until([&] { return tmux({"show", "-gqv", "@loaded_tmux-tab"}).out == "yes"; }, 60s));
    for (const auto& repo : test::kDefaultPluginRepos)
        EXPECT_EQ(tmux({"show", "-gqv", "@loaded_" + test::plugin_name(repo)}).out, "yes") << repo;
    // Nothing complained: errors of the configuration would open view mode in the pane.
    EXPECT_EQ(tmux({"display", "-p", "#{pane_in_mode}"}).out, "0");
    const fs::path version = env.root() / "version";
    ASSERT_EQ(tmux({"run-shell", "#{@zelt}/bin/vesk --version > '" + version.string() + "'"}).status, 0);
    EXPECT_EQ(read_text(version), "vesk v1.2.2\n");
    tmux({"kill-server"});

    // Everything present: no server, and neither tmux nor git is looked for by the plugin step
    // (the rebuild's check finds tmux through TMUX_BIN).
    env.vars["PATH"] = (env.root() / "empty").string();
    env.vars["TMUX_BIN"] = "/usr/bin/tmux";
    r = setup();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("플러그인"), std::string::npos) << r.out;
}

TEST_F(PluginSetup, AMissingRepositoryIsReportedWhenThePluginManagerGivesUp) {
    std::vector<std::string> served(test::kDefaultPluginRepos.begin(), test::kDefaultPluginRepos.end() - 1);
    test::serve_plugin_repos(env.root() / "work", env.root() / "srv", served);
    const auto start = std::chrono::steady_clock::now();
    const auto r = setup();
    EXPECT_EQ(r.status, 0) << r.err;
    // Over when the plugin manager stopped, long before the 120 s limit.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
    EXPECT_EQ(r.err, "플러그인 설치가 끝나지 않았습니다: nhdaly/tmux-tab\n"
                     "나중에 `vesk config plugins`에서 다시 받을 수 있습니다.\n");
    for (const auto& repo : served) EXPECT_TRUE(fs::is_directory(root() / "plugins" / test::plugin_name(repo))) << repo;
    EXPECT_TRUE(setup_server_gone());
}

TEST_F(PluginSetup, WithoutGitTheBootstrapStopsBeforeAnyServer) {
    env.vars["PATH"] = (env.root() / "bin").string();
    fs::create_directories(env.root() / "bin");
    fs::create_symlink("/usr/bin/tmux", env.root() / "bin/tmux");
    const auto r = setup();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: git을 찾을 수 없어 plugin bootstrap을 실행할 수 없습니다.\n");
    EXPECT_EQ(r.out.find("iTerm2"), std::string::npos);
    EXPECT_TRUE(setup_server_gone());
}

}  // namespace
}  // namespace vesk
