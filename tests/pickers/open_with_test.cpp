// Open-with: the list as the user writes it, the command line it makes, and the whole road in a
// real tmux: the popup the finder opens, fzf in it, and the command typed into the origin shell or
// run by a new split, for every hostile file name.
#include <gtest/gtest.h>

#include "core/process.hpp"
#include "pickers/open_with.hpp"
#include "support/picker_session.hpp"
#include "support/screen_run.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

TEST(OpenWithList, ParsesEntriesAndReadsThePick) {
    EXPECT_EQ(parse_open_with_entries("vim | vim\r\n| nvim -p\nedit |\nno bar here\n\na | b | c\n# note | cat\n"),
              (std::vector<OpenWithEntry>{{"vim", "vim"}, {"nvim -p", "nvim -p"}, {"a", "b | c"}, {"# note", "cat"}}));
    // Padding counts characters: the Hangul keyword is two characters, not four columns.
    EXPECT_EQ(open_with_picker_lines({{"vim", "vim"}, {"code-long", "code"}, {"보기", "view"}}),
              "vim       | vim\tvim\ncode-long | code\tcode\n보기" + std::string(7, ' ') + " | view\tview\n");

    using K = OpenWithPick::Kind;
    for (const char* cancel : {"esc\nvim | vim\tvim", "ctrl-c", ""}) EXPECT_EQ(read_open_with_pick(cancel).kind, K::Cancel);
    EXPECT_EQ(read_open_with_pick("ctrl-n").kind, K::EditList);
    for (const char* again : {"\nno tab here", "\nx | \t  \t"}) EXPECT_EQ(read_open_with_pick(again).kind, K::Again);
    const OpenWithPick run = read_open_with_pick("\ngit log | git log -p --follow --\t git log -p --follow -- \textra");
    EXPECT_EQ(run.kind, K::Run);
    EXPECT_EQ(run.command, "git log -p --follow --");
}

TEST(OpenWithCommand, LineAndPlace) {
    EXPECT_EQ(open_with_command_line("code", "/repo", "src/x.md"), "code -r '/repo' -g 'src/x.md'");
    EXPECT_EQ(open_with_command_line("code-insiders --wait", "/re'po", "x"),
              "code-insiders --wait -r '/re'\\''po' -g 'x'");
    EXPECT_EQ(open_with_command_line("codex", "/repo", "src/x.md"), "codex 'src/x.md'");
    EXPECT_EQ(open_with_command_line("nvim", "/repo", "it's.md"), "nvim 'it'\\''s.md'");
    // A relative name that a command would take for an option or (vim) an Ex command.
    EXPECT_EQ(open_with_command_line("batcat --paging=always", "/r", "--pager=touch x"),
              "batcat --paging=always './--pager=touch x'");
    EXPECT_EQ(open_with_command_line("vim", "/r", "+!touch x"), "vim './+!touch x'");
    EXPECT_EQ(open_with_command_line("vim", "/r", "/abs/-x"), "vim '/abs/-x'");
    // A content hit's line goes to the editors that take "+N"; others get the file alone.
    EXPECT_EQ(open_with_command_line("vim", "/r", "+x", 12), "vim +12 './+x'");
    EXPECT_EQ(open_with_command_line("/usr/bin/nvim -p", "/r", "a.md", 3), "/usr/bin/nvim -p +3 'a.md'");
    EXPECT_EQ(open_with_command_line("view", "/r", "a.md", 3), "view +3 'a.md'");
    EXPECT_EQ(open_with_command_line("less", "/r", "a.md", 3), "less 'a.md'");
    EXPECT_EQ(open_with_command_line("vimdiff", "/r", "a.md", 3), "vimdiff 'a.md'");
    EXPECT_EQ(open_with_command_line("code", "/r", "a.md", 3), "code -r '/r' -g 'a.md'");

    TempDir dir;
    const fs::path repo = fs::canonical(dir.path()) / "repo";
    fs::create_directories(repo / "src");
    ASSERT_TRUE(run_child(ChildCommand("git", {"init", "-q", repo.string()}).set_env("GIT_CONFIG_GLOBAL", "/dev/null"))
                    .status.success());
    ExecRoot in_repo = open_with_exec_root(repo / "src" / "x.md", "/elsewhere");
    EXPECT_EQ(in_repo.dir, repo);
    EXPECT_EQ(in_repo.file, "src/x.md");
    fs::create_directories(dir / "plain");
    ExecRoot outside = open_with_exec_root(dir / "plain" / "y.md", "/finder/dir");
    EXPECT_EQ(outside.dir, "/finder/dir");
    EXPECT_EQ(outside.file, (dir / "plain" / "y.md").string());
    // No finder directory: the file's own, never the server's working directory.
    EXPECT_EQ(open_with_exec_root(dir / "plain" / "y.md", "").dir, dir / "plain");
}

// The finder's last step as multimode-open takes it: the options set, then a popup titled
// "Open With" running `vesk finder open-with`.
class OpenWithRoad : public ::testing::Test {
protected:
    OpenWithRoad() : s(env) {
        fs::create_directories(repo);
        EXPECT_EQ(env.run_program("git", {"init", "-q", repo.string()}).status, 0);
        s.add_recorder("rec");
        write_text(s.root() / "lists" / "find-file-and-exec.list",
                   "rec | rec\nsplit-rec | " + split_rec() + "\nvim | vim\ncode | code\n");
    }

    void choose(const std::string& origin, bool is_shell, const fs::path& file) {
        for (const auto& [name, value] : {std::pair<std::string, std::string>{"@find_exec_origin_pane", origin},
                                          {"@find_exec_pane_path", repo.string()},
                                          {"@find_exec_is_shell", is_shell ? "1" : "0"},
                                          {"@find_exec_file", file.string()}})
            s.server().tmux_ok({"set-option", "-g", name, value});
    }

    void open_popup() {
        // The last popup may still be closing: the new one would not open over it, and its last
        // screen would pass for the new one's.
        ASSERT_TRUE(s.wait_for_popup_gone("open>")) << s.screen();
        s.run_shell_b("tmux display-popup -E -w 60% -h 12 -T 'Open With' " +
                      sh_quote(sh_quote(s.vesk().string()) + " finder open-with"));
    }

    // Opens the popup, types the query over whatever it offers, Enter. A query anchored with '^'
    // cannot match split-rec's line through the letters of the test's temporary path.
    void pick(const std::string& query) {
        open_popup();
        ASSERT_TRUE(s.wait_for_text("open> ")) << s.screen();
        s.press({"C-u"});
        s.type(query);
        // Enter before fzf has matched would choose nothing.
        ASSERT_TRUE(s.wait_for_text("│ > " + query.substr(query.starts_with('^') ? 1 : 0))) << s.screen();
        s.press({"Enter"});
    }

    std::string option(const std::string& name) { return s.server().global_option(name); }
    // The list holds shell text: the recorder's path quoted, whatever TMPDIR holds.
    std::string split_rec() { return sh_quote((s.bin() / "rec").string()); }

    // open-with clears the finder's options once the command is on its way: the next choice must
    // not be set before that.
    bool cleared() {
        return wait_until([&] { return option("@find_exec_file").empty() && option("@find_exec_origin_pane").empty(); });
    }

    // Every hostile name, with the entry `query` finds (running `command`), reaches the recorder whole, in the
    // repository, as "./name" when it would read as an option; the options are cleared after.
    void every_name_arrives(const std::string& origin, bool is_shell, const std::string& query,
                            const std::string& command) {
        for (const std::string& name : kHostileNames) {
            SCOPED_TRACE(name);
            fs::remove(env.root() / "records" / "rec");
            write_text(repo / name, "x\n");
            choose(origin, is_shell, repo / name);
            const std::vector<std::string> before = s.pane_ids();
            pick(query);
            const auto seen = s.recorded("rec");
            ASSERT_TRUE(seen) << s.screen();
            EXPECT_EQ(seen->cwd, repo.string());
            EXPECT_EQ(seen->args, std::vector<std::string>{name.starts_with('-') || name.starts_with('+') ? "./" + name : name});
            EXPECT_TRUE(cleared());
            EXPECT_EQ(option("@find_exec_last_entry"), command);
            if (!is_shell) {
                const std::string split = s.wait_for_new_pane(before);
                EXPECT_NE(s.server().format(split, "#{pane_start_command}").find("sh -lc "), std::string::npos);
                s.server().tmux({"kill-pane", "-t", split});
            }
        }
        EXPECT_EQ(s.pwned(), std::vector<std::string>{});
    }

    PrivateEnv env;
    PickerSession s;
    fs::path repo = fs::canonical(env.root()) / "work dir";
};

TEST_F(OpenWithRoad, TypedIntoTheShellPaneForEveryName) {
    const std::string shell = s.shell_pane(repo);
    every_name_arrives(shell, true, "rec", "rec");
    EXPECT_NE(s.server().capture(shell).find("cd '" + repo.string() + "' && rec '"), std::string::npos)
        << s.server().capture(shell);
}

TEST_F(OpenWithRoad, SplitWhenTheOriginRunsNoShell) {
    const std::string origin = s.active_pane({"sleep", "600"}, env.root());
    every_name_arrives(origin, false, "split-rec", split_rec());
    EXPECT_EQ(s.server().capture(origin).find("rec"), std::string::npos);  // no keys for it
}

TEST_F(OpenWithRoad, LastChoiceOfferedCodeFormAndVim) {
    const std::string shell = s.shell_pane(repo);
    s.add_recorder("code");
    fs::create_directories(repo / "src");
    write_text(repo / "src" / "-x.md", "one\ntwo\n");
    choose(shell, true, repo / "src" / "-x.md");
    pick("^code");
    auto seen = s.recorded("code");
    ASSERT_TRUE(seen) << s.screen();
    EXPECT_EQ(seen->args, (std::vector<std::string>{"-r", repo.string(), "-g", "src/-x.md"}));
    EXPECT_TRUE(cleared());

    // The next run starts with the last command as its query; vim opens the file in the shell pane.
    choose(shell, true, repo / "+!touch PWNED");
    write_text(repo / "+!touch PWNED", "first\nsecond\n");
    open_popup();
    ASSERT_TRUE(s.wait_for_text("open> code")) << s.screen();
    s.press({"C-u"});
    s.type("^vim");
    ASSERT_TRUE(s.wait_for_text("│ > vim")) << s.screen();
    s.press({"Enter"});
    ASSERT_TRUE(s.server().wait_for_text(shell, "first")) << s.server().capture(shell);
    const auto vim = s.vim_view();
    ASSERT_TRUE(vim) << s.screen();
    EXPECT_EQ(vim->file, (repo / "+!touch PWNED").string());
    EXPECT_EQ(vim->line, 1);
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(OpenWithRoad, CancelEditAndFailures) {
    const std::string shell = s.shell_pane(repo);
    write_text(repo / "a.md", "a\n");
    choose(shell, true, repo / "a.md");

    // Esc: nothing typed, every option kept for the next try.
    open_popup();
    ASSERT_TRUE(s.wait_for_text("open> ")) << s.screen();
    s.press({"Escape"});
    ASSERT_TRUE(s.wait_for_popup_gone("open> ")) << s.screen();
    EXPECT_EQ(option("@find_exec_file"), (repo / "a.md").string());
    EXPECT_EQ(option("@find_exec_last_entry"), "");

    // ctrl-n: the list in the editor, read again at once.
    const fs::path list = s.root() / "lists" / "find-file-and-exec.list";
    s.server().tmux_ok({"set-environment", "-g", "VISUAL",
                        s.add_program("add-entry", "printf 'added | rec\\n' >> \"$1\"\n").string()});
    open_popup();
    ASSERT_TRUE(s.wait_for_text("open> ")) << s.screen();
    s.press({"C-n"});
    ASSERT_TRUE(s.wait_for_text("added     | rec")) << s.screen();
    s.press({"Escape"});
    ASSERT_TRUE(s.wait_for_popup_gone("open> ")) << s.screen();

    // An error stays on screen until a key is pressed, instead of vanishing with the popup.
    fs::rename(list, list.string() + ".away");
    open_popup();
    ASSERT_TRUE(s.wait_for_text("lists/find-file-and-exec.list 파일이 없습니다")) << s.screen();
    EXPECT_TRUE(s.wait_for_text("[아무 키나 누르면 닫힙니다]")) << s.screen();
    s.press({"q"});
    EXPECT_TRUE(s.wait_for_no_text("파일이 없습니다")) << s.screen();
    // tmux reports the failed popup command once its job ends, in view mode over the pane (the
    // line, "'COMMAND' returned 1", cut at its edge): wait for that report, so that it cannot cover
    // the next message.
    EXPECT_TRUE(wait_until([&] { return s.server().format("", "#{pane_mode}") == "view-mode"; })) << s.screen();
    EXPECT_TRUE(s.wait_for_text("'tmux display-popup -E -w 60% -h 12 -T 'Open With'")) << s.screen();

    // No file chosen: tmux says so.
    s.server().tmux_ok({"set-option", "-gu", "@find_exec_file"});
    open_popup();
    EXPECT_TRUE(s.wait_for_text("선택된 파일이 없습니다.")) << s.screen();
}

}  // namespace
}  // namespace vesk::pickers
