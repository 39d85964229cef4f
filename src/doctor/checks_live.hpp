// The checks that ask the running tmux server: the root it was given, its options and its keys.
#pragma once

#include <filesystem>
#include <vector>

#include "doctor/model.hpp"
#include "tmux/tmux.hpp"

namespace vesk::doctor {

// The "@zelt" check; returns the root the file checks use: the live @zelt when tmux has one, else
// `fallback` (the root the configuration directory names).
std::filesystem::path push_zelt_check(std::vector<Check>& checks, const Tmux& tmux, bool inside,
                                      const std::filesystem::path& fallback);

// "live-session" outside tmux; inside, @vim_bin, @zelt_bin, TMUX_CONF, TMUX_CONF_LOCAL and the key
// bindings the distribution declares.
void push_live_checks(std::vector<Check>& checks, const Tmux& tmux, bool inside);

// "@qbox_root": the vault the QuillBox picker was last pointed at.
void push_qbox_root_check(std::vector<Check>& checks, const Tmux& tmux, bool inside);

}  // namespace vesk::doctor
