#include "keybind/overrides.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>

#include "support/private_env.hpp"

namespace vesk::keybind::overrides {
namespace {

using vesk::test::read_text;
using vesk::test::TempDir;
using vesk::test::write_text;

const std::string kHeader =
    "# vesk 설정 화면에서 바꾼 단축키입니다.\n"
    "# 직접 고쳐도 됩니다. 기본값 그대로인 항목은 여기에 적히지 않습니다.\n";

SaveEntry entry(std::string table, std::optional<std::string> key, std::string default_key = "x",
                std::string default_table = "prefix") {
    return SaveEntry{"설명", std::move(default_table), std::move(default_key), std::move(table), std::move(key),
                     "run-shell \"vesk note open\""};
}

TEST(KeybindOverrides, RenderWritesOnlyChangedEntries) {
    EXPECT_EQ(render({entry("prefix", "x"), entry("copy-mode", "y", "y", "copy-mode")}), kHeader);
    EXPECT_EQ(render({entry("prefix", "C-k"), entry("prefix", std::nullopt, "z", "copy-mode")}),
              kHeader +
                  "\n# 설명\nbind-key C-k run-shell \"vesk note open\"\n"
                  "\n# 설명\nunbind -T copy-mode z\n");
    // Same key, other table: still a change.
    EXPECT_EQ(render({entry("root", "x")}), kHeader + "\n# 설명\nbind-key -n x run-shell \"vesk note open\"\n");
}

TEST(KeybindOverrides, LoadReadsBindsThenUnbinds) {
    auto got = parse_overrides(
        "# header\n"
        "unbind -T copy-mode-vi x\n"
        "bind-key -n M-a  new-window\n"
        "  unbind   C-b\n"
        "unbind-key C-c\n"
        "unbindC-d\n"
        "unbind -T\n"
        "unbind -q -n '#'\n"
        "bind-key -T copy-mode-vi \\; send -X cancel\n");
    EXPECT_EQ(got, (std::vector<Override>{Bind{"root", "M-a", "new-window"}, Bind{"copy-mode-vi", ";", "send -X cancel"},
                                          Unbind{"copy-mode-vi", "x"}, Unbind{"prefix", "C-b"}, Unbind{"root", "#"}}));

    // A file that is missing, a directory or not UTF-8 gives nothing.
    TempDir dir;
    EXPECT_TRUE(load(dir / "missing.conf").empty());
    EXPECT_TRUE(load(dir.path()).empty());
    write_text(dir / "bad.conf", "bind-key x kill-pane\n\xff\xfe\n");
    EXPECT_TRUE(load(dir / "bad.conf").empty());
}

TEST(KeybindOverrides, ResolveMatchesByCommandAndDefaultKey) {
    auto bindings = source::parse(
        "bind x kill-pane\n"                        // 0
        "bind -T copy-mode-vi x send -X cancel\n"   // 1
        "bind -T copy-mode-vi y send -X cancel\n"   // 2
        "bind -T copy-mode-vi x send -X page-up\n"  // 3 (same key as 1, later)
        "bind o run-shell   \"vesk  note open\"\n"  // 4
        "bind p kill-window\n",                     // 5
        "conf.common");
    auto resolved = resolve(bindings, parse_overrides(
                                          "unbind -T copy-mode-vi x\n"
                                          "bind-key C-o run-shell \"vesk note  open\"\n"  // blanks differ
                                          "bind-key -n M-x kill-pane\n"                   // wrong table
                                          "bind-key C-p 'kill-window'\n"                  // quoting differs
                                          "bind-key C-w kill-window\n"
                                          "unbind p\n"                                    // wins over the bind
                                          "bind-key -T copy-mode-vi Y send -X cancel\n"));
    ASSERT_EQ(resolved.size(), bindings.size());
    std::vector<std::optional<std::string>> keys;
    for (const auto& r : resolved) keys.push_back(r.current_key);
    // Only the first copy-mode-vi binding of x goes; the bind matched binding 1 first, so 2 keeps y.
    EXPECT_EQ(keys, (std::vector<std::optional<std::string>>{"x", std::nullopt, "y", "x", "C-o", std::nullopt}));
    EXPECT_TRUE(resolved[4].rebound());
    EXPECT_TRUE(resolved[5].removed());
    EXPECT_FALSE(resolved[0].rebound());
    EXPECT_EQ(resolved[4].origin(), "conf.common:5");
}

// Lines written to keybindings.conf before the distribution quoted its root for the shell still
// find their bindings (and only those) in the fragments as they are now.
TEST(KeybindOverrides, LinesWrittenBeforeTheRootWasQuotedStillFindTheirBindings) {
    const auto text = test::read_text(std::filesystem::path(VESK_SOURCE_DIR) / "dist/confs/conf.common");
    const auto bindings = source::parse(text, "conf.common");
    const auto resolved = resolve(bindings, parse_overrides(R"(
bind-key F2 run-shell -b "#{@zelt}/bin/vesk config plugins-popup"
bind-key F3 run-shell "tmux new-pane -x 90% -y 40% -X 5% -Y 30% \"#{@zelt}/bin/vesk log search-popup\""
bind-key F4 run-shell 'target=$("#{@zelt}/bin/vesk" finder select-file . ".*"); if [ -n "$target" ]; then "#{@zelt}/bin/vesk" popup message popup "Selected: $target"; fi'
bind-key -T copy-mode-vi X send-keys -X copy-selection-and-cancel \; run-shell -b "#{@zelt}/bin/vesk copy cut-selection '#{pane_id}'"
bind-key F5 run-shell "tmux new-pane -x 90% -y 85% -X 5% -Y 8% \"#{@zelt}/bin/vesk quillbox open --target-pane '#{pane_id}' --target-command '#{pane_current_command}'\""
)"));
    std::map<std::string, std::string> moved;
    for (const auto& r : resolved)
        if (r.rebound()) moved[r.binding.table + " " + r.default_key()] = *r.current_key;
    // C-p is no run-shell job any more (a job has no terminal for fzf): its old line finds nothing.
    EXPECT_EQ(moved, (std::map<std::string, std::string>{{"prefix C-4", "F2"},
                                                          {"prefix C-x", "F3"},
                                                          {"copy-mode-vi x", "X"},
                                                          {"prefix C-Space", "F5"}}));
}

TEST(KeybindOverrides, SaveThenLoadGivesTheSameKeys) {
    TempDir dir;
    auto path = dir / "sub" / "vesk" / "keybindings.conf";  // missing directories are created
    auto bindings = source::parse(
        "bind x kill-pane\nbind -n M-y new-window\nbind -T copy-mode-vi v send -X begin-selection\n", "c");
    std::vector<SaveEntry> entries;
    for (const auto& b : bindings) entries.push_back({b.description, b.table, b.key, b.table, b.key, b.command});
    entries[0].current_key = "C-x";
    entries[1].table = "prefix";  // moved from root to prefix
    entries[2].current_key.reset();
    save(path, entries);

    std::vector<std::optional<std::string>> keys;
    for (const auto& r : resolve(bindings, load(path))) keys.push_back(r.current_key);
    EXPECT_EQ(keys, (std::vector<std::optional<std::string>>{"C-x", "M-y", std::nullopt}));
    EXPECT_EQ(read_text(path), kHeader +
                                   "\n# pane 닫기\nbind-key C-x kill-pane\n"
                                   "\n# 새 창 열기\nbind-key M-y new-window\n"
                                   "\n# 선택 시작\nunbind -T copy-mode-vi v\n");

    // A failed save leaves the previous file as it was.
    std::string before = read_text(path);
    ASSERT_EQ(::chmod(path.parent_path().c_str(), 0500), 0);
    if (::access(path.parent_path().c_str(), W_OK) != 0) {  // root may write anyway
        EXPECT_ANY_THROW(save(path, {}));
        EXPECT_EQ(read_text(path), before);
    }
    ::chmod(path.parent_path().c_str(), 0700);
}

}  // namespace
}  // namespace vesk::keybind::overrides
