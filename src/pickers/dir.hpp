// Favourite directories and the directory popup (`vesk dir`): a directory picked in fzf becomes a
// `cd` line typed into the pane the user came from.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tmux/tmux.hpp"

namespace vesk::pickers {

// A line of lists/favorite-dir.list as a path: "~", "~/x" and any text holding "~~" (every leading
// "~~" pair dropped) are under HOME ("/" when unset); then "//" become "/" and trailing '/' go, so
// "/" becomes the empty path.
std::filesystem::path normalize_favorite_dir(std::string_view text);

// The directory popup's candidates below `root`: "." and every directory collect_dirs finds, in
// byte order. A name fzf cannot hand back whole (a line feed, bytes that are not UTF-8) is left out.
std::vector<std::string> dir_popup_candidates(const std::filesystem::path& root);

// Takes the pane to `dir`: a `cd` line typed into it when it runs a shell, else (vim, a pager...)
// a new window in that directory beside it.
void change_pane_dir(const Tmux& tmux, const std::string& pane, const std::filesystem::path& dir);

void dir_popup();
void dir_favorite();

}  // namespace vesk::pickers
