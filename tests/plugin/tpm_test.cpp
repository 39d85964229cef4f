#include "plugin/tpm.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

#include "core/env_guard.hpp"
#include "plugin/source.hpp"
#include "support/plugin_repos.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk::plugin {
namespace {

namespace fs = std::filesystem;
using test::all_processes;
using test::error_text;
using test::ProcessEntry;
using test::TempDir;
using test::wait_until;
using test::write_text;

// The plugin manager the tests run: it does exactly the calls the jobs rely on (see its scripts).
fs::path stand_in_tpm() { return fs::path(VESK_TEST_DATA) / "plugin" / "tpm-stand-in"; }

// The vesk-tpm-* directories in the private temporary directory.
std::vector<fs::path> temp_dirs(const fs::path& tmp) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(tmp))
        if (e.path().filename().string().starts_with("vesk-tpm-")) out.push_back(e.path());
    return out;
}

// Whether a child of this process that ran sh has ended unreaped ("[sh] <defunct>"). Running
// ones are the test servers' own watchers.
bool sh_zombies() {
    const auto procs = all_processes();
    return std::any_of(procs.begin(), procs.end(),
                       [](const ProcessEntry& p) { return p.name == "sh" && p.state == 'Z' && p.ppid == ::getpid(); });
}

// Polls a job until it ends: "ok" when it finished well, else its failure's message.
std::string wait_for(tpm::Job& job) {
    const std::string running = "(still running)";
    std::string result = running;
    wait_until([&] {
        result = error_text([&] {
            if (!job.finished()) throw std::runtime_error(running);
        });
        return result != running;
    });
    return result == "(no error)" ? "ok" : result;
}

// A private HOME and TMPDIR, a tmux server TMUX points at, github.com answered by local bare
// repositories, and a plugins directory (with a blank in its name) holding the plugin manager.
struct TpmWorld {
    explicit TpmWorld(const fs::path& tpm) {
        fs::create_directories(root / "home");
        fs::create_directories(tmp());
        fs::create_directories(plugins());
        fs::create_directory_symlink(tpm, plugins() / "tpm");
        env.set("HOME", (root / "home").string());
        env.set("TMPDIR", tmp().string());
        env.set("GIT_CONFIG_GLOBAL", repos.gitconfig().string());
        env.set("GIT_CONFIG_NOSYSTEM", "1");
        env.set("TMUX_TMPDIR", server.tmpdir().string());
        env.set("TMUX", server.tmux_env_value());
        env.unset("XDG_CONFIG_HOME");
        env.unset("TPM_STAND_IN_HOLD");
    }
    fs::path plugins() const { return root / "my plugins"; }
    fs::path tmp() const { return root / "tmp"; }

    TempDir root;
    test::EnvGuard env;
    test::TmuxServer server;
    test::ServedRepos repos{root.path()};
};

TEST(TpmJobs, RefusesWithoutThePluginManagerOrWithoutAServerToTellThePath) {
    TempDir root;
    test::EnvGuard env;
    env.set("TMPDIR", (root / "tmp").string());
    fs::create_directories(root / "tmp");
    const fs::path plugins = root / "plugins";
    fs::create_directories(plugins);

    EXPECT_EQ(error_text([&] { tpm::update(plugins, "tmux-plugins/tmux-yank"); }),
              "tpm을 찾지 못했습니다: " + (plugins / "tpm" / "scripts").string());
    // Outside tmux with no server running, tmux cannot take the path. The plugin manager would
    // then install into "/": nothing may start.
    for (const char* script : {"install_plugins.sh", "update_plugin.sh"})
        write_text(plugins / "tpm" / "scripts" / script, "touch \"$TPM_RAN\"\n");
    env.set("TPM_RAN", (root / "ran").string());
    env.unset("TMUX");
    env.set("TMUX_TMPDIR", (root / "no-server").string());
    fs::create_directories(root / "no-server");
    const std::string refused = "tmux에 플러그인 자리를 알리지 못했습니다 (종료 코드 1)";
    EXPECT_EQ(error_text([&] { tpm::fetch(plugins, "tmux-plugins/tmux-yank"); }), refused);
    EXPECT_EQ(error_text([&] { tpm::update(plugins, "tmux-plugins/tmux-yank"); }), refused);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(root / "ran"));
    EXPECT_TRUE(temp_dirs(root / "tmp").empty());
}

TEST(TpmJobs, InstallsAndUpdatesThroughThePluginManager) {
    TpmWorld world(stand_in_tpm());
    world.repos.serve("tmux-plugins/tmux-yank", "yank.tmux");
    world.repos.serve("tmux-plugins/tmux-fpp", "fpp.tmux");
    world.env.set("TPM_STAND_IN_HOLD", (world.tmp() / "go").string());

    // A repository written with ".git" lands under the name without it, which is the name the
    // catalog looks for.
    tpm::Job job = tpm::fetch(world.plugins(), "tmux-plugins/tmux-yank.git");
    EXPECT_EQ(world.server.tmux_ok({"show-environment", "-g", "TMUX_PLUGIN_MANAGER_PATH"}),
              "TMUX_PLUGIN_MANAGER_PATH=" + world.plugins().string() + "/");

    // While the script waits, asking comes back at once, and the private configuration is there,
    // for this user only.
    EXPECT_FALSE(job.finished());
    auto dirs = temp_dirs(world.tmp());
    ASSERT_EQ(dirs.size(), 1u);
    struct stat st {};
    ASSERT_EQ(::stat(dirs[0].c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(test::read_text(dirs[0] / "tmux" / "tmux.conf"), "set -g @plugin 'tmux-plugins/tmux-yank.git'\n");

    write_text(world.tmp() / "go", "");
    EXPECT_EQ(wait_for(job), "ok");
    EXPECT_FALSE(fs::exists(dirs[0]));
    // Only the one plugin asked for, even with a second one served.
    EXPECT_EQ(source::installed(world.plugins()), std::vector<std::string>{"tmux-yank"});

    // An update pulls what was pushed since, for the repository as declared.
    world.repos.commit("tmux-plugins/tmux-yank", "newer.tmux");
    tpm::Job up = tpm::update(world.plugins(), "tmux-plugins/tmux-yank.git");
    EXPECT_EQ(wait_for(up), "ok");
    EXPECT_TRUE(fs::is_regular_file(world.plugins() / "tmux-yank" / "newer.tmux"));
    EXPECT_TRUE(temp_dirs(world.tmp()).empty());
}

TEST(TpmJobs, FailedOrKilledScriptsReportTheirStatusAndLeaveNothingBehind) {
    TempDir fake;
    write_text(fake / "scripts" / "install_plugins.sh", "test -r \"$XDG_CONFIG_HOME/tmux/tmux.conf\" || exit 9\nexit 3\n");
    write_text(fake / "scripts" / "update_plugin.sh", "kill -9 $$\n");
    TpmWorld world(fake.path());

    tpm::Job failed = tpm::fetch(world.plugins(), "tmux-plugins/tmux-yank");
    EXPECT_EQ(wait_for(failed), "tpm이 끝내지 못했습니다 (종료 코드 3)");
    EXPECT_TRUE(temp_dirs(world.tmp()).empty());
    tpm::Job killed = tpm::update(world.plugins(), "tmux-plugins/tmux-yank");
    EXPECT_EQ(wait_for(killed), "tpm이 끝내지 못했습니다 (종료 코드 -1)");
    // A job nobody asks about: its directory still goes once the script has ended.
    tpm::Job unasked = tpm::fetch(world.plugins(), "a/b");
    EXPECT_TRUE(wait_until([&] { return temp_dirs(world.tmp()).empty(); }));
    // The helpers that removed them are not left to the screen to reap.
    EXPECT_FALSE(wait_until([] { return sh_zombies(); }, std::chrono::milliseconds(300)));
}

TEST(TpmJobs, LeavingWhileTheInstallerRunsKeepsItsConfigurationUntilItEnds) {
    TpmWorld world(stand_in_tpm());
    world.repos.serve("tmux-plugins/tmux-yank", "yank.tmux");
    world.repos.serve("tmux-plugins/tmux-fpp", "fpp.tmux");
    world.env.set("TPM_STAND_IN_HOLD", (world.tmp() / "go").string());

    std::optional<tpm::Job> yank = tpm::fetch(world.plugins(), "tmux-plugins/tmux-yank");
    tpm::Job fpp = tpm::fetch(world.plugins(), "tmux-plugins/tmux-fpp");
    ASSERT_EQ(temp_dirs(world.tmp()).size(), 2u);
    fpp = std::move(*yank);  // the running fpp install is let go here
    yank.reset();            // a moved-from job owns nothing
    EXPECT_EQ(temp_dirs(world.tmp()).size(), 2u);
    { tpm::Job dropped = std::move(fpp); }  // the screen is left
    EXPECT_EQ(temp_dirs(world.tmp()).size(), 2u);

    // The scripts go on, still find their configurations, install, and the directories go after.
    write_text(world.tmp() / "go", "");
    EXPECT_TRUE(wait_until([&] { return source::installed(world.plugins()).size() == 2; }));
    EXPECT_TRUE(wait_until([&] { return temp_dirs(world.tmp()).empty(); }));
}

TEST(TpmJobs, DebiansPluginManagerIgnoresThePrivateConfiguration) {
    // Debian's plugin manager (3.0.0) reads only /etc/tmux.conf, ~/.tmux.conf and what they source:
    // the install job succeeds without installing the plugin it was given.
    TpmWorld world("/usr/share/tmux-plugin-manager");
    world.repos.serve("tmux-plugins/tmux-yank", "yank.tmux");

    tpm::Job job = tpm::fetch(world.plugins(), "tmux-plugins/tmux-yank");
    EXPECT_EQ(wait_for(job), "ok");
    EXPECT_TRUE(source::installed(world.plugins()).empty());
    EXPECT_TRUE(temp_dirs(world.tmp()).empty());

}

TEST(TpmRemove, RefusesNamesOutsideThePluginsDirectoryAndRemovesPlugins) {
    TempDir root;
    const fs::path dir = root / "plugins";
    fs::create_directories(dir / "tpm" / "scripts");
    fs::create_directories(dir / "sub" / "x");
    fs::create_directories(root / "outside");
    write_text(dir / "tmux-yank" / "deep" / "file", "x");
    write_text(dir / "plain", "x");

    for (std::string name : {"", "tpm"})
        EXPECT_EQ(error_text([&] { tpm::remove(dir, name); }), "지울 수 없는 이름입니다: " + name);
    for (std::string name : {".", "..", "../outside", "sub/x", "sub\\x", "a..b", "/"})
        EXPECT_EQ(error_text([&] { tpm::remove(dir, name); }), "이름에 경로가 섞여 있습니다: " + name);
    EXPECT_TRUE(fs::is_directory(dir / "tpm" / "scripts"));
    EXPECT_TRUE(fs::is_directory(dir / "sub" / "x"));
    EXPECT_TRUE(fs::is_directory(root / "outside"));

    EXPECT_NO_THROW(tpm::remove(dir, "plain"));  // not a plugin directory: left alone
    EXPECT_TRUE(fs::is_regular_file(dir / "plain"));
    tpm::remove(dir, "tmux-yank");
    EXPECT_FALSE(fs::exists(dir / "tmux-yank"));
    // A plugin that is a link to a directory elsewhere: the link goes, what it points to stays.
    write_text(root / "elsewhere" / "keep", "x");
    fs::create_directory_symlink(root / "elsewhere", dir / "linked");
    tpm::remove(dir, "linked");
    EXPECT_FALSE(fs::exists(dir / "linked"));
    EXPECT_TRUE(fs::is_regular_file(root / "elsewhere" / "keep"));
}

}  // namespace
}  // namespace vesk::plugin
