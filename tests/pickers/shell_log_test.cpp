// Shell logging and the log search: log names, the search commands (a query is never an option),
// and prefix C-y / C-x in a real tmux, in a repository whose path holds tmux formats.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <utility>

#include "core/process.hpp"
#include "core/text.hpp"
#include "pickers/shell_log.hpp"
#include "support/picker_session.hpp"
#include "support/screen_run.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

TEST(ShellLog, NamesAndTheLogsOffered) {
    EXPECT_EQ(shell_log_file("/w/my repo", "2026-12-07_22:30"), "/w/my repo/.agent/shell/2026-12-07_22:30_my-repo.log");
    EXPECT_EQ(shell_log_file("/", "m"), "/.agent/shell/m_unknown.log");

    TempDir dir;
    for (const char* f : {"chat/2026-01-01_10:00_x.log", "shell/2026-01-02_10:00_x.log", "shell/2026-01-03_10:00_x.log",
                          "shell/notes.LOG", "shell/deep/er/a.log"})
        write_text(dir / f, "");
    fs::create_directory_symlink("..", dir / "shell" / "loop");
    // Only regular files: a FIFO would hang the search, a device never ends.
    ASSERT_EQ(::mkfifo((dir / "chat" / "fifo.log").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "chat" / "zero.log");
    std::vector<std::string> names;
    for (const auto& p : log_search_candidates(dir.path())) names.push_back(p.lexically_relative(dir.path()).string());
    EXPECT_EQ(names, (std::vector<std::string>{"shell/deep/er/a.log", "shell/2026-01-03_10:00_x.log",
                                               "shell/2026-01-02_10:00_x.log", "chat/2026-01-01_10:00_x.log"}));
}

TEST(ShellLog, SearchCommandsTreatTheQueryAsData) {
    PrivateEnv env;
    TempDir cwd;
    const fs::path file = env.root() / "-a.log";
    std::string text;
    for (int i = 1; i <= 2100; ++i) text += "line " + std::to_string(i) + (i == 1000 ? " needle" : "") + "\n";
    write_text(file, text);
    write_script(cwd / "mk", "touch PWNED\n");
    auto run = [&](const std::string& leaf, const std::vector<std::string>& words) {
        ChildCommand c(vesk_binary(), {"log", leaf});
        c.args.insert(c.args.end(), words.begin(), words.end());
        c.env = env.env();
        c.cwd = cwd.path().string();
        c.in = Stdio::Null;
        c.out = Stdio::Pipe;
        c.err = Stdio::Pipe;
        c.limit(std::chrono::seconds(20));
        return run_child(c);
    };
    Output out = run("search-query", {file.string(), "--pre=" + (cwd / "mk").string()});
    EXPECT_EQ(out.status.code(), 0);
    EXPECT_EQ(out.out, "");
    EXPECT_FALSE(fs::exists(cwd / "PWNED"));
    EXPECT_EQ(run("search-query", {file.string(), "needle"}).out, "1000:line 1000 needle\n");
    EXPECT_EQ(split_lines(run("search-query", {file.string()}).out).size(), 2000u);
    const std::string preview = run("search-preview", {file.string(), "needle"}).out;
    EXPECT_NE(preview.find("998"), std::string::npos);
    EXPECT_NE(preview.find("1002"), std::string::npos);
    // No match: the file's tail instead of an empty pane.
    const auto tail = split_lines(run("search-preview", {file.string(), "-nothing-"}).out);
    ASSERT_EQ(tail.size(), 200u);
    EXPECT_EQ(tail.back(), "line 2100");
    EXPECT_EQ(run("search-query", {(env.root() / "missing.log").string()}).status.code(), 1);
    // A log of one endless line (a sparse gigabyte) gives fzf its end only.
    fs::resize_file(file, std::uintmax_t{1} << 30);
    EXPECT_EQ(run("search-query", {file.string()}).out.size(), std::size_t{8} << 20);

    // Nothing but a regular file is handed to tail, rg or grep.
    ASSERT_EQ(::mkfifo((env.root() / "fifo.log").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", env.root() / "zero.log");
    for (const char* name : {"fifo.log", "zero.log"}) {
        const std::string odd = (env.root() / name).string();
        for (const auto& [leaf, query] : {std::pair{"search-query", "x"}, {"search-query", ""}, {"search-preview", "x"}}) {
            out = run(leaf, {odd, query});
            EXPECT_EQ(out.status.code(), 1) << leaf << " " << name;
            EXPECT_EQ(out.err, "Error: 일반 파일이 아닙니다 (" + odd + ")\n");
        }
    }
}

class ShellLogRoad : public ::testing::Test {
protected:
    ShellLogRoad() : s(env) {
        s.load_dist();
        s.server().tmux_ok({"set-option", "-g", "display-time", "10000"});
        fs::create_directories(repo);
        EXPECT_EQ(env.run_program("git", {"init", "-q", repo.string()}).status, 0);
        shell = s.shell_pane(repo);
    }

    std::string pane(const std::string& format) { return s.server().format(shell, format); }

    PrivateEnv env;
    PickerSession s;
    fs::path repo = fs::canonical(env.root()) / "C#Sharp #{pane_id}";
    std::string shell;
};

TEST_F(ShellLogRoad, ToggleLogsThePaneIntoTheNamedFile) {
    // The status line's right side as the distribution's theme sets it.
    s.server().tmux_ok({"set-option", "-g", "status-right", "#{?@shell_log,SLOG ,}%H:%M"});
    s.press_prefixed("C-y");
    ASSERT_TRUE(wait_until([&] { return !s.server().pane_option(shell, "@shell_log").empty(); }));
    const fs::path log = s.server().pane_option(shell, "@shell_log");
    EXPECT_EQ(log.parent_path(), repo / ".agent" / "shell");
    EXPECT_TRUE(log.filename().string().ends_with("_C#Sharp-#{pane_id}.log")) << log;
    EXPECT_TRUE(s.wait_for_text("Shell log on: " + log.string())) << s.screen();
    // Typed at the client, which also clears the message off the status line.
    s.type("echo logged-$((6*7))\n");
    EXPECT_TRUE(wait_until([&] { return fs::exists(log) && read_text(log).find("logged-42") != std::string::npos; }));
    EXPECT_TRUE(s.wait_for_text("SLOG ")) << s.screen();

    s.press_prefixed("C-y");
    EXPECT_TRUE(s.wait_for_text("Shell log off")) << s.screen();
    EXPECT_TRUE(wait_until([&] { return pane("#{pane_pipe}") == "0"; }));
    s.type(" ");
    EXPECT_TRUE(s.wait_for_no_text("SLOG")) << s.screen();

    // Another tool's pipe (the agent's log) is left running.
    s.server().tmux_ok({"pipe-pane", "-t", shell, "cat > /dev/null"});
    s.press_prefixed("C-y");
    EXPECT_TRUE(s.wait_for_text("다른 로그가 활성화되어 있습니다. 먼저 끄세요.")) << s.screen();
    EXPECT_EQ(pane("#{pane_pipe}"), "1");
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(ShellLogRoad, SearchPicksALogAndSearchesItLive) {
    write_text(repo / ".agent/chat/2026-01-01_10:00_x.log", "chat\n");
    write_text(repo / ".agent/shell/2026-01-02_10:00_x.log", "old\n");
    write_text(repo / ".agent/shell/2026-01-03_10:00_x.log", "alpha 1\nbeta 2\ngamma 3\n");
    // The user's SHELL reads no POSIX text (here it is no shell at all): fzf's reload and preview
    // run all the same.
    s.server().tmux_ok({"set-environment", "-g", "SHELL", s.add_program("not-a-shell", "exit 3").string()});
    s.press_prefixed("C-x");
    ASSERT_TRUE(s.wait_for_text("log>")) << s.screen();
    ASSERT_TRUE(s.wait_for_text("3/3")) << s.screen();
    const std::string screen = s.screen();
    // Listed upwards from the prompt: the newest shell log nearest, the chat log last.
    EXPECT_LT(screen.find("chat/2026"), screen.find("shell/2026-01-02")) << screen;
    EXPECT_LT(screen.find("shell/2026-01-02"), screen.find("shell/2026-01-03")) << screen;
    s.press({"Enter"});
    ASSERT_TRUE(s.wait_for_text("search>")) << s.screen();
    // The header names the chosen log; fzf cuts a header wider than its column with "..".
    const std::string header = "file: " + (repo / ".agent/shell/2026-01-03_10:00_x.log").string() + " (ctrl-r/F5 reload)";
    const auto shown = s.client().wait_for_screen([](const std::string& sc) { return sc.find("file: /") != std::string::npos; });
    std::string named = line_with(shown.value_or(""), "file: /");
    named = named.substr(std::min(named.size(), named.find("file: /")));
    named = named.substr(0, named.find("│"));
    while (named.ends_with(' ')) named.pop_back();
    if (named.ends_with("..")) named.resize(named.size() - 2);
    EXPECT_TRUE(named.size() > 10 && header.starts_with(named)) << s.screen();
    EXPECT_TRUE(s.wait_for_text("gamma 3")) << s.screen();
    s.type("beta");
    EXPECT_TRUE(s.wait_for_text("2:beta 2")) << s.screen();
    // The preview's context.
    EXPECT_TRUE(s.client().wait_for_preview(showing("3-gamma 3"), [&] { s.press({"C-r"}); })) << s.screen();
    s.press({"Escape"});
    EXPECT_TRUE(s.wait_for_no_text("search>")) << s.screen();
}

}  // namespace
}  // namespace vesk::pickers
