// The finder's pure pieces: what the picker passes to fzf, and the chosen line read back.
#include <gtest/gtest.h>

#include "core/process.hpp"
#include "pickers/finder_lines.hpp"
#include "support/private_env.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

TEST(FinderLines, OriginHeightAndBindings) {
    EXPECT_EQ(given_origin_pane(std::string("%5")), "%5");
    for (const char* absent : {"", "#{pane_id}", "#{pane_id}x"}) EXPECT_FALSE(given_origin_pane(std::string(absent)));
    EXPECT_FALSE(given_origin_pane(std::nullopt));
    EXPECT_EQ(open_with_popup_height(1), "7");
    EXPECT_EQ(open_with_popup_height(3), "9");
    EXPECT_EQ(open_with_popup_height(9), "15");
    EXPECT_EQ(open_with_popup_height(10), "16");
    EXPECT_EQ(open_with_popup_height(12), "16");

    // The bindings name their files only through variables: a root or a temporary directory with
    // quotes, "$(...)" or ")+" in its name can neither run code nor end an action early.
    const auto env = multimode_env({"/z'/bin/vesk", "/r)+x", "/t/s", "/t/m", "/t/g", "/t/r", "/t/gr"});
    ASSERT_EQ(env.size(), 8u);
    EXPECT_EQ(env[1], (std::pair<std::string, std::optional<std::string>>{"VESK_FINDER_ROOT", "/r)+x"}));
    EXPECT_EQ(env[7], (std::pair<std::string, std::optional<std::string>>{"VESK_PREVIEW_SPAN", "file"}));
    const std::vector<std::string> args = multimode_fzf_args();
    for (const std::string& arg : args) EXPECT_EQ(arg.find("/t/"), std::string::npos) << arg;
    EXPECT_EQ(args.front(), "--phony");
    EXPECT_EQ(args.back(), "--expect=alt-enter");
    EXPECT_NE(std::find(args.begin(), args.end(), "--prompt=🔍 M-f> "), args.end());
    EXPECT_NE(multimode_preview_command().find("note preview \"$VESK_MF_ROOT\" \"$VESK_MF_MODE\" ./{}"), std::string::npos);
}

TEST(FinderLines, ChosenLinesReadBack) {
    auto pick = [](std::string_view source, std::string_view mode, std::string_view git_mode, std::string_view line) {
        auto p = multimode_pick(source, mode, git_mode, line);
        if (!p) return std::string("none");
        return p->file + "|" + (p->line ? std::to_string(*p->line) : "-") + (p->git ? "|git" : "");
    };
    EXPECT_EQ(pick("git", "filename", "content", "src/a.md\t12\ttext"), "src/a.md|12|git");
    EXPECT_EQ(pick("git", "filename", "content", "src/a.md\t+12\tx"), "src/a.md|12|git");
    EXPECT_EQ(pick("git", "filename", "content", "src/a.md\t-3\tx"), "src/a.md|-|git");
    EXPECT_EQ(pick("git", "filename", "content", "src/a.md\t99999999999999999999\tx"), "src/a.md|-|git");
    EXPECT_EQ(pick(" git\n", "content", " list ", "src/a.md\t12\tx"), "src/a.md\t12\tx|-|git");
    EXPECT_EQ(pick("normal", "content", "list", "./src/a.md/\t7\t:x:"), "src/a.md|7");
    EXPECT_EQ(pick("normal", "content", "list", "a.md\t7"), "a.md|7");
    EXPECT_EQ(pick("normal", "filename", "list", "././src/a.md//"), "src/a.md|-");
    EXPECT_EQ(pick("other", "content", "list", "a\t1\tb"), "a\t1\tb|-");
    // fzf prints the line as it is: a name that begins with ' keeps it.
    EXPECT_EQ(pick("normal", "content", "list", "'a.md\t1\tb'"), "'a.md|1");
    // The escaped form reads back byte for byte: a line feed, a TAB, a backslash.
    EXPECT_EQ(pick("normal", "filename", "list", "two\\nlines\\ttab\\\\"), "two\nlines\ttab\\|-");
    EXPECT_EQ(pick("normal", "content", "list", "two\\nlines\t3\tx"), "two\nlines|3");
    for (const char* nothing : {"", "./", "/", "\t3\tx"}) EXPECT_EQ(pick("normal", "content", "list", nothing), "none");
}

TEST(FinderLines, SelectionResolvesToExistingRegularFiles) {
    TempDir dir;
    const fs::path root = fs::canonical(dir.path()) / "repo";
    fs::create_directories(root / "src" / "sub");
    ASSERT_TRUE(run_child(ChildCommand("git", {"init", "-q", root.string()}).set_env("GIT_CONFIG_GLOBAL", "/dev/null"))
                    .status.success());
    write_text(root / "src" / "a.md", "x\n");
    const fs::path below = root / "src";

    auto sel = resolve_multimode_selection(below, "normal", "filename", "list", "a.md");
    ASSERT_TRUE(sel);
    EXPECT_EQ(sel->path, below / "a.md");
    // The git source is relative to the top level, whatever directory the finder searched.
    sel = resolve_multimode_selection(below, "git", "filename", "content", "src/a.md\t4\tx");
    ASSERT_TRUE(sel);
    EXPECT_EQ(sel->path, root / "src" / "a.md");
    EXPECT_EQ(sel->line, 4u);
    EXPECT_EQ(resolve_multimode_selection(below, "normal", "filename", "list", (below / "a.md").string())->path, below / "a.md");
    // A directory, a file that is gone: nothing stored.
    EXPECT_FALSE(resolve_multimode_selection(below, "normal", "filename", "list", "sub"));
    EXPECT_FALSE(resolve_multimode_selection(below, "normal", "filename", "list", "gone.md"));
    EXPECT_FALSE(resolve_multimode_selection(below, "git", "filename", "list", "a.md"));
}

}  // namespace
}  // namespace vesk::pickers
