// Installation roots (from HOME, --zeltdir or config.toml) holding what a shell, tmux formats or
// tmux's source-file read specially, through every road a user takes: setup, rebuild, a plain
// tmux that loads the distribution, the reload, and the bindings that run the program, the
// floating panes included (through the layer setup installs, as a user after the README's set-up
// meets them). The configuration must load, the bindings must run vesk with the root intact, and
// nothing in the name may ever run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <sstream>

#include "core/quote.hpp"
#include "installed.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

// Generous deadlines: these runs start whole tmux servers and their plugin step, on machines that
// may be busy building.
constexpr std::chrono::seconds kSlow{60};

const std::string kHostile = "r 'q\" $HOME $(touch PWNED) `touch PWNED` ; #(touch PWNED) #{pane_id} [x] \\ 한글";

enum class From { Home, Zeltdir, ConfigToml };

// One user whose root comes from `from`, with a plain tmux of its own started in `cwd`.
class HostileUser {
public:
    explicit HostileUser(From from) : from_(from) {
        home_ = from == From::Home ? env_.root() / kHostile : env_.home();
        root_ = from == From::Home ? home_ / ".tmux" : env_.root() / ("z " + kHostile);
        cwd_ = env_.root() / "cwd";
        fs::create_directories(home_);
        fs::create_directories(cwd_);
        env_.vars["HOME"] = home_.string();
        env_.vars["ZELT"] = std::nullopt;
        if (from == From::ConfigToml) write_text(env_.config_home() / "vesk/config.toml", "zelt = " + root_.string() + "\n");
        // The plugin step at tmux start fetches from GitHub: here it finds nothing, without a network.
        write_text(env_.root() / "gitconfig", "[url \"file:///nonexistent/\"]\n\tinsteadOf = https://github.com/\n"
                                              "\tinsteadOf = https://git::@github.com/\n");
        env_.vars["GIT_CONFIG_GLOBAL"] = (env_.root() / "gitconfig").string();
        env_.vars["GIT_CONFIG_NOSYSTEM"] = "1";
        socket_ = "vesk-test-hostile-" + std::to_string(::getpid()) + "-" + std::to_string(static_cast<int>(from));
    }
    ~HostileUser() { tmux({"kill-server"}); }

    const fs::path& root() const { return root_; }
    const std::string& socket() const { return socket_; }
    const fs::path& home() const { return home_; }
    PrivateEnv& env() { return env_; }

    // A program run as this user, in the working directory where a stray `touch PWNED` would land.
    RunResult run(const std::string& program, std::vector<std::string> args) const {
        ChildCommand command(program, std::move(args));
        command.env = env_.env();
        command.dir(cwd_.string()).stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe);
        Output o = run_child(command);
        return RunResult{o.status.code().value_or(-1), std::move(o.out), std::move(o.err)};
    }
    // The root argument the commands need on this road.
    std::vector<std::string> root_args() const {
        if (from_ == From::Zeltdir) return {"--zeltdir", root_.string()};
        return {};
    }
    // The user's tmux: the default configuration of this HOME, no -f.
    RunResult tmux(std::vector<std::string> args) const {
        args.insert(args.begin(), {"-L", socket_});
        RunResult r = run(real_tmux(), std::move(args));
        while (r.out.ends_with("\n")) r.out.pop_back();
        return r;
    }
    // Every file named PWNED that anything made: under the test's directories, the working
    // directories tmux may run jobs in, and the root directory.
    std::vector<fs::path> pwned() const {
        std::vector<fs::path> found;
        for (const auto& e : fs::recursive_directory_iterator(env_.root()))
            if (e.path().filename() == "PWNED") found.push_back(e.path());
        for (const fs::path& dir : {fs::path("/"), fs::current_path()})
            if (fs::exists(dir / "PWNED")) found.push_back(dir / "PWNED");
        return found;
    }

private:
    From from_;
    PrivateEnv env_;
    fs::path home_, root_, cwd_;
    std::string socket_;
};

// The bindings of a loaded server that run the program, as list-keys shows them.
std::vector<std::string> vesk_bindings(const HostileUser& user) {
    std::vector<std::string> lines;
    std::stringstream listing(user.tmux({"list-keys"}).out);
    for (std::string line; std::getline(listing, line);)
        if (line.find("/bin/vesk'") != std::string::npos) lines.push_back(line);
    return lines;
}

void walk_every_road(From from) {
    HostileUser user(from);
    const fs::path root = user.root();
    auto r = user.run((installed_prefix() / "bin/vesk").string(),
                      [&] {
                          std::vector<std::string> a = {"setup", "--profile", "linux", "--skip-plugins"};
                          for (auto& w : user.root_args()) a.push_back(w);
                          return a;
                      }());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("설치 자리를 마련했습니다: " + root.string() + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(fs::read_symlink(user.home() / ".tmux.conf"), root / ".tmux.conf");

    const std::string vesk = (root / "bin/vesk").string();
    std::vector<std::string> rebuild = {"rebuild", "--profile", "linux"};
    for (auto& w : user.root_args()) rebuild.push_back(w);
    r = user.run(vesk, rebuild);
    ASSERT_EQ(r.status, 0) << r.err;

    // A plain tmux loads the whole distribution: @zelt is the root, the framework's plugin step
    // ends, and no line of it failed (a failing line or job opens view mode).
    ASSERT_EQ(user.tmux({"new-session", "-d", "-x", "120", "-y", "40"}).status, 0);
    EXPECT_EQ(user.tmux({"show", "-gv", "@zelt"}).out, root.string());
    EXPECT_EQ(user.tmux({"show", "-gv", "prefix"}).out, "C-Space");
    EXPECT_TRUE(wait_until([&] { return user.tmux({"show", "-sqv", "@__apply_plugins"}).out.empty(); }, kSlow));
    EXPECT_EQ(user.tmux({"display", "-p", "#{pane_in_mode}"}).out, "0");
    // Without a network the system's plugin manager serves, run from its own place (its key
    // bindings name its scripts there, not under the root); nothing failed to come.
    EXPECT_EQ(fs::read_symlink(root / "plugins/tpm"), "/usr/share/tmux-plugin-manager");
    EXPECT_NE(user.tmux({"list-keys", "-T", "prefix", "I"}).out.find("/usr/share/tmux-plugin-manager/bindings/"),
              std::string::npos);
    EXPECT_EQ(user.tmux({"show", "-sqv", "@__vesk_plugins_error"}).out, "");

    // The reload from inside tmux reads ~/.tmux.conf again, whatever HOME holds.
    write_text(user.env().config_home() / "vesk/confs/conf.lab", "set -g @mark reloaded\n");
    const fs::path said = user.env().root() / "rebuild.out";
    std::string run_rebuild = "'#{s/'/'\\\\''/:@zelt}/bin/vesk' rebuild --profile linux";
    if (from == From::Zeltdir) run_rebuild += " --zeltdir '#{s/'/'\\\\''/:@zelt}'";
    ASSERT_EQ(user.tmux({"run-shell", run_rebuild + " > '" + said.string() + "' 2>/dev/null"}).status, 0);
    EXPECT_EQ(read_text(said), "설정을 다시 만들고 읽었습니다: " + (user.home() / ".tmux.conf.local").string() + "\n");
    EXPECT_EQ(user.tmux({"show", "-gv", "@mark"}).out, "reloaded");

    // Every binding that runs the program (floating panes aside: they need a client) reaches it
    // with its subcommand; a stand-in program records the calls.
    const fs::path calls = user.env().root() / "calls";
    write_script(root / "bin/vesk", "printf '%s\\n' \"$1\" >> '" + calls.string() + "'\n");
    const std::vector<std::string> bindings = vesk_bindings(user);
    EXPECT_GT(bindings.size(), 20u);
    int expected_calls = 0;
    for (const std::string& line : bindings) {
        if (line.find("new-pane") != std::string::npos) continue;
        const auto at = line.find("/bin/vesk' ") + 11;
        const std::string subcommand = line.substr(at, line.find(' ', at) - at);
        // As the key would: the command from its run-shell on (copy mode's x sends keys first).
        const fs::path conf = user.env().root() / "binding.conf";
        write_text(conf, line.substr(line.find("run-shell")) + "\n");
        ++expected_calls;
        user.tmux({"source-file", conf.string()});
        EXPECT_TRUE(wait_until([&] {
            if (!fs::exists(calls)) return false;
            std::stringstream lines(read_text(calls));
            int n = 0;
            std::string last;
            for (std::string l; std::getline(lines, l); ++n) last = l;
            return n == expected_calls && last == subcommand;
        }, kSlow)) << line << "\n" << (fs::exists(calls) ? read_text(calls) : "(no call)");
    }
    EXPECT_EQ(user.pwned(), std::vector<fs::path>{});
}

// The bytes a terminal with the distribution's key map sends for a key: tmux reads CSI u.
std::vector<std::string> csi_u(int ch, int modifier = 5) {
    std::vector<std::string> hex = {"-H", "1b", "5b"};
    const std::string text = std::to_string(ch) + ";" + std::to_string(modifier) + "u";
    for (char c : text) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(c));
        hex.push_back(byte);
    }
    return hex;
}

// After the README's set-up (install, then setup --skip-plugins), a plain tmux with a person at
// its client: prefix C-4 and C-, open their screens in popups through the floating-pane layer,
// Esc closes them, and every floating binding reaches the program through the layer, its words
// intact, without tmux reporting a failure.
TEST(FloatingPanes, APlainTmuxAfterTheReadmesSetUpOpensThemThroughTheLayer) {
    const fs::path layer = installed_prefix() / "libexec/vesk/tmux";
    ASSERT_TRUE(fs::is_regular_file(layer)) << "the install rules no longer carry the layer";
    HostileUser user(From::Home);
    const fs::path root = user.root();
    auto r = user.run((installed_prefix() / "bin/vesk").string(), {"setup", "--profile", "linux", "--skip-plugins"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(user.tmux({"new-session", "-d", "-x", "150", "-y", "45"}).status, 0);
    EXPECT_TRUE(user.tmux({"show-environment", "-g", "PATH"}).out.starts_with("PATH=" + (root / "libexec/vesk").string() + ":"));
    ASSERT_TRUE(wait_until([&] { return user.tmux({"show", "-sqv", "@__apply_plugins"}).out.empty(); }, kSlow));
    // A second load (the reload) puts it there once.
    user.tmux({"source-file", tmux_source_path((user.home() / ".tmux.conf").string())});
    const std::string path = user.tmux({"show-environment", "-g", "PATH"}).out;
    EXPECT_EQ(path.find((root / "libexec/vesk").string(), 10), std::string::npos) << path;

    TmuxServer outer(160, 50, user.env().tmp());
    outer.tmux_ok({"set-option", "-g", "status", "off"});
    const std::string client = outer.run_in_current_window({real_tmux(), "-L", user.socket(), "attach"}, user.env().env());
    ASSERT_TRUE(wait_until([&] { return !user.tmux({"list-clients"}).out.empty(); }, kSlow));
    const auto press = [&](const std::vector<std::string>& keys) { outer.tmux_ok([&] {
        std::vector<std::string> args = {"send-keys", "-t", client};
        args.insert(args.end(), keys.begin(), keys.end());
        return args;
    }()); };

    // prefix C-4: the plugin screen in a popup; Esc leaves it and the popup closes.
    press({"C-Space"});
    press(csi_u('4'));
    EXPECT_TRUE(outer.wait_for_text(client, "tmux-plugins/tmux-yank", kSlow)) << outer.capture(client);
    press({"Escape"});
    EXPECT_TRUE(outer.wait_for_screen(client, [](const std::string& s) {
        return s.find("tmux-plugins/tmux-yank") == std::string::npos;
    }, kSlow)) << outer.capture(client);
    // prefix C-,: the key-binding screen.
    press({"C-Space"});
    press(csi_u(','));
    EXPECT_TRUE(outer.wait_for_text(client, "현재 디렉터리에서 좌우로 나눕니다", kSlow)) << outer.capture(client);
    press({"Escape"});
    EXPECT_TRUE(outer.wait_for_screen(client, [](const std::string& s) {
        return s.find("현재 디렉터리에서 좌우로 나눕니다") == std::string::npos;
    }, kSlow)) << outer.capture(client);

    // The floating bindings, with a stand-in program that records its words.
    const fs::path calls = user.env().root() / "calls";
    write_script(root / "bin/vesk.new", "printf '%s|' \"$@\" >> '" + calls.string() + "'\necho >> '" + calls.string() + "'\n");
    fs::rename(root / "bin/vesk.new", root / "bin/vesk");
    const std::string pane = user.tmux({"display", "-p", "#{pane_id}"}).out;
    const std::vector<std::pair<std::vector<std::vector<std::string>>, std::string>> floats = {
        {{{"C-Space"}, {"C-x"}}, "log|search-popup|"},
        {{{"M-d"}}, "dir|favorite|"},
        {{{"M-D"}}, "dir|popup|"},
        {{{"C-Space"}, csi_u('5')}, "mapping|popup|"},
        {{{"M-Tab"}}, "session|tree-popup|"},
        {{{"C-Space"}, {"C-Space"}}, "quillbox|open|--target-pane|" + pane + "|--target-command|"},
    };
    std::size_t done = 0;
    for (const auto& [keys, expected] : floats) {
        for (const auto& k : keys) press(k);
        ++done;
        EXPECT_TRUE(wait_until([&] {
            if (!fs::exists(calls)) return false;
            std::stringstream lines(read_text(calls));
            std::vector<std::string> all;
            for (std::string l; std::getline(lines, l);) all.push_back(l);
            return all.size() == done && all.back().starts_with(expected);
        }, kSlow)) << expected << "\n" << (fs::exists(calls) ? read_text(calls) : "(no call)");
        EXPECT_EQ(user.tmux({"display", "-p", "#{pane_in_mode}"}).out, "0") << expected;  // no "returned 1"
    }
    EXPECT_EQ(user.pwned(), std::vector<fs::path>{});
}

TEST(HostileRoots, ARootFromHomeWorksOnEveryRoad) { walk_every_road(From::Home); }
TEST(HostileRoots, ARootFromZeltdirWorksOnEveryRoad) { walk_every_road(From::Zeltdir); }
TEST(HostileRoots, ARootFromConfigTomlWorksOnEveryRoad) { walk_every_road(From::ConfigToml); }

}  // namespace
}  // namespace vesk::test
