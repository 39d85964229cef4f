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
    ASSERT_EQ(actions.size(), 23u);
    EXPECT_EQ(actions, keybinding_actions());  // a new, equal list on every call
    for (const auto& a : actions) {
        EXPECT_TRUE(a.id.starts_with(std::string(a.group) + ".")) << a.id;
        // A user key comes with its escape text: ESC [ 1 ; 1 3 and a letter, ten characters.
        EXPECT_EQ(a.user_key_index.has_value(), a.user_key_sequence.has_value()) << a.id;
        if (a.user_key_sequence) EXPECT_EQ(a.user_key_sequence->size(), 10u) << a.id;
    }
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

    const std::string listed = server.tmux_ok({"list-keys"});
    for (const auto& a : keybinding_actions())
        EXPECT_NE(listed.find(std::string(a.default_key)), std::string::npos) << a.id;
    EXPECT_NE(server.tmux_ok({"list-keys", "-T", "root", "User7"}).find("tidewell window-open"), std::string::npos);
    EXPECT_NE(server.tmux_ok({"list-keys", "-T", "copy-mode-vi", "x"}).find("copy cut-selection"), std::string::npos);
}

}  // namespace
}  // namespace vesk::keybind
