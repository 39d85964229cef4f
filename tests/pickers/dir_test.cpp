// Favourite directories and the directory popup: the list's forms, the candidates, and M-d / M-D
// typing a `cd` line into the pane the user came from, for every hostile name; a pane that runs no
// shell gets a window instead, and a picker in a pane of its own still finds its origin.
#include <gtest/gtest.h>

#include <unistd.h>

#include "core/text.hpp"
#include "pickers/dir.hpp"
#include "support/picker_session.hpp"
#include "support/screen_run.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

TEST(FavoriteDirs, FormsAndCandidates) {
    EnvGuard env;
    env.set("HOME", "/home/u");
    EXPECT_EQ(normalize_favorite_dir("~"), "/home/u");
    EXPECT_EQ(normalize_favorite_dir("~~proj"), "/home/u/proj");
    EXPECT_EQ(normalize_favorite_dir("~~/proj/"), "/home/u/proj");
    EXPECT_EQ(normalize_favorite_dir("~/proj//"), "/home/u/proj");
    EXPECT_EQ(normalize_favorite_dir("/"), "");
    EXPECT_EQ(normalize_favorite_dir("~user/x"), "~user/x");
    env.unset("HOME");
    EXPECT_EQ(normalize_favorite_dir("~"), "/");
    EXPECT_EQ(normalize_favorite_dir("~/"), "");  // like the line "/": no directory
    EXPECT_EQ(normalize_favorite_dir("~/x/"), "/x");

    TempDir dir;
    for (const char* d : {"b", "a/c", "two\nlines", ".git/x"}) fs::create_directories(dir / d);
    fs::create_directories(dir / "bad\xff");
    EXPECT_EQ(dir_popup_candidates(dir.path()), (std::vector<std::string>{".", "a", "a/c", "b"}));
}

class DirRoad : public ::testing::Test {
protected:
    DirRoad() : s(env) {
        s.load_dist();
        shell = s.shell_pane(env.root());
    }

    std::string path_of(const std::string& pane) { return s.server().format(pane, "#{pane_current_path}"); }

    // M-d with `dir` last in the list (offered first) and once more padded, Enter.
    void favourite(const std::string& dir) {
        write_text(list, "/tmp\n  " + dir + "  \n" + dir + "\n");
        s.press({"M-d"});
        ASSERT_TRUE(s.wait_for_text("fav>")) << s.screen();
        ASSERT_TRUE(s.wait_for_text("3/3")) << s.screen();
        s.press({"Enter"});
        // The next M-d would reach this popup while it closes, and its screen pass for the next one.
        ASSERT_TRUE(s.wait_for_popup_gone("fav>")) << s.screen();
    }

    PrivateEnv env;
    PickerSession s;
    std::string shell;
    fs::path list = s.root() / "lists" / "favorite-dir.list";
    fs::path base = fs::canonical(env.root());
};

TEST_F(DirRoad, FavouriteTypesCdForEveryName) {
    for (const std::string& name : kHostileNames) {
        if (name.find('\n') != std::string::npos) continue;  // a list line cannot hold one
        SCOPED_TRACE(name);
        const fs::path dir = base / "fav" / name;
        fs::create_directories(dir);
        favourite(dir.string());
        ASSERT_TRUE(wait_until([&] { return path_of(shell) == dir.string(); })) << s.server().capture(shell);
        // The choice moved to the end once, its padded twin gone with it.
        EXPECT_EQ(read_text(list), "/tmp\n" + dir.string() + "\n");
    }
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});

    write_text(list, "/nonexistent\n");
    s.press({"M-d"});
    ASSERT_TRUE(s.wait_for_text("fav>")) << s.screen();
    s.press({"Enter"});
    EXPECT_TRUE(s.wait_for_text("디렉토리가 존재하지 않습니다: /nonexistent")) << s.screen();
    s.press({"q"});
    fs::remove(list);
    s.press({"M-d"});
    EXPECT_TRUE(s.wait_for_text("즐겨찾기 파일이 없습니다: " + list.string())) << s.screen();
}

TEST_F(DirRoad, PopupOffersEveryDirectoryBelowThePane) {
    for (std::size_t i = 0; i < kHostileNames.size(); ++i) {
        const std::string& name = kHostileNames[i];
        if (name.find('\n') != std::string::npos) continue;
        SCOPED_TRACE(name);
        const fs::path top = base / "tops" / std::to_string(i);
        fs::create_directories(top / ("d_" + name));
        s.server().send_text(shell, "cd " + sh_quote(top.string()) + "\n");
        ASSERT_TRUE(wait_until([&] { return path_of(shell) == top.string(); }));
        s.press({"M-D"});
        ASSERT_TRUE(s.wait_for_text("dir>")) << s.screen();
        s.type("d_");
        ASSERT_TRUE(s.wait_for_text("1/2")) << s.screen();
        s.press({"Enter"});
        ASSERT_TRUE(wait_until([&] { return path_of(shell) == (top / ("d_" + name)).string(); }))
            << s.server().capture(shell);
        ASSERT_TRUE(s.wait_for_popup_gone("dir>")) << s.screen();
    }
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(DirRoad, NoShellGetsAWindowAndAPickerPaneFindsItsOrigin) {
    const fs::path dir = base / kHostileNames.back();
    fs::create_directories(dir);
    // vim would take the typed line as text: a window opens in the directory instead.
    const std::string editor = s.active_pane({"vim", "-u", "NONE", "-N"}, env.root());
    ASSERT_TRUE(s.server().wait_for_text(editor, "~"));
    const std::size_t windows = split_lines(s.server().tmux_ok({"list-windows", "-F", "#{window_id}"})).size();
    favourite(dir.string());
    ASSERT_TRUE(wait_until([&] {
        return split_lines(s.server().tmux_ok({"list-windows", "-F", "#{window_id}"})).size() == windows + 1;
    }));
    EXPECT_EQ(s.server().tmux_ok({"display", "-p", "#{pane_current_path}"}), dir.string());
    EXPECT_EQ(s.server().capture(editor).find("cd "), std::string::npos);

    // The picker in a pane made for it (as a floating pane of its own is): the cd goes to the
    // pane the user was in, not into the picker.
    s.server().tmux_ok({"select-window", "-t", shell});
    s.server().tmux_ok({"split-window", "-t", shell, "--", "env", "PATH=" + s.path(), s.vesk().string(), "dir",
                        "favorite"});
    ASSERT_TRUE(s.wait_for_text("fav>")) << s.screen();
    ASSERT_TRUE(s.wait_for_text("2/2")) << s.screen();
    s.press({"Enter"});
    EXPECT_TRUE(wait_until([&] { return path_of(shell) == dir.string(); })) << s.server().capture(shell);
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vesk::pickers
