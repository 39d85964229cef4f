// Setup's plugin bootstrap: the wait against an injected clock, then for real with the default
// plugins and the plugin manager served from local bare repositories.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include "setup/plugins.hpp"
#include "installed.hpp"
#include "support/plugin_repos.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

using namespace std::chrono_literals;

// The wait with a clock that moves only when it sleeps; `busy(n)` answers the n-th probe (0 first)
// of whether the plugin manager is at work.
std::pair<std::vector<std::string>, int> wait(
    const fs::path& root, const std::function<bool(int)>& busy, std::chrono::milliseconds limit = 120s,
    const std::function<std::vector<std::string>(const std::vector<std::string>&)>& why = {}) {
    std::chrono::steady_clock::time_point t{};
    int sleeps = 0;
    setup::PluginWait w;
    w.now = [&] { return t; };
    w.sleep = [&](std::chrono::milliseconds d) { t += d, ++sleeps; };
    w.busy = [&] { return busy(sleeps); };
    w.limit = limit;
    w.why = why;
    auto left = setup::wait_for_plugins(root, {"a/one", "b/two"}, w);
    return {left, sleeps};
}

// What git says of each repository that did not come, as the plugin manager would fetch it; a
// git that does not answer in time is named as such.
TEST(PluginWait, GitSaysWhyARepositoryCannotBeFetched) {
    TempDir dir;
    EnvGuard env;
    write_text(dir / "gitconfig", "[url \"file://" + (dir / "srv").string() +
                                      "/\"]\n\tinsteadOf = https://git::@github.com/\n[protocol \"file\"]\n\tallow = always\n");
    env.set("GIT_CONFIG_GLOBAL", (dir / "gitconfig").string());
    env.set("GIT_CONFIG_NOSYSTEM", "1");
    ServedRepos repos(dir.path());
    repos.serve("a/here", "x");
    EXPECT_EQ(setup::git_reasons({"a/here", "b/gone"}),
              std::vector<std::string>{"b/gone: fatal: '" + (dir / "srv/b/gone").string() +
                                       "' does not appear to be a git repository"});
    write_script(dir / "bin/git", "exec /bin/sleep 5\n");
    env.set("PATH", (dir / "bin").string());
    EXPECT_EQ(setup::git_reasons({"c/slow"}, 100ms), std::vector<std::string>{"c/slow: git이 제때 답하지 않았습니다"});
}

TEST(PluginWait, EndsWhenTheManagerIsDoneOrAtTheLimitAndNamesWhatIsMissing) {
    TempDir root;
    const auto install = [&](const std::string& name) { fs::create_directories(root / "plugins" / name); };
    const std::string note = "\n나중에 `vesk config plugins`에서 다시 받을 수 있습니다.\n";

    // The directories appear as the clones start; the wait goes on while the manager works.
    testing::internal::CaptureStderr();
    EXPECT_EQ(wait(root.path(),
                   [&](int n) {
                       if (n == 1) install("one"), install("two");
                       return n < 4;
                   }),
              std::make_pair(std::vector<std::string>{}, 4));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // A failed clone: the manager stops with a directory missing, and the wait ends at once.
    // The reasons come indented between the two lines.
    fs::remove_all(root / "plugins");
    testing::internal::CaptureStderr();
    EXPECT_EQ(wait(
                  root.path(),
                  [&](int n) {
                      if (n == 1) install("one");
                      return n < 2;
                  },
                  120s, [](const std::vector<std::string>& left) { return std::vector<std::string>{left[0] + ": 까닭"}; }),
              std::make_pair(std::vector<std::string>{"b/two"}, 2));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "플러그인 설치가 끝나지 않았습니다: b/two\n  b/two: 까닭" + note);

    // The limit ends a manager that never finishes; every plugin is reported.
    install("two");
    testing::internal::CaptureStderr();
    EXPECT_EQ(wait(root.path(), [](int) { return true; }, 3s),
              std::make_pair(std::vector<std::string>{"a/one", "b/two"}, 3));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "플러그인 설치가 끝나지 않았습니다: a/one, b/two" + note);

    // A file where the plugin's directory belongs is missing too.
    write_text(root / "plugins/tmux-fpp", "not a plugin\n");
    EXPECT_EQ(setup::missing_plugin_repos(root.path(), {"x/two", "y/tmux-fpp", "z/three"}),
              (std::vector<std::string>{"y/tmux-fpp", "z/three"}));
    // A tmux failure names the exit code, the arguments and what tmux said.
    const std::string what = error_text([] {
        setup::run_tmux_for_setup("vesk-setup-test-none-" + std::to_string(::getpid()), {"show-options", "-s"});
    });
    EXPECT_TRUE(what.starts_with("setup plugin bootstrap용 tmux 명령 실패(exit=Some(1), args=show-options -s): stdout= stderr="))
        << what;
    EXPECT_NE(what.find("error connecting to"), std::string::npos) << what;
}

// A private HOME whose default root ~/.tmux gets the plugins from the local repositories.
TEST(PluginSetup, FetchesTheDefaultPluginsAndAPlainTmuxLoadsTheDistribution) {
    PrivateEnv env;
    ServedRepos repos(env.root());
    const std::string socket = "vesk-test-user-" + std::to_string(::getpid());
    const fs::path root = env.home() / ".tmux";
    for (const char* name : {"ZELT", "TMUX_PLUGIN_MANAGER_PATH", "TMUX_CONF", "TMUX_CONF_LOCAL"}) env.vars[name] = std::nullopt;
    env.vars["GIT_CONFIG_GLOBAL"] = repos.gitconfig().string();
    env.vars["GIT_CONFIG_NOSYSTEM"] = "1";
    const auto setup = [&] { return env.run_program((installed_prefix() / "bin/vesk").string(), {"setup"}); };
    const auto tmux = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"-L", socket});
        auto r = env.run_program(real_tmux(), args);
        while (r.out.ends_with("\n")) r.out.pop_back();
        return r;
    };
    struct Kill {
        std::function<void()> f;
        ~Kill() { f(); }
    } kill{[&] { end_tmux_server(tmux); }};
    // No private setup server outlives setup, nor its socket (tmux leaves sockets behind).
    const auto setup_server_gone = [&] {
        for (const auto& e : fs::recursive_directory_iterator(env.tmp()))
            if (e.path().filename().string().starts_with("vesk-setup-")) return false;
        return true;
    };

    // Without git the bootstrap stops before any server.
    fs::create_directories(env.root() / "bin");
    fs::create_symlink(real_tmux(), env.root() / "bin/tmux");
    env.vars["PATH"] = (env.root() / "bin").string();
    auto r = setup();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: git을 찾을 수 없어 plugin bootstrap을 실행할 수 없습니다.\n");
    EXPECT_EQ(r.out.find("iTerm2"), std::string::npos);
    EXPECT_TRUE(setup_server_gone());
    env.vars.erase("PATH");

    // A repository that cannot be fetched is reported once the plugin manager gives up,
    // before the 120 s limit; the others are installed.
    repos.serve_plugins(kDefaultPluginRepos);
    const fs::path tab = env.root() / "srv/nhdaly/tmux-tab.git";
    fs::rename(tab, env.root() / "hidden");
    const auto start = std::chrono::steady_clock::now();
    r = setup();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 110s);
    // Setup says why: what git says of the repository.
    EXPECT_EQ(r.err, "플러그인 설치가 끝나지 않았습니다: nhdaly/tmux-tab\n"
                     "  nhdaly/tmux-tab: fatal: '" + (env.root() / "srv/nhdaly/tmux-tab").string() +
                         "' does not appear to be a git repository\n"
                     "나중에 `vesk config plugins`에서 다시 받을 수 있습니다.\n");
    // The system's plugin manager serves; none was fetched.
    EXPECT_EQ(fs::read_symlink(root / "plugins/tpm"), "/usr/share/tmux-plugin-manager");
    EXPECT_NE(r.out.find("플러그인 6개를 받습니다...\n\niTerm2를"), std::string::npos) << r.out;
    EXPECT_TRUE(setup_server_gone());

    // The next run fetches only what is missing.
    fs::rename(env.root() / "hidden", tab);
    r = setup();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("설정을 조립했습니다: " + (env.home() / ".tmux.conf.local").string() +
                         "\n플러그인 1개를 받습니다...\n\niTerm2를"),
              std::string::npos)
        << r.out;
    for (const auto& repo : kDefaultPluginRepos)
        EXPECT_TRUE(fs::is_regular_file(root / "plugins" / plugin_name(repo) / (plugin_name(repo) + ".tmux"))) << repo;
    EXPECT_TRUE(setup_server_gone());

    // tmux as the user starts it (no -f: the private HOME's ~/.tmux.conf) loads it all cleanly.
    ASSERT_EQ(tmux({"new-session", "-d", "-x", "120", "-y", "40"}).status, 0);
    EXPECT_EQ(tmux({"show", "-gv", "@zelt"}).out, root.string());
    EXPECT_EQ(tmux({"show", "-gv", "prefix"}).out, "C-Space");
    EXPECT_EQ(tmux({"show", "-gv", "display-panes-time"}).out, "2300");
    const std::string vesk = R"('#{s/'/'\\\\''/:@zelt}/bin/vesk' )";
    for (const auto& [table, key, command] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"root", "M-f", "run-shell -b \"" + vesk + "finder multimode-open '#{pane_id}' "},
             {"prefix", "C-x", "run-shell \"tmux new-pane -x 90% -y 40% -X 5% -Y 30% -- " + vesk + "log search-popup\""},
             {"prefix", "C-r", vesk + "rebuild"},
             {"copy-mode-vi", "x", "copy-selection-and-cancel \\; run-shell -b \"" + vesk + "copy cut-selection '#{pane_id}'\""},
             {"prefix", "Enter", vesk + "pane zoom-toggle"},
             {"root", "M-Tab", vesk + "session tree-popup"}})
        EXPECT_NE(tmux({"list-keys", "-T", table, key}).out.find(command), std::string::npos) << table << " " << key;
    // The plugin manager runs the plugins' *.tmux files through an unquoted glob: under a path
    // with a blank none of them can load, whatever the distribution does.
    if (root.string().find(' ') == std::string::npos) {
        EXPECT_TRUE(wait_until([&] { return tmux({"show", "-gqv", "@loaded_tmux-tab"}).out == "yes"; }, 180s));
        for (const auto& repo : kDefaultPluginRepos)
            EXPECT_EQ(tmux({"show", "-gqv", "@loaded_" + plugin_name(repo)}).out, "yes") << repo;
    }
    EXPECT_EQ(tmux({"display", "-p", "#{pane_in_mode}"}).out, "0");  // a failing line or job opens view mode
    const fs::path version = env.root() / "version";
    ASSERT_EQ(tmux({"run-shell", "'#{@zelt}/bin/vesk' --version > '" + version.string() + "'"}).status, 0);
    EXPECT_EQ(read_text(version), "vesk v1.2.2\n");
    end_tmux_server(tmux);

    // Everything present: no server, and neither tmux nor git is looked for by the plugin step
    // (the rebuild's check finds tmux through TMUX_BIN).
    env.vars["PATH"] = (env.root() / "empty").string();
    env.vars["TMUX_BIN"] = real_tmux();
    r = setup();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("플러그인"), std::string::npos) << r.out;
}

// A signal while setup waits for the plugin manager ends the private server and the manager's
// work (a clone under way) and removes its socket, then ends setup as that signal would.
TEST(PluginSetup, ASignalDuringThePluginWaitEndsThePrivateServer) {
    PrivateEnv env;
    ServedRepos repos(env.root());
    repos.serve_plugins(kDefaultPluginRepos);
    env.vars["ZELT"] = std::nullopt;
    env.vars["GIT_CONFIG_GLOBAL"] = repos.gitconfig().string();
    env.vars["GIT_CONFIG_NOSYSTEM"] = "1";
    // A git that takes its time: setup is still waiting when the signal comes.
    const fs::path bin = env.root() / "bin", started = env.root() / "git-started";
    write_script(bin / "git", "echo $$ > '" + started.string() + "'\nsleep 20\nexec /usr/bin/git \"$@\"\n");
    env.vars["PATH"] = bin.string() + ":" + std::getenv("PATH");
    const fs::path sockets = env.tmp() / ("tmux-" + std::to_string(::getuid()));
    for (int sig : {SIGTERM, SIGHUP}) {
        fs::remove(started);
        ChildCommand command((installed_prefix() / "bin/vesk").string(), {"setup", "--profile", "linux"});
        command.env = env.env();
        Child setup = Child::spawn(command.stdin_(Stdio::Null).stdout_(Stdio::Null).stderr_(Stdio::Null));
        ASSERT_TRUE(wait_until([&] { return fs::exists(started); }, 90s)) << sig;
        const fs::path socket = sockets / ("vesk-setup-" + std::to_string(setup.pid()));
        const std::string server =
            env.run_program(real_tmux(), {"-S", socket.string(), "display", "-p", "#{pid}"}).out;
        ASSERT_FALSE(server.empty());
        ::kill(setup.pid(), sig);
        EXPECT_EQ(setup.wait().signal(), sig);
        EXPECT_FALSE(fs::exists(socket)) << sig;
        EXPECT_TRUE(wait_until([&] { return ::kill(std::stoi(server), 0) != 0; }, 30s)) << "the server still runs";
        // The plugin manager's clone, below the job tmux ends, goes too.
        const pid_t git = std::stoi(read_text(started));
        EXPECT_TRUE(wait_until([&] { return ::kill(git, 0) != 0; }, 30s)) << "the clone still runs";
    }
}

}  // namespace
}  // namespace vesk::test
