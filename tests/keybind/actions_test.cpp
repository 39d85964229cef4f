// The built-in actions are what the key-binding screen shows when no fragment can be read; tmux
// must accept every one of them as written.
#include "keybind/actions.hpp"

#include <gtest/gtest.h>

#include "keybind/keys.hpp"
#include "keybind/overrides.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk::keybind {
namespace {

TEST(KeybindActions, TableInOrderWithUserKeys) {
    const std::vector<KeybindingAction> actions = keybinding_actions();
    const std::vector<std::string_view> ids = {
        "quillbox.open", "session.kill-and-next", "finder.filter-edit-dispatch", "log.shell-toggle",
        "log.search-popup", "dir.popup", "dir.favorite", "finder.multimode-open", "tidewell.open",
        "tidewell.project-select", "tidewell.window-open", "app.launch-open", "version.controller", "note.open",
        "note.open-window", "mapping.popup", "config.keybindings", "config.plugins", "session.create-popup-open",
        "pane.zoom-toggle", "session.tree-popup", "copy.cut-selection.vi", "copy.cut-selection.emacs"};
    ASSERT_EQ(actions.size(), 23u);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(actions[i].id, ids[i]);
        EXPECT_TRUE(actions[i].id.starts_with(std::string(actions[i].group) + ".")) << actions[i].id;
    }
    EXPECT_EQ(actions, keybinding_actions());  // a new, equal list on every call

    // The first and the last rows, whole.
    EXPECT_EQ(actions[0], (KeybindingAction{
                              std::nullopt, "quillbox.open", "quillbox", "QuillBox 열기", "Open QuillBox",
                              "현재 pane을 대상으로 QuillBox 메뉴를 엽니다.", "prefix", "C-Space",
                              R"x(run-shell "tmux new-pane -x 90% -y 85% -X 5% -Y 8% \"#{@zelt}/bin/vesk quillbox open --target-pane '#{pane_id}' --target-command '#{pane_current_command}'\"")x",
                              std::nullopt}));
    EXPECT_EQ(actions[22].label_ko, "copy-mode 선택 삭제");
    EXPECT_EQ(actions[22].command,
              R"x(send-keys -X copy-selection-and-cancel \; run-shell -b "#{@zelt}/bin/vesk copy cut-selection '#{pane_id}'")x");

    // The two cut-selection actions share x in different tables.
    EXPECT_EQ(actions[21].default_key, "x");
    EXPECT_EQ(actions[21].key_table, "copy-mode-vi");
    EXPECT_EQ(actions[22].default_key, "x");
    EXPECT_EQ(actions[22].key_table, "copy-mode");
    EXPECT_EQ(actions[21].command, actions[22].command);

    // Three user keys, each with its ten-character escape text; nobody else has one.
    std::vector<std::tuple<std::string_view, std::uint64_t, std::string_view>> users;
    for (const auto& a : actions) {
        EXPECT_EQ(a.user_key_index.has_value(), a.user_key_sequence.has_value()) << a.id;
        if (a.user_key_index) users.emplace_back(a.default_key, *a.user_key_index, *a.user_key_sequence);
    }
    using U = std::tuple<std::string_view, std::uint64_t, std::string_view>;
    EXPECT_EQ(users, (std::vector<U>{{"User7", 7, "\\033[1;13I"}, {"User8", 8, "\\033[1;13G"},
                                     {"User6", 6, "\\033[1;13N"}}));
    for (const auto& [key, index, sequence] : users) EXPECT_EQ(sequence.size(), 10u) << key;
}

TEST(KeybindActions, TmuxAcceptsEveryAction) {
    std::string text;
    for (const auto& a : keybinding_actions()) {
        text += "bind-key" + overrides::table_option(a.key_table) + " " + keys::quote_key(a.default_key) + " " +
                std::string(a.command) + "\n";
    }
    test::TempDir dir;
    test::write_text(dir / "actions.conf", text);
    test::TmuxServer server;
    auto loaded = server.tmux({"source-file", (dir / "actions.conf").string()});
    ASSERT_EQ(loaded.status, 0) << loaded.out << loaded.err;

    std::string listed = server.tmux_ok({"list-keys"});
    for (const auto& a : keybinding_actions()) {
        EXPECT_NE(listed.find(std::string(a.default_key)), std::string::npos) << a.id;
    }
    EXPECT_NE(server.tmux_ok({"list-keys", "-T", "root", "User7"}).find("tidewell window-open"), std::string::npos);
    EXPECT_NE(server.tmux_ok({"list-keys", "-T", "copy-mode-vi", "x"}).find("copy cut-selection"), std::string::npos);
}

}  // namespace
}  // namespace vesk::keybind
