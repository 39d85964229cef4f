// The agent's log: names, the reader pipeline against the real sh, awk and perl, and the whole
// road in a private tmux with an attached client: a stand-in agent run under `log codex-run`,
// the distribution's prefix C-g turning the log on and off, the status line's CLOG mark,
// `codex-status` and `codex-tail`.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "agent/codex_log_reader.hpp"
#include "agent_panes.hpp"
#include "core/command.hpp"
#include "core/process.hpp"

namespace vesk::agent {
namespace {

using namespace vesk::test;

// What an agent in a terminal prints: a title (OSC ended by BEL), colours, a hyperlink (OSC
// ended by ESC \), cursor moves and a line redrawn after a carriage return, Hangul, the private
// CSI sequences of keyboard and paste modes with the bracketed-paste marks, a saved cursor.
const std::string kAgentOutput =
    "\x1b]0;codex 제목\x07\x1b[1;32m녹색 글자\x1b[0m\r\n"
    "\x1b]8;;http://x\x1b\\link\x1b]8;;\x1b\\\r\n"
    "\x1b[2A\x1b[K진행 중\rdone\r\n"
    "\x1b[?2004h\x1b[>4;1m\x1b[200~pasted\x1b[201~\r\n"
    "\x1b" "7\x1b(Bplain end\x1b" "8\r\n";
const std::string kClean = "녹색 글자\nlink\n진행 중\ndone\npasted\nplain end\n";

// The reader text run by sh over a named pipe that receives `input`; what it wrote.
std::string through_reader(const std::string& input, std::string_view regex, bool strip) {
    TempDir dir;
    const fs::path fifo = dir / "it's a pipe";
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path out = dir / "log";
    ChildCommand sh("sh", {"-c", codex_reader_text(fifo, regex, strip, true) + " > " + sh_quote(out.string())});
    Child reader = Child::spawn(sh);
    write_text(fifo, input);
    EXPECT_TRUE(reader.wait().success());
    return read_text(out);
}

TEST(CodexLogReader, NamesOfTheLogAndThePipe) {
    EXPECT_EQ(codex_log_project_name("/home/u/.dotfiles"), "dotfiles");
    EXPECT_EQ(codex_log_project_name("/"), "unknown");
    EXPECT_EQ(codex_log_project_name("/w/..."), "unknown");
    EXPECT_EQ(codex_log_project_name("/w/my proj:a"), "my-proj-a");
    EXPECT_EQ(codex_log_file("/w/p", "2026-01-02_03:04"), fs::path("/w/p/.agent/chat/2026-01-02_03:04_p.log"));
    EXPECT_EQ(codex_fifo_name("my work", "%12"), "my-work_12");
    EXPECT_EQ(codex_fifo_name("a/b", "%%3"), "a-b_3");
}

TEST(CodexLogReader, StripsWhatATerminalAgentPrints) {
    // Always: every OSC sequence goes whole, with the backslash of an ESC \ end.
    const std::string osc_only = through_reader(kAgentOutput, "", false);
    EXPECT_EQ(osc_only.find("\x1b]"), std::string::npos) << osc_only;
    EXPECT_EQ(osc_only.find("\\"), std::string::npos) << osc_only;
    EXPECT_NE(osc_only.find("\x1b[1;32m녹색 글자\x1b[0m\r\n"), std::string::npos) << osc_only;
    // With CODEX_LOG_STRIP_ANSI=1: clean text.
    EXPECT_EQ(through_reader(kAgentOutput, "", true), kClean);
    EXPECT_EQ(through_reader("a\r\r\nb\x08\x08\n", "", true), "a\nb\n");
    // The filter keeps matching lines; a quote in it reaches awk intact.
    EXPECT_EQ(through_reader("it's here\nnot this\nit's there\n", "it's", true), "it's here\nit's there\n");

    EnvGuard guard;
    for (const char* name : {"CODEX_LOG_FILTER_REGEX", "CODEX_LOG_STRIP_ANSI", "CODEX_LOG_ALLOW_CHAT_DIR", "CODEX_LOG_GUARD_TAIL"})
        guard.unset(name);
    CodexLogSwitches defaults = codex_log_switches();
    EXPECT_TRUE(defaults.filter_regex.empty());
    EXPECT_FALSE(defaults.strip_ansi);
    EXPECT_FALSE(defaults.allow_chat_dir);
    EXPECT_TRUE(defaults.guard_tail);
    guard.set("CODEX_LOG_STRIP_ANSI", "yes");
    guard.set("CODEX_LOG_GUARD_TAIL", "0");
    guard.set("CODEX_LOG_ALLOW_CHAT_DIR", "1");
    CodexLogSwitches set = codex_log_switches();
    EXPECT_FALSE(set.strip_ansi);
    EXPECT_FALSE(set.guard_tail);
    EXPECT_TRUE(set.allow_chat_dir);
}

// A pid that no longer belongs to the reader is never signalled.
TEST(CodexLogReader, StopsOnlyTheReaderItStarted) {
    TempDir dir;
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Child reader = Child::spawn(ChildCommand("sh", {"-c", codex_reader_text(fifo, "", true, false)}).stdout_(Stdio::Null).own_session());
    Child stranger = Child::spawn(ChildCommand("sleep", {"30"}).own_session());
    wait_until([&] { return is_codex_reader(reader.pid(), fifo); });
    EXPECT_TRUE(is_codex_reader(reader.pid(), fifo));
    EXPECT_FALSE(is_codex_reader(stranger.pid(), fifo));
    // The reader holds the pipe only once a writer has come (its cat waits in open until then).
    EXPECT_EQ(reader_holds_fifo(reader.pid(), fifo), false);
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    EXPECT_TRUE(wait_until([&] { return reader_holds_fifo(reader.pid(), fifo) == true; }));
    EXPECT_EQ(reader_holds_fifo(stranger.pid(), fifo), false);
    stop_codex_reader(std::to_string(stranger.pid()), fifo.string());
    stop_codex_reader("12x", fifo.string());
    stop_codex_reader(std::to_string(reader.pid()), std::nullopt);
    EXPECT_FALSE(stranger.try_wait());
    EXPECT_FALSE(reader.try_wait());
    stop_codex_reader(std::to_string(reader.pid()), fifo.string());
    EXPECT_EQ(reader.wait().signal(), SIGTERM);
    ::close(writer);
    stranger.kill();
    stranger.wait();
}

// The command lines of the processes that hold `text` in theirs.
std::vector<std::string> processes_naming(const std::string& text) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        std::string words;
        try {
            words = read_text(it->path() / "cmdline");
        } catch (const std::exception&) {
            continue;  // ended meanwhile
        }
        std::replace(words.begin(), words.end(), '\0', ' ');
        if (words.find(text) != std::string::npos) found.push_back(words);
    }
    return found;
}

class CodexPane : public ::testing::Test {
protected:
    CodexPane() {
        s.load_dist({"confs/conf.common", "confs/conf.codex"});
        s.server().tmux_ok({"set-option", "-g", "display-time", "30000"});
        // The status line the distribution's theme sets.
        const std::string conf = read_text(fs::path(VESK_SOURCE_DIR) / "dist" / "confs" / "conf.common");
        const std::string key = "tmux_conf_theme_status_right='";
        const std::size_t at = conf.find(key) + key.size();
        s.server().tmux_ok({"set-option", "-g", "status-right", conf.substr(at, conf.find('\'', at) - at)});
        fs::create_directories(project);
        agent_bin = s.add_program("codex-standin", "printf '%s\\0' \"$@\" > " + sh_quote(record.string() + ".args") + "\n" +
                                                       "while [ ! -e " + sh_quote(record.string() + ".go") + " ]; do sleep 0.05; done\n" +
                                                       "printf '" + printf_escaped(kAgentOutput) + "'\n" +
                                                       "while [ ! -e " + sh_quote(record.string() + ".end") + " ]; do sleep 0.05; done\n" +
                                                       "exit 7\n");
    }
    static std::string printf_escaped(const std::string& text) {
        std::string out;
        for (unsigned char c : text) {
            if (c < 0x20 || c == '\\' || c == '\'' || c == '%') out += fmt_octal(c);
            else out += static_cast<char>(c);
        }
        return out;
    }
    static std::string fmt_octal(unsigned char c) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\%03o", c);
        return buf;
    }
    // The agent under codex-run in the current window; returns its pane once it is marked and the
    // start notice has been read.
    std::string start_agent() {
        const std::string pane = run_vesk(s, env, {"log", "codex-run", "--model", "o3", "-q"}, project,
                                          {{"CODEX_BIN", agent_bin.string()}});
        EXPECT_TRUE(s.wait_for_text("OpenAI Codex가 시작되었습니다.")) << s.screen();
        s.press({"Enter"});
        EXPECT_TRUE(s.wait_for_no_text("OpenAI Codex가 시작되었습니다.")) << s.screen();
        EXPECT_TRUE(wait_until([&] { return s.server().pane_option(pane, "@codex_pane") == "1"; }));
        return pane;
    }
    // A message covers the status line until a key is pressed: an unbound prefixed key, which
    // reaches no pane.
    void dismiss_message() { s.press_prefixed("F12"); }

    PrivateEnv env;
    PickerSession s{env};
    fs::path project = env.root() / "my proj #1";
    fs::path record = env.root() / "codex";
    fs::path agent_bin;
};

TEST_F(CodexPane, LogOnCleanTextTailAndOff) {
    s.server().tmux_ok({"set-environment", "-g", "CODEX_LOG_STRIP_ANSI", "1"});
    const std::string pane = start_agent();
    EXPECT_EQ(read_text(record.string() + ".args"), std::string("--model\0o3\0-q\0", 14));

    s.press_prefixed("C-g");
    ASSERT_TRUE(wait_until([&] { return !s.server().pane_option(pane, "@codex_log").empty(); })) << s.screen();
    const fs::path log = s.server().pane_option(pane, "@codex_log");
    EXPECT_EQ(log.parent_path(), project / ".agent" / "chat");
    EXPECT_TRUE(log.filename().string().ends_with("_my-proj-#1.log")) << log;
    EXPECT_TRUE(s.wait_for_text("Codex log on: " + log.string() + " (FIFO ok)")) << s.screen();
    dismiss_message();
    EXPECT_TRUE(s.wait_for_text("CLOG")) << s.screen();
    const fs::path fifo = s.server().pane_option(pane, "@codex_fifo");
    const pid_t reader = std::stoi(s.server().pane_option(pane, "@codex_log_pid"));
    struct stat st;
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(st.st_mode & 077, 0u);

    write_text(record.string() + ".go", "");
    std::string logged;
    EXPECT_TRUE(wait_until([&] { return (logged = read_text(log)) == kClean; })) << logged;

    // The report on the marked pane, printed and kept.
    const std::string status = s.server().run_in_pane({vesk_binary(), "log", "codex-status"}, pane_env(s, env), project);
    EXPECT_EQ(s.server().wait_for_exit(status), 0);
    const std::string report = read_text(s.root() / ".agent" / "codex-log-status.txt");
    EXPECT_TRUE(report.starts_with("pane_id=" + pane + "\npane_pipe=1\n@codex_log ")) << report;
    EXPECT_NE(report.find("\n@codex_log_pid " + std::to_string(reader) + "\n"), std::string::npos) << report;

    // codex-tail follows the log whose path holds blanks and '#', and closes its pane when ended.
    const std::string tail = s.server().run_in_pane({vesk_binary(), "log", "codex-tail"}, pane_env(s, env), project);
    EXPECT_TRUE(s.server().wait_for_text(tail, "plain end")) << s.server().capture(tail);
    EXPECT_NE(s.server().capture(tail).find("녹색 글자"), std::string::npos);
    s.server().send_keys(tail, {"C-c"});
    EXPECT_TRUE(wait_until([&] { return !s.server().pane_exists(tail); }));

    s.press_prefixed("C-g");
    EXPECT_TRUE(wait_until([&] { return s.server().pane_option(pane, "@codex_log").empty(); }));
    EXPECT_TRUE(s.wait_for_text("Codex log off")) << s.screen();
    dismiss_message();
    EXPECT_TRUE(s.wait_for_no_text("Codex log off")) << s.screen();
    EXPECT_EQ(s.screen().find("CLOG"), std::string::npos) << s.screen();
    EXPECT_EQ(s.server().pane_option(pane, "@codex_fifo"), "");
    EXPECT_EQ(s.server().pane_option(pane, "@codex_log_pid"), "");
    EXPECT_FALSE(fs::exists(fs::symlink_status(fifo)));
    EXPECT_TRUE(wait_until([&] { return ::kill(-reader, 0) != 0; }));
    EXPECT_EQ(s.server().format(pane, "#{pane_pipe}"), "0");

    // The agent's status is the command's; the mark goes with the agent.
    write_text(record.string() + ".end", "");
    EXPECT_EQ(s.server().wait_for_exit(pane), 7);
    EXPECT_EQ(s.server().pane_option(pane, "@codex_pane"), "");
    EXPECT_EQ(read_text(log), kClean);
}

TEST_F(CodexPane, RefusalsAndAReaderThatCannotRun) {
    const std::string pane = start_agent();

    // Another log pipes the pane: nothing changes.
    s.server().tmux_ok({"pipe-pane", "-t", pane, "cat > /dev/null"});
    s.press_prefixed("C-g");
    EXPECT_TRUE(s.wait_for_text("다른 로그가 활성화되어 있습니다. 먼저 끄세요.")) << s.screen();
    EXPECT_EQ(s.server().pane_option(pane, "@codex_log"), "");
    s.server().tmux_ok({"pipe-pane", "-t", pane});

    // A reader that dies at once is a failure, not "FIFO ok": the pane is left as it was.
    const fs::path fake = s.add_program("stdbuf", "exit 1");
    s.press_prefixed("C-g");
    EXPECT_TRUE(s.wait_for_text("Codex log 실패: 로그 reader가 바로 끝났습니다.")) << s.screen();
    EXPECT_EQ(s.server().pane_option(pane, "@codex_log"), "");
    EXPECT_EQ(s.server().format(pane, "#{pane_pipe}"), "0");
    // Nothing of it is left: no pane pipe waiting on the named pipe, which is gone too.
    const fs::path fifos = fs::path(s.server().global_option("@zelt")) / "fifo" / "codex";
    EXPECT_TRUE(wait_until([&] { return processes_naming(fifos.string()).empty(); }))
        << ::testing::PrintToString(processes_naming(fifos.string()));
    EXPECT_TRUE(fs::is_empty(fifos));
    fs::remove(fake);
    s.press({"q"});  // run-shell's report of the failed job

    // A link at the log's name (this minute's or the next's) is refused, and its pipe goes too.
    for (std::time_t t : {std::time(nullptr), std::time(nullptr) + 60}) {
        char minute[32];
        std::strftime(minute, sizeof minute, "%Y-%m-%d_%H:%M", std::localtime(&t));
        fs::remove(codex_log_file(project, minute));  // the failed start above made it
        fs::create_symlink(env.root() / "elsewhere", codex_log_file(project, minute));
    }
    ASSERT_TRUE(s.wait_for_no_text("log codex-start' returned 1")) << s.screen();
    s.press_prefixed("C-g");
    EXPECT_TRUE(s.wait_for_text("log codex-start' returned 1")) << s.screen();
    s.press({"q"});
    EXPECT_TRUE(fs::is_empty(fifos));
    EXPECT_FALSE(fs::exists(env.root() / "elsewhere"));

    // A stored pid that now belongs to another process is left alone when the log is stopped.
    Child stranger = Child::spawn(ChildCommand("sleep", {"30"}).own_session());
    for (auto [name, value] : {std::pair<std::string, std::string>{"@codex_log", (env.root() / "gone.log").string()},
                               {"@codex_log_pid", std::to_string(stranger.pid())},
                               {"@codex_fifo", (env.root() / "gone-pipe").string()}})
        s.server().tmux_ok({"set-option", "-p", "-t", pane, name, value});
    s.press_prefixed("C-g");
    EXPECT_TRUE(s.wait_for_text("Codex log off")) << s.screen();
    EXPECT_TRUE(wait_until([&] { return s.server().pane_option(pane, "@codex_log").empty(); }));
    EXPECT_FALSE(stranger.try_wait());
    stranger.kill();
    stranger.wait();

    // An unmarked pane may not log.
    const std::string plain = run_vesk(s, env, {"log", "codex-start"}, project);
    EXPECT_EQ(s.server().wait_for_exit(plain), 0);
    EXPECT_TRUE(s.wait_for_text("Codex pane 표식이 없습니다. codex-run.sh로 실행 중인지 확인하세요.")) << s.screen();
    EXPECT_EQ(s.server().pane_option(plain, "@codex_log"), "");

    write_text(record.string() + ".go", "");
    write_text(record.string() + ".end", "");
    EXPECT_EQ(s.server().wait_for_exit(pane), 7);
}

// Ctrl-C at the pane reaches the agent alone: codex-run outlives it, clears the mark and ends
// with the agent's status.
TEST_F(CodexPane, CtrlCEndsTheAgentAndClearsTheMark) {
    const fs::path status = env.root() / "run-status";
    // The status is written whole, then renamed: the test may look while the shell writes.
    const std::string pane = s.active_pane(
        {"sh", "-c",
         "trap : INT; CODEX_BIN=\"$1\" \"$2\" log codex-run; echo $? > \"$3.tmp\" && mv \"$3.tmp\" \"$3\"; sleep 100",
         "sh", agent_bin.string(), vesk_binary(), status.string()},
        project);
    EXPECT_TRUE(s.wait_for_text("OpenAI Codex가 시작되었습니다.")) << s.screen();
    s.press({"Enter"});
    ASSERT_TRUE(wait_until([&] { return s.server().pane_option(pane, "@codex_pane") == "1"; }));
    s.server().send_keys(pane, {"C-c"});
    ASSERT_TRUE(wait_until([&] { return fs::exists(status); }));
    EXPECT_EQ(read_text(status), "130\n");
    EXPECT_EQ(s.server().pane_option(pane, "@codex_pane"), "");
}

// Outside tmux the program becomes the agent: arguments unchanged, its status the command's.
TEST(CodexRun, OutsideTmuxTheAgentReplacesTheProgram) {
    PrivateEnv env;
    TmuxServer server(120, 40, env.tmp(), env.home());
    server.tmux_ok({"set-option", "-g", "@zelt", env.zelt().string()});
    write_script(env.root() / "tmux-here", "exec tmux -L " + server.socket_name() + " \"$@\"\n");
    write_script(env.root() / "agent", "printf '%s|' \"$@\"\nexit 5\n");
    env.vars["TMUX_BIN"] = (env.root() / "tmux-here").string();
    env.vars["CODEX_BIN"] = (env.root() / "agent").string();
    RunResult r = env.run({"log", "codex-run", "--flag", "two words"});
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, "--flag|two words|");

    env.vars["CODEX_BIN"] = (env.root() / "missing").string();
    r = env.run({"log", "codex-run"});
    EXPECT_EQ(r.status, 127);
    EXPECT_EQ(r.err, "CODEX_BIN 경로를 찾을 수 없습니다: " + (env.root() / "missing").string() + "\n");
    env.vars["TMUX_BIN"] = "/nonexistent/tmux";
    EXPECT_EQ(env.run({"log", "codex-run"}).status, 99);
}

}  // namespace
}  // namespace vesk::agent
