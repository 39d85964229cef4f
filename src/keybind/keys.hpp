// Key names as tmux configuration text. Several keys are characters that tmux's parser reads
// specially (# starts a comment, ; ends a command, quotes, \, braces, ~ and $ expand), so a key
// written bare into a configuration line breaks that line, and a broken keybindings.conf breaks
// every later rebuild. Keys are therefore written quoted and read back unquoted.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ui/keys.hpp"

namespace vesk::keybind::keys {

// The key as a word of a tmux configuration line that tmux reads back as the same key:
// unchanged when it needs no quoting ("C-Space", "M-f", "-"), else quoted ("'#'", "\;", "'\"'",
// "\"'\"", "'M-;'").
std::string quote_key(std::string_view key);

// The key a word of a configuration line names: tmux's quoting removed ('#' -> #, \; -> ;,
// "'" -> '). A word without quoting comes back unchanged.
std::string unquote_key(std::string_view word);

// True when the configuration word names this key (written bare or quoted in any way).
bool word_is_key(std::string_view word, std::string_view key);

// The tmux name of a pressed key ("C-M-x", "S-F5", "Escape", "Space"), or nothing for a key tmux
// has no name for. Shift is not written for characters ("A", not "S-a"): the character already
// says it.
std::optional<std::string> to_tmux_key(const ui::Key& key);

}  // namespace vesk::keybind::keys
