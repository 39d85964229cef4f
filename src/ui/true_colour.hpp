// 24-bit colours for the screens, also on terminals whose terminfo entry knows only a palette.
//
// ncurses sends a colour as RGB only through an entry with 2^24 colours and the RGB flag, and the
// usual entries (xterm-256color, tmux-256color) have neither, even where the terminal shows RGB
// and says so through COLORTERM. For those, the screen opens ncurses on a copy of the user's
// entry that differs only in its colours.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk::ui {

// The name under which the copy is opened.
inline constexpr const char* kDirectColourTerm = "vesk-direct";

// Whether the screens send their colours as RGB: COLORTERM says "truecolor" or "24bit", or the
// terminal's entry carries RGB (ncurses' flag) or Tc (tmux's). Otherwise they use the palette.
bool wants_true_colour(std::optional<std::string_view> colorterm, bool entry_rgb, bool entry_tc);

// The compiled terminfo entry (term(5), 32-bit numbers) named kDirectColourTerm that holds every
// standard capability of ncurses' current terminal, but 2^24 colours, the RGB flag, and setaf and
// setab sending 38;2;R;G;B and 48;2;R;G;B (the first eight numbers stay the basic colours, as in
// ncurses' own direct-colour entries). Nothing when the entry's strings do not fit the format.
std::optional<std::string> direct_colour_entry();

}  // namespace vesk::ui
