// Display columns as the full-screen screens count them (utf8proc's character widths), and
// cutting and padding to a column count for list rows. The pickers and the message popups count
// with a fixed table of wide ranges instead (display_width in core/text): the two disagree on
// controls, combining marks and emoji, so each side keeps to its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk::ui {

// Columns of one character: 0 for control characters and combining marks, 2 for wide ones.
int screen_char_width(char32_t c);
// Columns of a text: the sum of its characters' widths.
std::size_t screen_width(std::string_view text);

// The text cut to at most `w` columns: unchanged when it fits; otherwise as many characters as fit
// in `w - 1` columns followed by "…" (a wide character that does not fit is left out whole);
// empty for `w` 0.
std::string fit_width(std::string_view text, std::size_t w);
// The text followed by blanks up to `w` columns; never cut.
std::string pad_width(std::string_view text, std::size_t w);

// Text from outside (a program's answer, an error, a log) for the screen: each control character
// shown as its picture ("␛" for ESC, "␊" for a line feed, "␡" for DEL; "�" for the C1 controls), one
// column each, so that nothing in it can move the cursor or restyle the terminal, and nothing in it
// silently disappears either.
std::string show_controls(std::string_view text);

}  // namespace vesk::ui
