// Filter-edit and select-file: the pieces, the commands against the real fzf and vim stand-ins,
// and the distribution's keys (C-e, C-f, C-p) as a user presses them in a real tmux.
#include <gtest/gtest.h>

#include "pickers/filter_edit.hpp"
#include "pickers/fzf.hpp"
#include "support/picker_session.hpp"
#include "support/screen_run.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

const std::string kLines = "alpha one\nbeta two\ngamma three\ndelta four\n";

TEST(FilterEdit, NumberedLinesAndTheChosenNumber) {
    EXPECT_EQ(numbered_lines("a\r\nb\n\n\tc"), "1\ta\n2\tb\n3\t\n4\t\tc");
    EXPECT_EQ(numbered_lines(""), "");
    EXPECT_EQ(chosen_line_number("3\tgamma three"), 3u);
    EXPECT_EQ(chosen_line_number(" +7 \tx"), 7u);
    EXPECT_EQ(chosen_line_number("18446744073709551615\t"), 18446744073709551615u);
    for (const char* bad : {"", "\tx", "x\t3", "18446744073709551616\t", "-3\t", "+\t", "3 4\tx"})
        EXPECT_FALSE(chosen_line_number(bad)) << bad;
}

// The search covers what the user sees, the first word included, and never the line number.
TEST(FilterEdit, SearchCoversTheShownText) {
    std::vector<std::string> args = filter_edit_fzf_args();
    // fzf 0.38 --filter with --no-sort prints the shown fields instead of the line; the screen does not.
    args.erase(std::find(args.begin(), args.end(), "--no-sort"));
    args.push_back("--filter=alpha");
    const std::string text = numbered_lines("alpha one\n  indented 2\n1 numbered\n");
    EXPECT_EQ(run_fzf_with_input(text, args), "1\talpha one\n");
    args.back() = "--filter=1";
    EXPECT_EQ(run_fzf_with_input(text, args), "3\t1 numbered\n");
}

TEST(SelectFile, PatternAndDirectory) {
    EXPECT_TRUE(select_file_keeps("notes.md", "*.md"));
    EXPECT_TRUE(select_file_keeps("cmd.txt", "*.md"));  // "md" anywhere in the name
    EXPECT_FALSE(select_file_keeps("notes.MD", "*.md"));
    EXPECT_TRUE(select_file_keeps("x", ".*"));
    EXPECT_TRUE(select_file_keeps("x", ""));
    EXPECT_TRUE(select_file_keeps("x", "..."));
    EXPECT_TRUE(select_file_keeps("my_test.cpp", "*test*"));
    EXPECT_FALSE(select_file_keeps("main.cpp", "*test*"));

    TempDir dir;
    write_text(dir / "sub" / "f.txt", "");
    EXPECT_EQ(select_file_dir(dir / "sub" / "f.txt"), dir / "sub");
    EXPECT_EQ(select_file_dir(dir / "sub"), dir / "sub");
    EnvGuard guard;
    fs::current_path(dir / "sub");
    EXPECT_EQ(select_file_dir("f.txt"), ".");
}

// The commands as they run, with fzf answering by itself (--filter) and a recording editor.
class FilterEditCommand : public ::testing::Test {
protected:
    FilterEditCommand() {
        write_script(env.root() / "bin" / "editor",
                     "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > " + sh_quote((env.root() / "editor-args").string()) +
                         "\n");
        env.vars["PATH"] = (env.root() / "bin").string() + ":/usr/bin:/bin";
    }
    std::vector<std::string> editor_args() {
        std::vector<std::string> args;
        const std::string text = read_text(env.root() / "editor-args");
        for (std::size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
            args.push_back(text.substr(start, end - start));
        return args;
    }
    PrivateEnv env;
};

TEST_F(FilterEditCommand, EditorAtTheChosenLineForEveryName) {
    env.vars["VIM_BIN"] = (env.root() / "bin" / "editor").string();
    // fzf answers by itself: the single match is chosen without a screen.
    env.vars["FZF_DEFAULT_OPTS"] = "--query=gamma --select-1 --exit-0";
    for (const std::string& name : kHostileNames) {
        SCOPED_TRACE(name);
        const fs::path file = env.root() / "files" / name;
        write_text(file, kLines);
        fs::remove(env.root() / "editor-args");
        const RunResult r = env.run({"finder", "filter-edit", "--", file.string()});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(editor_args(), (std::vector<std::string>{"+3", "--", file.string()}));
    }

    // Nothing chosen: no editor. A missing file or editor: the messages, status 1.
    env.vars["FZF_DEFAULT_OPTS"] = "--query=nothing-matches --select-1 --exit-0";
    fs::remove(env.root() / "editor-args");
    EXPECT_EQ(env.run({"finder", "filter-edit", (env.root() / "files" / "-rf").string()}).status, 0);
    EXPECT_FALSE(fs::exists(env.root() / "editor-args"));
    RunResult r = env.run({"finder", "filter-edit", (env.root() / "missing").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "파일이 없습니다.\n");
    env.vars["VIM_BIN"] = "no-such-vim";
    r = env.run({"finder", "filter-edit", (env.root() / "files" / "-rf").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: vim을 찾을 수 없습니다.\n");
}

TEST_F(FilterEditCommand, SelectFilePrintsThePick) {
    const fs::path dir = env.root() / "tree";
    for (const std::string& name : kHostileNames) write_text(dir / "sub" / name, "");
    write_text(dir / "notes.md", "");
    env.vars["FZF_DEFAULT_OPTS"] = "--filter=";
    RunResult r = env.run({"finder", "select-file", dir.string(), ".*"});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const std::string& name : kHostileNames) {
        // One candidate a line: a name with a line feed is not offered; every other comes back whole.
        if (name.find('\n') != std::string::npos) EXPECT_EQ(r.out.find("sub/two"), std::string::npos);
        else EXPECT_NE(("\n" + r.out).find("\nsub/" + name + "\n"), std::string::npos) << r.out;
    }

    env.vars["FZF_DEFAULT_OPTS"] = "--filter=notes";
    r = env.run({"finder", "select-file", (dir / "notes.md").string(), "*.md*"});
    EXPECT_EQ(r.out, "notes.md\n");
    env.vars["FZF_DEFAULT_OPTS"] = "--filter=한글";
    EXPECT_EQ(env.run({"finder", "select-file", dir.string(), "*.md"}).out, "sub/한글 이름.md\n");

    // fzf's own failure is an error, not an empty pick.
    env.vars["FZF_DEFAULT_OPTS"] = "--no-such-option";
    r = env.run({"finder", "select-file", dir.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error: fzf가 실패했습니다: exit status: 2"), std::string::npos) << r.err;
}

// The distribution's keys, pressed at a client.
class FilterEditKeys : public ::testing::Test {
protected:
    FilterEditKeys() : s(env) { s.load_dist(); }

    // One directory per name, holding that one file: fzf's default list then has one candidate.
    fs::path file_in_own_dir(const std::string& dir_name, const std::string& name) {
        const fs::path dir = fs::canonical(env.root()) / "dirs" / dir_name;
        write_text(dir / name, kLines);
        return dir / name;
    }

    // filter-edit's list is up: choose the "gamma" line and read what vim opened.
    std::optional<VimView> choose_gamma() {
        if (!s.wait_for_text("pattern>")) {
            ADD_FAILURE() << s.screen();
            return std::nullopt;
        }
        s.type("gamma");
        // Enter before fzf has matched would choose nothing.
        if (!s.wait_for_text(" 1/4")) {
            ADD_FAILURE() << s.screen();
            return std::nullopt;
        }
        s.press({"Enter"});
        return s.vim_view();
    }

    PrivateEnv env;
    PickerSession s;
};

TEST_F(FilterEditKeys, PrefixCeFromAShellTypesTheLineThere) {
    int n = 0;
    for (const std::string& name : kHostileNames) {
        if (name.find('\n') != std::string::npos) continue;  // fzf's own file list is one name a line
        SCOPED_TRACE(name);
        const fs::path file = file_in_own_dir(std::to_string(n++), name);
        const std::string shell = s.shell_pane(file.parent_path());
        s.press_prefixed("C-e");
        ASSERT_TRUE(s.wait_for_text("1/1")) << s.screen();
        s.press({"Enter"});
        const auto vim = choose_gamma();
        ASSERT_TRUE(vim) << s.screen();
        EXPECT_EQ(vim->file, file.string());
        EXPECT_EQ(vim->line, 3);
        // fzf and vim gave the screen back: the line typed into the shell is there.
        EXPECT_TRUE(wait_until([&] {
            return s.server().capture(shell, true).find("finder filter-edit -- \"$file\"; true") != std::string::npos;
        })) << s.server().capture(shell);
        s.server().tmux({"kill-pane", "-t", shell});
    }
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(FilterEditKeys, PrefixCeBesideAProgramSplitsInItsDirectory) {
    // The directory's name is data for tmux too: its start directory is expanded as a format.
    const fs::path file = file_in_own_dir("#{pane_id} #(touch PWNED) $(touch PWNED)", "-rf");
    const std::string origin = s.active_pane({"sleep", "600"}, file.parent_path());
    s.press_prefixed("C-e");
    ASSERT_TRUE(s.wait_for_text("1/1")) << s.screen();
    EXPECT_EQ(s.server().capture(origin).find("filter-edit"), std::string::npos);
    s.press({"Enter"});
    const auto vim = choose_gamma();
    ASSERT_TRUE(vim) << s.screen();
    EXPECT_EQ(vim->file, file.string());
    EXPECT_EQ(vim->line, 3);
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(FilterEditKeys, PrefixCfAndCancels) {
    const fs::path file = file_in_own_dir("cf", "+!touch PWNED");
    s.shell_pane(file.parent_path());
    s.press_prefixed("C-f");
    ASSERT_TRUE(s.wait_for_text("1/1")) << s.screen();
    s.press({"Enter"});
    const auto vim = choose_gamma();
    ASSERT_TRUE(vim) << s.screen();
    EXPECT_EQ(vim->file, file.string());
    EXPECT_EQ(vim->line, 3);

    // Esc in filter-edit opens nothing; an empty file shows an empty list.
    const fs::path empty = env.root() / "empty";
    write_text(empty, "");
    const std::string shell = s.shell_pane(env.root());
    s.server().send_text(shell, sh_quote(s.vesk().string()) + " finder filter-edit " + sh_quote(empty.string()) +
                                    "; echo status=$?");
    s.server().send_keys(shell, {"Enter"});
    ASSERT_TRUE(s.wait_for_text("0/0")) << s.screen();
    s.press({"Escape"});
    EXPECT_TRUE(s.server().wait_for_text(shell, "status=0")) << s.server().capture(shell);
    EXPECT_FALSE(fs::exists(env.root() / "vim-view"));
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(FilterEditKeys, PrefixCpShowsThePickInThePopup) {
    const fs::path file = file_in_own_dir("cp", "it's $(touch PWNED) #{pane_id} 한글");
    s.shell_pane(file.parent_path());
    s.press_prefixed("C-p");
    ASSERT_TRUE(s.wait_for_text("1/1")) << s.screen();
    s.press({"Enter"});
    // tmux opens no popup over a popup: the message shows where the pick was made, and goes by
    // itself after display-panes-time, as a message popup does.
    ASSERT_TRUE(s.wait_for_text("Selected: it's $(touch PWNED) #{pane_id} 한글")) << s.screen();
    EXPECT_TRUE(s.wait_for_text("[ @ Message ]")) << s.screen();
    EXPECT_TRUE(s.wait_for_no_text("Selected:")) << s.screen();

    s.press_prefixed("C-p");
    ASSERT_TRUE(s.wait_for_text("1/1")) << s.screen();
    s.press({"Escape"});
    EXPECT_TRUE(s.wait_for_no_text("1/1")) << s.screen();
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vesk::pickers
