// The finder the way a user reaches it: M-f at a client of a tmux that runs the distribution, the
// picker in the floating pane, typing, C-t and C-g, Enter into Open With, alt-enter; the result
// read where the user finds it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <regex>

#include <fmt/format.h>

#include "core/process.hpp"
#include "core/text.hpp"
#include "pickers/note_lines.hpp"
#include "support/picker_session.hpp"
#include "support/screen_run.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

class FinderRoad : public ::testing::Test {
protected:
    FinderRoad() : s(env) {
        s.load_dist();
        s.add_recorder("rec");
        write_text(s.root() / "lists" / "find-file-and-exec.list", "rec | rec\nvim | vim\n");
        fs::create_directories(repo);
        git({"init", "-q"});
    }

    void git(const std::vector<std::string>& args) {
        ChildCommand git("git", {"-C", repo.string(), "-c", "user.name=t", "-c", "user.email=t@t"});
        git.args.insert(git.args.end(), args.begin(), args.end());
        git.env = env.env();
        git.out = git.err = Stdio::Null;
        ASSERT_TRUE(run_child(git).status.success());
    }

    std::string option(const std::string& name) { return s.server().global_option(name); }

    // M-f, then the picker's list is up.
    void open_finder() {
        s.press({"M-f"});
        ASSERT_TRUE(s.wait_for_text("M-f>")) << s.screen();
        ASSERT_TRUE(s.wait_for_text("파일명 검색")) << s.screen();
    }
    // The picker's state files in the private temporary directory.
    std::vector<fs::path> state_files() {
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(env.tmp()))
            if (e.path().filename().string().starts_with("mf-")) found.push_back(e.path());
        return found;
    }

    // Every name, picked by file name, reaches the recorder run in the origin shell, relative to
    // the repository.
    void every_name_arrives(std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const std::string& name = kHostileNames[i];
            SCOPED_TRACE(name);
            const std::string dir = fmt::format("n{:02}x", i);
            write_text(repo / dir / name, "x\n");
            fs::remove(env.root() / "records" / "rec");
            const std::string shell = s.shell_pane(repo);
            open_finder();
            s.ask(dir + "/");
            s.press({"Enter"});
            ASSERT_TRUE(s.wait_for_text("open>")) << s.screen();
            EXPECT_EQ(option("@find_exec_file"), (repo / dir / name).string());
            EXPECT_EQ(option("@find_exec_origin_pane"), shell);
            EXPECT_EQ(option("@find_exec_is_shell"), "1");
            EXPECT_EQ(state_files(), std::vector<fs::path>{});
            s.open_with("rec");
            const auto seen = s.recorded("rec");
            ASSERT_TRUE(seen) << s.screen();
            EXPECT_EQ(seen->cwd, repo.string());
            EXPECT_EQ(seen->args, std::vector<std::string>{dir + "/" + name});
            EXPECT_TRUE(wait_until([&] { return option("@find_exec_file").empty(); }));
            s.server().tmux({"kill-pane", "-t", shell});
        }
        EXPECT_EQ(s.pwned(), std::vector<std::string>{});
    }

    PrivateEnv env;
    PickerSession s;
    fs::path repo = fs::canonical(env.root()) / "work repo";
};

TEST_F(FinderRoad, EveryNameByFileNameToOpenWithFirstHalf) { every_name_arrives(0, kHostileNames.size() / 2); }

TEST_F(FinderRoad, EveryNameByFileNameToOpenWithSecondHalf) {
    every_name_arrives(kHostileNames.size() / 2, kHostileNames.size());
}

TEST_F(FinderRoad, ContentHitOpensVimAtItsLineAndShowsItInThePreview) {
    const std::string name = "it's $(touch PWNED) #{pane_id}:3:.md";
    write_text(repo / "src" / name, "one\ntwo\nthree\nfour\nfive\nsix\nthe needle line\neight\n");
    write_text(repo / "src" / "other.md", "no hit here\n");
    const std::string shell = s.shell_pane(repo);
    open_finder();
    s.press({"C-t"});
    ASSERT_TRUE(s.wait_for_text("내용 검색")) << s.screen();
    s.ask("needle");
    EXPECT_TRUE(s.client().wait_for_screen([&](const std::string& screen) {
        const std::size_t at = screen.find("> src/" + name);
        return at != std::string::npos && screen.find("7       the needle line", at) != std::string::npos;
    })) << s.screen();
    // The preview shows the hit's lines.
    EXPECT_TRUE(s.client().wait_for_preview(showing("eight"), [&] { s.ask("needle"); })) << s.screen();
    s.press({"Enter"});
    ASSERT_TRUE(s.wait_for_text("open>")) << s.screen();
    EXPECT_EQ(option("@find_exec_file"), (repo / "src" / name).string());
    EXPECT_EQ(option("@find_exec_file_line"), "7");
    s.open_with("vim");
    const auto vim = s.vim_view();
    ASSERT_TRUE(vim) << s.screen();
    EXPECT_EQ(vim->file, (repo / "src" / name).string());
    EXPECT_EQ(vim->line, 7);
    EXPECT_TRUE(s.server().wait_for_text(shell, "cd '" + repo.string() + "' && vim +7 'src/it'\\''s"))
        << s.server().capture(shell);
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

// The preview holds the whole file, for fzf to scroll through, and around a hit the 30 lines from
// 15 before it, the hit's row (bat's highlight) no wider than the preview's.
TEST_F(FinderRoad, PreviewShowsTheWholeFileOrTheLinesAroundAHit) {
    std::string text;
    for (int n = 1; n <= 200; ++n) text += fmt::format("row {:03}\n", n);
    write_text(repo / "long.md", text);
    s.shell_pane(repo);
    open_finder();
    s.ask("long.md");
    // fzf's count of the preview's lines.
    EXPECT_TRUE(s.client().wait_for_preview(showing("1/200"), [&] { s.ask("long.md"); })) << s.screen();
    s.press({"C-t"});
    ASSERT_TRUE(s.wait_for_text("내용 검색")) << s.screen();
    s.ask("row 100");
    const std::string screen = s.client().wait_for_preview(showing("row 114"), [&] { s.ask("row 100"); }).value_or("");
    ASSERT_NE(screen, "") << s.screen();
    EXPECT_NE(screen.find("row 085"), std::string::npos) << screen;
    for (const char* outside : {"row 084", "row 115"}) EXPECT_EQ(screen.find(outside), std::string::npos) << screen;
    const std::vector<std::string> rows = split_lines(screen);
    std::size_t at = 0;
    while (at < rows.size() && rows[at].find("row 099") == std::string::npos) ++at;
    ASSERT_LT(at + 2, rows.size()) << screen;
    EXPECT_NE(rows[at + 1].find("row 100"), std::string::npos) << screen;
    EXPECT_NE(rows[at + 2].find("row 101"), std::string::npos) << screen;  // no spilled row between
    s.press({"Escape"});
}

// The git source under a user whose shell is dash: the bindings still reach it. The state files
// are private while the picker runs and gone when it is cancelled.
TEST_F(FinderRoad, GitSourceUnderShAndPrivateStateFiles) {
    write_text(repo / "tracked.txt", "one\n");
    write_text(repo / "gone.txt", "old\n");
    git({"add", "."});
    git({"commit", "-qm", "init"});
    write_text(repo / "tracked.txt", "one\nfind me unstaged\n");
    write_text(repo / "staged.txt", "find me staged\n");
    git({"add", "staged.txt"});
    fs::remove(repo / "gone.txt");
    write_text(repo / "ä new.txt", "find me untracked\n");
    write_text(repo / "two\nlines.txt", "x\n");
    s.server().tmux_ok({"set-environment", "-g", "SHELL", "/bin/sh"});

    s.shell_pane(repo);
    open_finder();
    const std::vector<fs::path> files = state_files();
    EXPECT_EQ(files.size(), 5u);
    for (const fs::path& file : files) {
        struct stat st;
        ASSERT_EQ(::lstat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
        EXPECT_TRUE(S_ISREG(st.st_mode)) << file;
        // Not the guessable <name>-<pid>: a random part follows.
        EXPECT_TRUE(std::regex_match(file.filename().string(), std::regex("mf-[a-z-]+-[0-9]+-[A-Za-z0-9]{6}"))) << file;
    }

    s.press({"C-g"});
    ASSERT_TRUE(s.wait_for_text("Git 변경 파일")) << s.screen();
    for (const char* shown : {"tracked.txt", "staged.txt", "ä new.txt", "two\\nlines.txt"})
        EXPECT_TRUE(s.wait_for_text(shown)) << shown << "\n" << s.screen();
    EXPECT_TRUE(s.wait_for_text(" 4/4")) << s.screen();
    s.press({"C-g"});
    ASSERT_TRUE(s.wait_for_text("Git 내용 검색")) << s.screen();
    s.ask("find me staged");
    // C-t goes back to the normal source and flips its mode, keeping the query.
    s.press({"C-t"});
    ASSERT_TRUE(s.wait_for_text("📝 내용 검색")) << s.screen();
    s.press({"C-g"});
    ASSERT_TRUE(s.wait_for_text("Git 변경 파일")) << s.screen();
    s.press({"C-g"});
    ASSERT_TRUE(s.wait_for_text("Git 내용 검색")) << s.screen();
    ASSERT_TRUE(s.wait_for_text(" 1/1")) << s.screen();
    s.press({"Enter"});
    ASSERT_TRUE(s.wait_for_text("open>")) << s.screen();
    EXPECT_EQ(option("@find_exec_file"), (repo / "staged.txt").string());
    EXPECT_EQ(option("@find_exec_file_line"), "1");
    s.press({"Escape"});
    ASSERT_TRUE(s.wait_for_popup_gone("open>")) << s.screen();

    // Cancelled: nothing stored, no state file left.
    open_finder();
    EXPECT_EQ(state_files().size(), 5u);
    s.press({"Escape"});
    ASSERT_TRUE(s.wait_for_no_text("M-f>")) << s.screen();
    EXPECT_TRUE(wait_until([&] { return state_files().empty(); }));
    EXPECT_EQ(option("@find_exec_file"), "");
}

TEST_F(FinderRoad, AltEnterTakesTheShellThereAndSplitsBesideAnythingElse) {
    const fs::path dir = repo / "it's #{pane_id} $(touch PWNED)";
    write_text(dir / "target.md", "x\n");
    const std::string shell = s.shell_pane(repo);
    open_finder();
    s.ask("target");
    s.press({"M-Enter"});
    ASSERT_TRUE(s.wait_for_no_text("M-f>")) << s.screen();
    EXPECT_TRUE(wait_until([&] { return s.server().format(shell, "#{pane_current_path}") == dir.string(); }))
        << s.server().capture(shell);
    EXPECT_FALSE(s.wait_for_text("open>", std::chrono::milliseconds(1500)));
    EXPECT_EQ(option("@find_exec_file"), "");

    // Beside a program that is not a shell nothing is typed: a split opens in that directory.
    const std::string origin = s.active_pane({"sleep", "600"}, repo);
    const std::vector<std::string> before = s.pane_ids();
    open_finder();
    s.ask("target");
    s.press({"M-Enter"});
    const std::string split = s.wait_for_new_pane(before);
    ASSERT_NE(split, "") << s.screen();
    EXPECT_TRUE(wait_until([&] { return s.server().format(split, "#{pane_current_path}") == dir.string(); }));
    EXPECT_EQ(s.server().format(split, "#{window_id}"), s.server().format(origin, "#{window_id}"));
    EXPECT_EQ(s.server().capture(origin).find("cd"), std::string::npos);
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vesk::pickers
