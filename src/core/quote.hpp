// One quoting function per target language: POSIX shell, tmux, vim literal strings, JSON.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vesk {

// '...' with every ' written as '\'' (the empty text gives '').
std::string shell_quote(std::string_view text);
// The word as a POSIX shell reads it back: unchanged when it is not empty and made only of letters,
// digits and `+ - . / : = @ _` (what a reader expects to see bare in a command line), else
// shell_quote of it.
std::string shell_word(std::string_view word);
// shell_quote of the lossy text of the path.
std::string shell_quote_path(const std::filesystem::path& path);

// A tmux configuration word in double quotes that tmux reads back as exactly `text`: inside
// double quotes tmux still takes '\' as an escape, expands '$' and a leading '~', and a line
// feed would end the line, so all of them are escaped.
std::string tmux_double_quote(std::string_view text);
// A path for tmux's source-file, which takes its argument as a glob pattern: every \, *, ? and [
// gets a backslash before it, so that only the file of exactly that name matches.
std::string tmux_source_path(std::string_view path);
// Text for a tmux command that expands formats (display-message): every # doubled, so that
// #{...} and #(...) in outside text are shown as they are, never expanded or run.
std::string tmux_format_escape(std::string_view text);
// '...' with every ' doubled: a vim literal string; a line feed in the path makes it the
// expression 'a' . "\n" . 'b', since a literal cannot hold one.
std::string vim_single_quote_path(const std::filesystem::path& path);
// JSON string body (no surrounding quotes): \t \n \r \" \\, other controls (U+0000-001F,
// U+007F-009F) as \u00xx in lower-case hex; everything else copied.
std::string json_escape(std::string_view text);
// Text from outside (a tmux option's value, a program's answer) for a report read on a terminal:
// the control characters written as json_escape writes them (\t, \n, \u001b...), so that none of
// them moves the cursor or restyles the terminal; everything else, quotes and backslashes
// included, as it is.
std::string escape_controls(std::string_view text);

}  // namespace vesk
