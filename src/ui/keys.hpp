// Key events of the terminal screens, decoded from the bytes a terminal (tmux, mostly) sends.
// Decoding is a pure function over a byte buffer so every sequence can be tested without a tty.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace vesk::ui {

enum class KeyCode {
    Char,  // `ch` holds the character
    Enter,
    Esc,
    Backspace,
    Tab,
    BackTab,
    Delete,
    Insert,
    Up,
    Down,
    Left,
    Right,
    Home,
    End,
    PageUp,
    PageDown,
    F,  // function key `f` (1-20)
};

struct Key {
    KeyCode code = KeyCode::Char;
    char32_t ch = 0;
    int f = 0;
    bool ctrl = false;
    bool alt = false;
    // Also set for upper-case letters, as the terminal cannot tell Shift-a from "A".
    bool shift = false;

    static Key character(char32_t c, bool ctrl = false, bool alt = false);
    static Key of(KeyCode code, bool ctrl = false, bool alt = false, bool shift = false);
    static Key function(int n, bool ctrl = false, bool alt = false, bool shift = false);

    bool is_char(char32_t c) const { return code == KeyCode::Char && ch == c; }
    // A character without Ctrl or Alt: text the user types.
    bool is_plain_char() const { return code == KeyCode::Char && !ctrl && !alt; }
    // Ctrl with this character, without Alt: a command key of the list screens.
    bool is_ctrl(char32_t c) const { return is_char(c) && ctrl && !alt; }
    bool operator==(const Key&) const = default;
};

struct Decoded {
    std::optional<Key> key;  // nothing for a sequence that names no key we know (it is still consumed)
    size_t used = 0;         // 0: the bytes are the start of a longer sequence; wait for more
};

// Decodes the first key of `bytes`. With `final` set no more bytes will come soon (the escape
// delay has passed), so an unfinished sequence is read for what it is: a lone ESC is Esc,
// ESC followed by a character is Alt+character.
Decoded decode_key(std::string_view bytes, bool final);

}  // namespace vesk::ui
