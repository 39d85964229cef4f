// The key-binding actions the distribution binds to this program's tools. The key-binding model
// falls back on them when no configuration fragment yields a binding, so the key-binding screen
// always has something to show. Built in: never read from a file and never written.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vesk::keybind {

struct KeybindingAction {
    std::optional<std::uint64_t> user_key_index;  // N of the tmux key UserN, when the key is one
    std::string_view id;                          // "<group>.<action>"
    std::string_view group;                       // the command group the action runs
    std::string_view label_ko;
    std::string_view label_en;
    std::string_view description;  // Korean one-line description
    std::string_view key_table;    // prefix, root, copy-mode-vi or copy-mode
    std::string_view default_key;  // tmux key name
    std::string_view command;      // the tmux command bound to the key
    // The escape text of a UserN key as ten plain characters (a backslash, "033", the rest),
    // as the terminal's user-keys option writes it; not an escape character.
    std::optional<std::string_view> user_key_sequence;

    bool operator==(const KeybindingAction&) const = default;
};

// The 23 actions, in their fixed order, as a new list on every call.
std::vector<KeybindingAction> keybinding_actions();

}  // namespace vesk::keybind
