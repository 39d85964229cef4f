// Picker lines back to files, and the names new items get.
#include <gtest/gtest.h>

#include <set>

#include "agent/vault_create.hpp"
#include "agent/vault_selection.hpp"
#include "core/error.hpp"
#include "support/private_env.hpp"

namespace vesk::agent {
namespace {

using test::TempDir;
using test::write_text;
namespace fs = std::filesystem;

ItemExists among(std::set<std::string> items) {
    return [items](std::string_view rel) { return items.count(std::string(rel)) > 0; };
}

TEST(VaultSelection, DeepLinesSplitWhereAnItemFileIs) {
    const ItemExists none = among({});
    DeepHit hit = split_deep_line("notes/a.md:42:some text: more", none);
    EXPECT_EQ(hit.rel, "notes/a.md");
    EXPECT_EQ(hit.line, 42u);
    hit = split_deep_line("a.md", none);
    EXPECT_EQ(hit.rel, "a.md");
    EXPECT_EQ(hit.line, std::nullopt);
    hit = split_deep_line("a.md:x", none);
    EXPECT_EQ(hit.line, std::nullopt);
    EXPECT_EQ(split_deep_line("a.md:+7:t", none).line, 7u);
    EXPECT_EQ(split_deep_line("", none).rel, "");

    // A name with colons: the split that names an existing file wins, also without a line number.
    const ItemExists colon = among({"a:b.md", "x/2024:01:notes.md"});
    hit = split_deep_line("a:b.md:3:text", colon);
    EXPECT_EQ(hit.rel, "a:b.md");
    EXPECT_EQ(hit.line, 3u);
    hit = split_deep_line("x/2024:01:notes.md:12:hit", colon);
    EXPECT_EQ(hit.rel, "x/2024:01:notes.md");
    EXPECT_EQ(hit.line, 12u);
    hit = split_deep_line("a:b.md", colon);
    EXPECT_EQ(hit.rel, "a:b.md");
    EXPECT_EQ(hit.line, std::nullopt);

    TempDir dir;
    write_text(dir / "n" / "a.md", "x\n");
    DeepSelection sel = parse_deep_selection(dir.path(), "n/a.md:3:x");
    EXPECT_EQ(sel.path, dir / "n" / "a.md");
    EXPECT_EQ(sel.line, 3u);
    EXPECT_EQ(parse_deep_selection(dir.path(), "").path, dir.path());
}

TEST(VaultSelection, IndexLinesWithBarsInNames) {
    const ItemExists none = among({});
    EXPECT_EQ(index_line_rel(" | a.md | title", none), "a.md");
    EXPECT_EQ(index_line_rel("p/x | b.md | title", none), "p/x/b.md");
    EXPECT_EQ(index_line_rel("nothing", none), std::nullopt);
    const ItemExists bars = among({"a|b.md", "d | e/f | g.md", " lead.md"});
    EXPECT_EQ(index_line_rel(" | a|b.md | title | 5", bars), "a|b.md");
    EXPECT_EQ(index_line_rel("d | e | f | g.md | title", bars), "d | e/f | g.md");
    EXPECT_EQ(index_line_rel(" |  lead.md | t", bars), " lead.md");
}

TEST(VaultSelection, PathFromTheModeAndTheSelection) {
    TempDir dir;
    const fs::path r = dir / "vault";
    write_text(r / "n" / "a:b.md", "x\n");
    write_text(r / "n" / "a", "x\n");
    const fs::path mode = dir / "mode";
    auto path_for = [&](const std::string& m, std::vector<std::string> words) {
        write_text(mode, m + "\n");
        return path_from_mode_selection(r, QuillboxModeSelectionArgs{mode.string(), std::move(words)});
    };
    EXPECT_EQ(path_for("deep-search", {"n/a:b.md:1:x"}), r / "n" / "a:b.md");  // not n/a
    EXPECT_EQ(path_for("deep-search", {":1:x"}), std::nullopt);
    EXPECT_EQ(path_for("index-search", {"n", "|", "a:b.md", "|", "t"}), r / "n" / "a:b.md");
    EXPECT_EQ(path_for("recent-search", {"n | a | t"}), r / "n" / "a");
    EXPECT_EQ(path_for("index-search", {"no fields"}), std::nullopt);
    EXPECT_EQ(path_for("vault-select", {"/elsewhere"}), fs::path("/elsewhere"));
    EXPECT_EQ(path_for("file-move", {"n"}), std::nullopt);
    EXPECT_EQ(path_for("deep-search", {}), std::nullopt);
    EXPECT_EQ(path_from_mode_selection(r, {(dir / "none").string(), {"n/a"}}), std::nullopt);
    fs::create_directories(dir / "dir-mode");
    EXPECT_EQ(path_from_mode_selection(r, {(dir / "dir-mode").string(), {"n/a"}}), std::nullopt);
    write_text(mode, "\xff");
    EXPECT_THROW(path_from_mode_selection(r, {mode.string(), {"n/a"}}), Error);
}

TEST(VaultSelection, NewItemNames) {
    EXPECT_EQ(sanitize_quillbox_component("my / notes", true), "my _ notes");
    EXPECT_EQ(sanitize_quillbox_component("my / notes", false), "my / notes");
    EXPECT_EQ(sanitize_quillbox_component("a**b??c", true), "a_b_c");
    EXPECT_EQ(sanitize_quillbox_component("a_b", true), "a_b");
    EXPECT_EQ(sanitize_quillbox_component("a\tb", true), "ab");
    EXPECT_EQ(sanitize_quillbox_component("a:\n:b", true), "a_b");  // a dropped control keeps the run
    EXPECT_EQ(sanitize_quillbox_component("\"'`|<>\\x", true), "_x");
    EXPECT_EQ(sanitize_quillbox_component("$(touch x) #{pane_id} ;한글", true), "$(touch x) #{pane_id} ;한글");
    EXPECT_EQ(sanitize_quillbox_component("a\u0085b", true), "ab");
    EXPECT_EQ(sanitize_quillbox_file("ok"), "ok");
    const std::string stamp = sanitize_quillbox_file("\t");
    EXPECT_EQ(stamp.size(), 19u) << stamp;  // %Y-%m-%d-%H-%M-%S
    EXPECT_EQ(stamp[4], '-');
    EXPECT_EQ(stamp[10], '-');
}

}  // namespace
}  // namespace vesk::agent
