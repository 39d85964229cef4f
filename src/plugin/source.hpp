// The distribution declares its tmux plugins in confs/conf.plugins as plugin-manager lines
// `set -g @plugin '<repository>'`; a commented-out line declares a plugin that is off by default.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::plugin::source {

struct Declaration {
    std::string origin;       // "<source>:<line>"
    std::string repo;         // as written between the quotes ("tmux-plugins/tmux-yank")
    std::string name;         // repo after its last '/', without a trailing ".git": the plugin's directory name
    std::string description;
    std::size_t line = 0;     // 1-based
    bool on = false;          // default state: the line is not commented out

    bool operator==(const Declaration&) const = default;
};

struct DeclaredState {
    std::string repo;
    bool on = false;
    bool operator==(const DeclaredState&) const = default;
};

// The repository a line declares and whether it is on (not commented out); nothing when the
// line is no declaration.
std::optional<DeclaredState> declaration_on(std::string_view line);

// The repository of `set -g @plugin` followed by a quoted text, with `rest` starting just after
// that prefix: the text up to the matching quote, trimmed; nothing when unquoted, unclosed or empty.
std::optional<std::string> quoted_repo(std::string_view rest);

// Every declaration of the text (lines split at \n, numbered from 1), in line order.
std::vector<Declaration> parse(std::string_view text, std::string_view source);

// Names of the directories in `dir` (valid UTF-8, `tpm` excluded), in ascending byte order.
// An unreadable directory gives none.
std::vector<std::string> installed(const std::filesystem::path& dir);

}  // namespace vesk::plugin::source
