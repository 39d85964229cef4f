// Installation roots (from HOME, --zeltdir or config.toml) holding what a shell, tmux formats or
// tmux's source-file read specially, through every road a user takes after the README's set-up:
// setup, rebuild, a plain tmux that loads the distribution, the reload, and the bindings that run
// the program, the floating panes included (through the layer setup installs). The configuration
// must load, the bindings must run vesk with its words intact, and nothing in the name may run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <sstream>

#include "installed.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

// Generous: whole tmux servers and their plugin step start here, on machines that may be busy.
constexpr std::chrono::seconds kSlow{60};

const std::string kHostile = "r 'q\" $HOME $(touch PWNED) `touch PWNED` ; #(touch PWNED) #{pane_id} [x] \\ 한글";

enum class From { Home, Zeltdir, ConfigToml };

// One user whose root comes from `from`; every program runs in a working directory of its own,
// where a stray `touch PWNED` would land, and GitHub leads nowhere (no network).
class HostileUser {
public:
    explicit HostileUser(From from) : from_(from) {
        home_ = from == From::Home ? env_.root() / kHostile : env_.home();
        root_ = from == From::Home ? home_ / ".tmux" : env_.root() / ("z " + kHostile);
        fs::create_directories(home_);
        fs::create_directories(env_.root() / "cwd");
        env_.vars["HOME"] = home_.string();
        env_.vars["ZELT"] = std::nullopt;
        if (from == From::ConfigToml) write_text(env_.config_home() / "vesk/config.toml", "zelt = " + root_.string() + "\n");
        if (from == From::Zeltdir) {  // the rebuild's check reads its copy from TMPDIR
            fs::create_directories(env_.root() / ("t " + kHostile));
            env_.vars["TMPDIR"] = (env_.root() / ("t " + kHostile)).string();
        }
        write_text(env_.root() / "gitconfig", "[url \"file:///nonexistent/\"]\n\tinsteadOf = https://github.com/\n"
                                              "\tinsteadOf = https://git::@github.com/\n");
        env_.vars["GIT_CONFIG_GLOBAL"] = (env_.root() / "gitconfig").string();
        env_.vars["GIT_CONFIG_NOSYSTEM"] = "1";
        socket_ = "vesk-test-hostile-" + std::to_string(::getpid()) + "-" + std::to_string(static_cast<int>(from));
    }
    ~HostileUser() {
        end_tmux_server([this](std::vector<std::string> args) {
            args.insert(args.begin(), {"-L", socket_});
            return run(real_tmux(), std::move(args));
        });
    }

    RunResult run(const std::string& program, std::vector<std::string> args) const {
        if (from_ == From::Zeltdir && (args[0] == "setup" || args[0] == "rebuild"))
            args.insert(args.end(), {"--zeltdir", root_.string()});
        ChildCommand command(program, std::move(args));
        command.env = env_.env();
        command.dir((env_.root() / "cwd").string()).stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe);
        Output o = run_child(command);
        return RunResult{o.status.code().value_or(-1), std::move(o.out), std::move(o.err)};
    }
    // The user's own tmux: the default configuration of this HOME, no -f.
    std::string tmux(std::vector<std::string> args) const {
        args.insert(args.begin(), {"-L", socket_});
        std::string out = run(real_tmux(), std::move(args)).out;
        while (out.ends_with("\n")) out.pop_back();
        return out;
    }
    // Puts a program in the root's place that appends its words, joined by "|", to a new file of
    // calls; called() waits for its `n`-th call to begin with `expected`.
    void record_calls() {
        fs::remove(calls());
        write_script(root_ / "bin/vesk.new", "printf '%s|' \"$@\" >> '" + calls().string() + "'\necho >> '" +
                                                 calls().string() + "'\n");
        fs::rename(root_ / "bin/vesk.new", root_ / "bin/vesk");  // the real one may still run
    }
    bool called(std::size_t n, const std::string& expected) const {
        return wait_until([&] {
            std::stringstream lines(fs::exists(calls()) ? read_text(calls()) : "");
            std::vector<std::string> all;
            for (std::string l; std::getline(lines, l);) all.push_back(l);
            return all.size() == n && all.back().starts_with(expected);
        }, kSlow);
    }
    fs::path calls() const { return env_.root() / "calls"; }
    // Every file named PWNED anything made: under the test's directories, and where tmux may run jobs.
    std::vector<fs::path> pwned() const {
        std::vector<fs::path> found;
        for (const auto& e : fs::recursive_directory_iterator(env_.root()))
            if (e.path().filename() == "PWNED") found.push_back(e.path());
        for (const fs::path& dir : {fs::path("/"), fs::current_path()})
            if (fs::exists(dir / "PWNED")) found.push_back(dir / "PWNED");
        return found;
    }

    From from_;
    PrivateEnv env_;
    fs::path home_, root_;
    std::string socket_;
};

// The bytes a terminal with the distribution's key map sends for Ctrl and a character (CSI u).
std::vector<std::string> ctrl_csi_u(char ch) {
    std::vector<std::string> hex = {"-H", "1b", "5b"};
    for (char c : std::to_string(ch) + ";5u") {
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02x", c);
        hex.push_back(byte);
    }
    return hex;
}

// The part of a person at a client, on the Home road: prefix C-4 and C-, open their screens in
// popups through the floating-pane layer (Esc closes them), and every floating binding reaches
// the program through it, without tmux reporting a failure.
void press_the_floating_keys(HostileUser& user) {
    TmuxServer outer(160, 50, user.env_.tmp(), user.env_.home());
    outer.tmux_ok({"set-option", "-g", "status", "off"});
    const std::string client = outer.run_in_current_window({real_tmux(), "-L", user.socket_, "attach"}, user.env_.env());
    ASSERT_TRUE(wait_until([&] { return !user.tmux({"list-clients"}).empty(); }, kSlow));
    const auto press = [&](std::vector<std::string> keys) {
        keys.insert(keys.begin(), {"send-keys", "-t", client});
        outer.tmux_ok(keys);
    };
    for (const auto& [key, shown] : {std::pair{'4', "tmux-plugins/tmux-yank"}, {',', "현재 디렉터리에서 좌우로 나눕니다"}}) {
        press({"C-Space"});
        press(ctrl_csi_u(key));
        EXPECT_TRUE(outer.wait_for_text(client, shown, kSlow)) << outer.capture(client);
        press({"Escape"});
        EXPECT_TRUE(outer.wait_for_screen(client, [&](const std::string& s) { return s.find(shown) == std::string::npos; },
                                          kSlow))
            << outer.capture(client);
    }
    user.record_calls();
    const std::string pane = user.tmux({"display", "-p", "#{pane_id}"});
    const std::vector<std::pair<std::vector<std::vector<std::string>>, std::string>> floats = {
        {{{"C-Space"}, {"C-x"}}, "log|search-popup|"},
        {{{"M-d"}}, "dir|favorite|"},
        {{{"M-D"}}, "dir|popup|"},
        {{{"C-Space"}, ctrl_csi_u('5')}, "mapping|popup|"},
        {{{"M-Tab"}}, "session|tree-popup|"},
        {{{"C-Space"}, {"C-Space"}}, "quillbox|open|--target-pane|" + pane + "|--target-command|"},
    };
    std::size_t n = 0;
    for (const auto& [keys, expected] : floats) {
        for (const auto& k : keys) press(k);
        EXPECT_TRUE(user.called(++n, expected)) << expected << "\n" << read_text(user.calls());
        EXPECT_EQ(user.tmux({"display", "-p", "#{pane_in_mode}"}), "0") << expected;  // no "returned 1"
    }
}

void walk_every_road(From from) {
    HostileUser user(from);
    const fs::path root = user.root_;
    ASSERT_TRUE(fs::is_regular_file(installed_prefix() / "libexec/vesk/tmux")) << "the install rules lost the layer";
    auto r = user.run((installed_prefix() / "bin/vesk").string(), {"setup", "--profile", "linux", "--skip-plugins"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(fs::read_symlink(user.home_ / ".tmux.conf"), root / ".tmux.conf");
    r = user.run((root / "bin/vesk").string(), {"rebuild", "--profile", "linux"});
    ASSERT_EQ(r.status, 0) << r.err;

    // A plain tmux loads the whole distribution (a failing line or job would open view mode) and
    // puts the floating-pane layer first on its PATH. Without a network the system's plugin
    // manager serves, run from its own place: its key bindings name its scripts, not the root.
    user.tmux({"new-session", "-d", "-x", "120", "-y", "40"});
    EXPECT_EQ(user.tmux({"show", "-gv", "@zelt"}), root.string());
    EXPECT_EQ(user.tmux({"show", "-gv", "prefix"}), "C-Space");
    EXPECT_TRUE(wait_until([&] { return user.tmux({"show", "-sqv", "@__apply_plugins"}).empty(); }, kSlow));
    EXPECT_EQ(user.tmux({"display", "-p", "#{pane_in_mode}"}), "0");
    EXPECT_TRUE(user.tmux({"show-environment", "-g", "PATH"}).starts_with("PATH=" + (root / "libexec/vesk").string() + ":"));
    EXPECT_EQ(fs::read_symlink(root / "plugins/tpm"), "/usr/share/tmux-plugin-manager");
    EXPECT_NE(user.tmux({"list-keys", "-T", "prefix", "I"}).find("/usr/share/tmux-plugin-manager/bindings/"),
              std::string::npos);
    EXPECT_EQ(user.tmux({"show", "-sqv", "@__vesk_plugins_error"}), "");

    // The reload from inside tmux reads ~/.tmux.conf again, whatever HOME holds.
    write_text(user.env_.config_home() / "vesk/confs/conf.lab", "set -g @mark reloaded\n");
    const fs::path said = user.env_.root() / "rebuild.out";
    std::string rebuild = "'#{s/'/'\\\\''/:@zelt}/bin/vesk' rebuild";
    if (from == From::Zeltdir) rebuild += " --zeltdir '#{s/'/'\\\\''/:@zelt}'";
    user.tmux({"run-shell", rebuild + " > '" + said.string() + "' 2>/dev/null"});
    EXPECT_EQ(read_text(said), "설정을 다시 만들고 읽었습니다: " + (user.home_ / ".tmux.conf.local").string() + "\n");
    EXPECT_EQ(user.tmux({"show", "-gv", "@mark"}), "reloaded");

    if (from == From::Home) press_the_floating_keys(user);
    // Every other binding that runs the program, run as its key would (copy mode's x from its
    // run-shell on), reaches it with its subcommand.
    user.record_calls();
    std::size_t n = 0, bindings = 0;
    std::stringstream listing(user.tmux({"list-keys"}));
    for (std::string line; std::getline(listing, line);) {
        const auto at = line.find("/bin/vesk' ");
        if (at == std::string::npos || line.find("new-pane") != std::string::npos) continue;
        ++bindings;
        write_text(user.env_.root() / "binding.conf", line.substr(line.find("run-shell")) + "\n");
        user.tmux({"source-file", (user.env_.root() / "binding.conf").string()});
        const std::string subcommand = line.substr(at + 11, line.find(' ', at + 11) - at - 11);
        EXPECT_TRUE(user.called(++n, subcommand + "|")) << line << "\n" << read_text(user.calls());
    }
    EXPECT_GT(bindings, 15u);
    EXPECT_EQ(user.pwned(), std::vector<fs::path>{});
}

TEST(HostileRoots, ARootFromHomeWorksOnEveryRoadAndItsFloatingPanesOpen) { walk_every_road(From::Home); }
TEST(HostileRoots, ARootFromZeltdirWorksOnEveryRoad) { walk_every_road(From::Zeltdir); }
TEST(HostileRoots, ARootFromConfigTomlWorksOnEveryRoad) { walk_every_road(From::ConfigToml); }

}  // namespace
}  // namespace vesk::test
