// The version controller: the list, the first query, and the road from prefix C-1 in a pane below a
// repository's top to a client window there, with stand-in clients (no git client is installed).
#include <gtest/gtest.h>

#include "core/process.hpp"
#include "core/text.hpp"
#include "pickers/fzf.hpp"
#include "pickers/version.hpp"
#include "support/picker_session.hpp"
#include "support/screen_run.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

TEST(VersionList, EntriesQueryAndWhatTheSearchCovers) {
    const auto entries =
        parse_version_entries("# comment\nlazygit\n | tig |\nDiff | git | diff --stat | head\n\n  |  | x\nL | |\n");
    EXPECT_EQ(entries, (std::vector<VersionEntry>{{"tig", "tig", ""}, {"Diff", "git", "diff --stat | head"}, {"L", "", ""}}));
    EXPECT_EQ(parse_version_fzf_line("Diff\tgit\tdiff --stat"), (VersionEntry{"Diff", "git", "diff --stat"}));
    EXPECT_EQ(parse_version_fzf_line(" a \t b "), (VersionEntry{"a", "b", ""}));
    EXPECT_EQ(parse_version_fzf_line("label only"), std::nullopt);

    EXPECT_EQ(version_initial_query(std::nullopt, entries), "");  // nothing runs nvim
    EXPECT_EQ(version_initial_query(std::nullopt, {{"n", "nvim", ""}}), "nvim");
    EXPECT_EQ(version_initial_query("git", entries), "git");
    EXPECT_EQ(version_initial_query("gone", entries), "");

    // The program is searched as well as the label: a remembered bin finds its entry.
    std::vector<std::string> args = version_fzf_args("");
    // fzf 0.38 --filter with --no-sort prints the shown fields instead of the line; the screen does not.
    args.erase(std::find(args.begin(), args.end(), "--no-sort"));
    args.push_back("--filter=tig");
    EXPECT_EQ(run_fzf_with_input("Tree view\ttig\t\nDiff\tgit\tdiff\n", args), "Tree view\ttig\t\n");
}

class VersionRoad : public ::testing::Test {
protected:
    VersionRoad() : s(env) {
        s.load_dist();
        fs::create_directories(repo / "sub");
        EXPECT_EQ(env.run_program("git", {"init", "-q", repo.string()}).status, 0);
        s.add_recorder("rec");
        s.add_program("slow", sh_quote((s.bin() / "rec").string()) + " \"$@\"\nwhile [ ! -e " +
                                  sh_quote((env.root() / "flag").string()) + " ]; do sleep 0.1; done\n");
        s.add_program("failer", "exit 2\n");
        write_text(s.root() / "lists" / "git-porcelain.list",
                   "Rec | rec |\nx #(touch PWNED) | slow | --flag 'it''s'\nFail | failer |\nTig | tig |\n");
    }

    std::size_t windows() { return split_lines(s.server().tmux_ok({"list-windows", "-F", "#{window_id}"})).size(); }

    void pick(const std::string& query, const std::string& count) {
        s.press_prefixed("C-1");
        ASSERT_TRUE(s.wait_for_text("client>")) << s.screen();
        s.press({"C-u"});
        s.type(query);
        ASSERT_TRUE(s.wait_for_text(count)) << s.screen();
        s.press({"Enter"});
    }

    std::string option(const std::string& name) {
        const std::string id = s.server().tmux_ok({"list-clients", "-F", "#{session_id}"});
        return s.server().global_option(name + "_" + id);
    }

    PrivateEnv env;
    PickerSession s;
    fs::path repo = fs::canonical(env.root()) / "re'po #{pane_id}";
};

TEST_F(VersionRoad, ClientRunsAtTheTopAndItsWindowCloses) {
    s.shell_pane(repo / "sub");
    const std::size_t before = windows();
    // First run: no entry runs nvim, so the picker opens with everything, not empty.
    s.press_prefixed("C-1");
    ASSERT_TRUE(s.wait_for_text("4/4")) << s.screen();
    s.press({"Escape"});
    ASSERT_TRUE(s.wait_for_no_text("client>")) << s.screen();

    pick("rec", "1/4");
    auto seen = s.recorded("rec");
    ASSERT_TRUE(seen) << s.screen();
    EXPECT_EQ(seen->cwd, repo.string());
    EXPECT_TRUE(wait_until([&] { return windows() == before; }));
    EXPECT_EQ(option("@version_controller_last_bin"), "rec");
    EXPECT_EQ(option("@version_controller_repo_root"), repo.string());

    // The next run starts from the remembered program; the label names the window as written.
    fs::remove(env.root() / "records" / "rec");
    s.press_prefixed("C-1");
    ASSERT_TRUE(s.wait_for_text("client> rec")) << s.screen();
    s.press({"C-u"});
    s.type("slow");
    ASSERT_TRUE(s.wait_for_text("1/4")) << s.screen();
    s.press({"Enter"});
    seen = s.recorded("rec");
    ASSERT_TRUE(seen) << s.screen();
    EXPECT_EQ(seen->args, (std::vector<std::string>{"--flag", "its"}));
    EXPECT_NE(s.server().tmux_ok({"list-windows", "-F", "#{window_name}"}).find("x #(touch PWNED)"), std::string::npos);
    write_text(env.root() / "flag", "");
    EXPECT_TRUE(wait_until([&] { return windows() == before; }));

    // A client that fails keeps its window until Enter.
    pick("failer", "1/4");
    ASSERT_TRUE(s.wait_for_text("[종료 코드 2] Enter 또는 마우스 클릭으로 닫기")) << s.screen();
    s.press({"Enter"});
    EXPECT_TRUE(wait_until([&] { return windows() == before; }));
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(VersionRoad, MissingClientAndNoRepository) {
    s.shell_pane(repo);
    // The error stays in the popup until a key instead of vanishing with it.
    pick("tig", "1/4");
    EXPECT_TRUE(s.wait_for_text("버전 컨트롤러: 실행 파일을 찾을 수 없습니다: tig")) << s.screen();
    s.press({"q"});
    EXPECT_TRUE(s.wait_for_no_text("실행 파일을 찾을 수 없습니다")) << s.screen();

    fs::create_directories(env.root() / "plain");
    s.shell_pane(env.root() / "plain");
    s.press_prefixed("C-1");
    EXPECT_TRUE(s.wait_for_text("버전 컨트롤러: Git 저장소가 아닙니다.")) << s.screen();
    EXPECT_FALSE(s.wait_for_text("client>", std::chrono::milliseconds(1000)));
}

}  // namespace
}  // namespace vesk::pickers
