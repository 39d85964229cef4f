// `vesk doctor` on real installations made by `vesk setup`: healthy ones, and ones broken one way
// at a time, outside tmux and inside the user's own tmux server; the printed remedies are run as a
// user would paste them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "core/command.hpp"
#include "core/text.hpp"
#include "doctor/doctor.hpp"
#include "setup/installed.hpp"
#include "support/plugin_repos.hpp"
#include "support/tmux_server.hpp"
#include "tmux/tmux.hpp"

namespace vesk::test {
namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;
using Severities = std::vector<std::pair<std::string, std::string>>;

const std::vector<std::string> kPrograms = {"tmux", "git", "fzf", "rg", "bat", "zip", "editor", "mode"};
const std::vector<std::string> kInstall = {"current-exe", "zelt-root", "bin/vesk", ".tmux.conf", ".tmux.conf.local",
                                           "lib/vimrc", "lib/general-index-aligner.vim", "lib/grf-index-aligner.vim",
                                           "doc/MAPPING.md", "doc/keybindings.itermkeymap"};
const std::vector<std::string> kLive = {"@vim_bin", "@zelt_bin", "TMUX_CONF", "TMUX_CONF_LOCAL", "key-config",
                                        "key-plugins", "key-doctor", "key-session", "key-finder", "key-tidewell",
                                        "key-quillbox", "key-note"};
const std::vector<std::string> kFeatures = {
    "lists/session-name.list", "lists/favorite-dir.list", "lists/launch-app.list", "lists/quillbox.list",
    "lists/note-dir.list", "lists/find-file-and-exec.list", "lists/tidewell.list", "config-dir", "user-confs-dir",
    "plugins-dir", "tpm-install", "log-parent", "tidewell-dir"};

// Every check of a healthy installation, in order, with `skip` where tmux was not there to ask.
Severities healthy(bool inside) {
    Severities out;
    const auto add = [&](const std::vector<std::string>& ids) {
        for (const auto& id : ids) out.emplace_back(id, "ok");
    };
    add(kPrograms);
    out.emplace_back("@zelt", inside ? "ok" : "skip");
    add(kInstall);
    if (inside) add(kLive);
    else out.emplace_back("live-session", "skip");
    add(kFeatures);
    out.emplace_back("@qbox_root", inside ? "ok" : "skip");
    return out;
}

Severities with(Severities s, const std::map<std::string, std::string>& changed) {
    for (auto& [id, severity] : s)
        if (changed.count(id)) severity = changed.at(id);
    return s;
}

Severities severities(const json& report) {
    Severities out;
    for (const auto& c : report["checks"]) out.emplace_back(c["id"], c["severity"]);
    return out;
}

std::optional<std::string> which_text(const char* program) {
    const auto found = which(program);
    return found ? std::optional(found->string()) : std::nullopt;
}

const json& check(const json& report, const std::string& id) {
    for (const auto& c : report["checks"])
        if (c["id"] == id) return c;
    throw std::runtime_error("no check " + id);
}

// A user's installation under a root whose name holds a quote and a blank, with the plugin
// manager fetched from a local stand-in of its repository.
struct Installation {
    PrivateEnv env;
    ServedRepos repos{env.root() / "repos"};
    fs::path root = env.root() / "it's a root";

    Installation() {
        env.vars["ZELT"] = root.string();
        env.vars["GIT_CONFIG_GLOBAL"] = repos.gitconfig().string();
        env.vars["GIT_CONFIG_NOSYSTEM"] = "1";
        const RunResult r = env.run_program((installed_prefix() / "bin/vesk").string(),
                                            {"setup", "--profile", "linux", "--skip-plugins"});
        if (r.status != 0) throw std::runtime_error("setup failed: " + r.err);
        repos.serve_plugins(kDefaultPluginRepos);
        repos.clone("tmux-plugins/tpm", root / "plugins/tpm");
        fs::create_directories(env.home() / ".tidewell");  // made by the first question TideWell stages
    }

    RunResult doctor(const std::vector<std::string>& flags = {"--json"}) {
        std::vector<std::string> args = {"doctor"};
        args.insert(args.end(), flags.begin(), flags.end());
        return env.run(args);
    }
    json report(int status = 0) {
        const RunResult r = doctor();
        EXPECT_EQ(r.status, status) << r.out << r.err;
        return json::parse(r.out);
    }
    // A remedy's command line, pasted into a shell.
    void paste(const json& c) {
        ASSERT_TRUE(c.contains("command")) << c.dump();
        const RunResult r = env.run_program("sh", {"-c", c["command"].get<std::string>()});
        ASSERT_EQ(r.status, 0) << c["command"] << r.out << r.err;
    }
};

TEST(DoctorCommand, OutsideTmuxHealthyThenBrokenOneWayAtATime) {
    Installation inst;
    json report = inst.report();
    EXPECT_EQ(severities(report), healthy(false));
    EXPECT_EQ(report["summary"], json::parse(R"({"ok": 31, "warn": 0, "error": 0, "skip": 3})"));
    EXPECT_EQ(check(report, "tmux")["summary"], "tmux: " + *which_text("tmux") + " (tmux 3.3a)");
    EXPECT_EQ(check(report, "zip")["summary"], "zip: " + *which_text("zip"));  // its first line is a copyright
    EXPECT_EQ(check(report, "bat")["detail"], "선택된 명령: batcat");
    EXPECT_EQ(check(report, "@zelt")["detail"], "파일 점검은 " + inst.root.string() + " 기준으로 진행합니다.");
    EXPECT_EQ(check(report, ".tmux.conf.local")["summary"],
              ".tmux.conf.local: " + (inst.env.home() / ".tmux.conf.local").string());
    EXPECT_EQ(inst.doctor({"--strict", "--json", "--plain"}).out, inst.doctor().out);
    // Not a terminal: the plain report.
    RunResult plain = inst.doctor({});
    EXPECT_EQ(plain.status, 0);
    EXPECT_TRUE(plain.out.starts_with("vesk doctor\nsummary: 31 ok, 0 warn, 0 error, 3 skip\n\n[system]\n  [   OK] tmux: "))
        << plain.out;

    // A program missing from PATH.
    const fs::path bin = inst.env.root() / "bin";
    fs::create_directories(bin);
    for (const char* program : {"tmux", "git", "rg", "batcat", "zip", "vim"})
        fs::create_symlink(*which_text(program), bin / program);
    inst.env.vars["PATH"] = bin.string();
    report = inst.report(1);
    EXPECT_EQ(severities(report), with(healthy(false), {{"fzf", "error"}}));
    EXPECT_EQ(check(report, "fzf"), json::parse(R"({"group":"system","id":"fzf","severity":"error",
        "summary":"fzf 명령을 찾지 못했습니다.","detail":"PATH에서 찾아본 이름: fzf",
        "remedy":"fzf를 설치하십시오. 대부분의 vesk popup 선택 UI가 fzf에 의존합니다."})"));
    EXPECT_EQ(inst.doctor({"--plain"}).status, 1);
    inst.env.vars.erase("PATH");

    // A root without its program: setup's remedy, pasted, puts it back and assembles for this platform.
    fs::remove(inst.root / "bin/vesk");
    fs::remove(inst.env.home() / ".tmux.conf.local");
    report = inst.report(1);
    EXPECT_EQ(severities(report), with(healthy(false), {{"bin/vesk", "error"}, {".tmux.conf.local", "error"}}));
    const std::string self = vesk_binary();
    EXPECT_EQ(check(report, "bin/vesk"),
              json({{"group", "install"}, {"id", "bin/vesk"}, {"severity", "error"},
                    {"summary", "bin/vesk 점검 실패: " + (inst.root / "bin/vesk").string()},
                    {"detail", "No such file or directory (os error 2)"},
                    {"remedy", "`vesk setup`을 다시 실행해 실행 파일을 설치합니다."},
                    {"command", self + " setup --profile linux"}}));
    EXPECT_EQ(check(report, ".tmux.conf.local")["command"], self + " rebuild");
    inst.paste(check(report, "bin/vesk"));
    EXPECT_NE(read_text(inst.env.home() / ".tmux.conf.local").find("set -s escape-time 120"), std::string::npos);
    EXPECT_EQ(severities(inst.report()), healthy(false));

    // No plugins directory: two warnings, which fail only with --strict; both remedies, pasted, fix it.
    fs::remove_all(inst.root / "plugins");
    report = inst.report(0);
    EXPECT_EQ(severities(report), with(healthy(false), {{"plugins-dir", "warn"}, {"tpm-install", "warn"}}));
    EXPECT_EQ(inst.doctor({"--json", "--strict"}).status, 1);
    EXPECT_EQ(inst.doctor({"--plain", "--strict"}).status, 1);
    const std::string plugins = "'" + inst.env.root().string() + "/it'\\''s a root/plugins";
    EXPECT_EQ(check(report, "plugins-dir")["command"], "mkdir -p " + plugins + "'");
    EXPECT_EQ(check(report, "tpm-install")["command"],
              "git clone https://github.com/tmux-plugins/tpm " + plugins + "/tpm'");
    EXPECT_EQ(check(report, "tpm-install")["detail"], "No such file or directory (os error 2)");
    inst.paste(check(report, "plugins-dir"));
    inst.paste(check(report, "tpm-install"));
    EXPECT_EQ(severities(inst.report()), healthy(false));

    // A reader that goes away: the write fails and so does the command, healthy as the report is.
    int pipe_fds[2];
    ASSERT_EQ(::pipe2(pipe_fds, O_CLOEXEC), 0);
    ::close(pipe_fds[0]);
    ChildCommand closed(vesk_binary(), {"doctor", "--json"});
    closed.env = inst.env.env();
    const Output out = run_child(closed.stdin_(Stdio::Null).stdout_to(pipe_fds[1]).stderr_(Stdio::Pipe));
    ::close(pipe_fds[1]);
    EXPECT_EQ(out.status.code(), 1);
    EXPECT_EQ(out.err, "Error: Broken pipe (os error 32)\n");
    const RunResult popup = inst.doctor({"popup"});
    EXPECT_EQ(popup.status, 1);
    EXPECT_EQ(popup.err, "tmux 세션 안에서만 실행 가능합니다.\n");
}

// The user's own server, started as the user starts tmux: ~/.tmux.conf, the link setup made, loads
// the distribution, which fetches the plugins in the background.
class UserTmux {
public:
    explicit UserTmux(Installation& inst) : inst_(inst) { start(); }
    ~UserTmux() { end(); }

    RunResult tmux(std::vector<std::string> args) const {
        args.insert(args.begin(), {"-L", socket_});
        return inst_.env.run_program(real_tmux(), args);
    }
    std::string value(const std::vector<std::string>& args) const {
        std::string out = tmux(args).out;
        while (out.ends_with('\n')) out.pop_back();
        return out;
    }
    void start() {
        // Right after kill-server the old server may still hold the socket and turn the new client
        // away: try again until a new server answers.
        RunResult started;
        ASSERT_TRUE(wait_until([&] { return (started = tmux({"new-session", "-d", "-x", "120", "-y", "40"})).status == 0; }))
            << started.err;
        ASSERT_TRUE(wait_until([&] { return value({"show", "-sqv", "@__vesk_plugins_loaded"}) == "true"; }, 180s))
            << value({"list-keys"});
        // Doctor's tmux calls reach this server as they would from one of its panes.
        inst_.env.vars["TMUX"] = (inst_.env.tmp() / ("tmux-" + std::to_string(::getuid())) / socket_).string() + "," +
                                 value({"display", "-p", "#{pid}"}) + ",0";
    }
    void end() {
        end_tmux_server([this](const std::vector<std::string>& args) { return tmux(args); });
    }
    void restart() {
        end();
        inst_.env.vars.erase("TMUX");  // new-session refuses to nest
        start();
    }

private:
    Installation& inst_;
    std::string socket_ = "vesk-test-user-" + std::to_string(::getpid());
};

TEST(DoctorCommand, NoServerWhereTmuxPointsIsReportedAndNoneStarted) {
    // A dead server's TMUX, or a hostile one: a server started there replaces the path's content.
    PrivateEnv env;
    const fs::path file = env.root() / "precious";
    write_text(file, "precious\n");
    env.vars["TMUX"] = file.string() + ",1,0";
    const RunResult r = env.run({"doctor", "--json"});
    Tmux stray("tmux");
    stray.global_args = {"-S", file.string()};
    stray.capture({"kill-server"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(read_text(file), "precious\n");
    const json report = json::parse(r.out);
    EXPECT_EQ(check(report, "@zelt")["severity"], "error");
    EXPECT_EQ(check(report, "list-keys")["severity"], "warn");
    EXPECT_EQ(check(report, "list-keys")["remedy"], "tmux server 상태와 TMUX_BIN 설정을 확인하십시오.");
}

TEST(DoctorCommand, InsideTheUsersTmuxHealthyThenBroken) {
    Installation inst;
    UserTmux tmux(inst);
    tmux.tmux({"set", "-g", "@qbox_root", (inst.env.home() / "vault").string()});
    json report = inst.report();
    EXPECT_EQ(severities(report), healthy(true));
    EXPECT_EQ(check(report, "@zelt")["summary"], "@zelt=" + inst.root.string());
    // @vim_bin is unset: the doctor looks for "vim", where the editor check found it (the versions
    // are left out: a machine busy enough may let one of the two answers miss its time limit).
    const std::string editor = check(report, "editor")["summary"];
    const std::string vim_path = editor.substr(12, editor.find(" (") - 12);
    EXPECT_TRUE(editor.starts_with("vim editor: /")) << editor;
    EXPECT_TRUE(check(report, "@vim_bin")["summary"].get<std::string>().starts_with("@vim_bin=vim: " + vim_path))
        << check(report, "@vim_bin") << editor;
    EXPECT_EQ(check(report, "TMUX_CONF")["summary"], "TMUX_CONF=" + (inst.env.home() / ".tmux.conf").string());
    EXPECT_EQ(check(report, "TMUX_CONF_LOCAL")["summary"],
              "TMUX_CONF_LOCAL=" + (inst.env.home() / ".tmux.conf.local").string());
    EXPECT_EQ(check(report, "key-finder")["summary"], "finder binding loaded");

    // The popup: sized from the report (no client: 80x24), running the root's own program.
    const fs::path log = inst.env.root() / "tmux.log", answers = inst.env.root() / "answers";
    write_text(answers / "new-pane", "%99\n");
    PrivateEnv& env = inst.env;
    env.vars["TMUX_BIN"] = recording_tmux_path().string();
    env.vars["RECORD_TMUX_LOG"] = log.string();
    env.vars["RECORD_TMUX_ANSWERS"] = answers.string();
    env.vars["RECORD_TMUX_SOCKET"] = "vesk-test-user-" + std::to_string(::getpid());
    RunResult r = inst.doctor({"popup"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Without a client tmux cannot tell the size (80x24 then); these summaries are wider than 61.
    const PopupGeometry g{61, 12, 9, 6};
    const auto calls = recorded_calls(log);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), (std::vector<std::string>{"new-pane", "-P", "-F", "#{pane_id}", "-x",
                                                      std::to_string(g.width), "-y", std::to_string(g.height), "-X",
                                                      std::to_string(g.x), "-Y", std::to_string(g.y), "--",
                                                      "'" + inst.env.root().string() + "/it'\\''s a root/bin/vesk' doctor"}));
    for (const char* name : {"TMUX_BIN", "RECORD_TMUX_LOG", "RECORD_TMUX_ANSWERS", "RECORD_TMUX_SOCKET"})
        env.vars.erase(name);

    // A legacy option: a warning that only the user can act on.
    tmux.tmux({"set", "-g", "@zelt_bin", "/old/vesk"});
    report = inst.report();
    EXPECT_EQ(severities(report), with(healthy(true), {{"@zelt_bin", "warn"}}));
    EXPECT_EQ(check(report, "@zelt_bin"),
              json::parse(R"({"group":"tmux","id":"@zelt_bin","severity":"warn","summary":"legacy @zelt_bin=/old/vesk",
        "detail":"@zelt_bin은 제거된 결속입니다. 새 바인딩은 #{@zelt}/bin/vesk를 직접 씁니다.",
        "remedy":"사용자 설정 조각에 남은 @zelt_bin 참조를 #{@zelt}/bin/vesk 기준으로 바꾸십시오. 지금 이 값을 지우면 옛 조각이 먼저 깨집니다."})"));
    tmux.tmux({"set", "-gu", "@zelt_bin"});

    // A server that read a stale ~/.tmux.conf.local: the missing binding, and the rebuild pasted
    // from its remedy assembles the file again and reloads the running server.
    const fs::path local = inst.env.home() / ".tmux.conf.local";
    std::string stale;
    for (const auto& line : split_lines(read_text(local)))
        if (line.find("doctor popup") == std::string::npos) stale += line + "\n";
    write_text(local, stale);
    tmux.restart();
    tmux.tmux({"set", "-g", "@qbox_root", (inst.env.home() / "vault").string()});
    report = inst.report();
    EXPECT_EQ(severities(report), with(healthy(true), {{"key-doctor", "warn"}}));
    EXPECT_EQ(check(report, "key-doctor"),
              json({{"group", "tmux"}, {"id", "key-doctor"}, {"severity", "warn"},
                    {"summary", "doctor binding을 찾지 못했습니다."}, {"detail", "찾은 문자열: doctor popup"},
                    {"remedy", "`vesk rebuild`로 설정을 다시 조립하고 읽습니다."},
                    {"command", vesk_binary() + " rebuild"}}));
    inst.paste(check(report, "key-doctor"));
    EXPECT_EQ(severities(inst.report()), healthy(true));

    // A server without @zelt: the error, the files still checked under the configured root, and a
    // popup that cannot find the program ends quietly.
    tmux.tmux({"set", "-gu", "@zelt"});
    report = inst.report(1);
    EXPECT_EQ(severities(report), with(healthy(true), {{"@zelt", "error"}}));
    EXPECT_EQ(check(report, "@zelt"),
              json({{"group", "tmux"}, {"id", "@zelt"}, {"severity", "error"}, {"summary", "tmux option @zelt가 없습니다."},
                    {"detail", "이 값이 없으면 모든 키 바인딩이 vesk를 찾지 못합니다."},
                    {"remedy", "`vesk setup`을 실행해 설치 자리를 다시 결속합니다."},
                    {"command", vesk_binary() + " setup --profile linux"}}));
    r = inst.doctor({"popup"});
    EXPECT_EQ(r.status, 99);
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace vesk::test
