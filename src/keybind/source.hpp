// The key bindings of the configuration are the `bind-key` lines of its fragments (and of the
// user's keybindings.conf). This reads them into records with a Korean description and a group,
// which the rebuild, the override file and the key-binding screen all work from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::keybind::source {

struct Binding {
    std::string table;        // "prefix" by default, "root" for -n, the word after -T
    // The tmux key name. A key written quoted because tmux reads it specially ('#', \;, '"')
    // is stored as the key itself (#, ;, "), so it compares equal however it was written.
    std::string key;
    std::string command;      // the rest of the line after the key word, trimmed
    std::string description;  // Korean description
    std::string group;        // group label
    std::string origin;       // "<source>:<line>", the line 1-based
    std::string source;       // the source name given to parse ("conf.common", "keybindings.conf")

    bool operator==(const Binding&) const = default;
};

// One Binding per declaration line, in line order. Never fails: lines it cannot read are skipped.
std::vector<Binding> parse(std::string_view text, std::string_view source);

// The line number after the last ':' of an origin; nothing when it is not a decimal number.
std::optional<std::size_t> origin_line(std::string_view origin);

struct Token {
    std::string_view word;
    std::string_view rest;  // the text after the word (starting with the white space that ended it)
};

// Skips leading Unicode white space and returns the word up to the next white space character,
// with the text after it; nothing when only white space is left.
std::optional<Token> next_token(std::string_view text);

// The words of a text split at runs of Unicode white space.
std::vector<std::string_view> split_words(std::string_view text);

}  // namespace vesk::keybind::source
