// `vesk setup`: installs the distribution for the current user in one run — the program and its
// support files under the installation root, <root>/.tmux.conf, the configuration directory with
// empty user fragments, the ~/.tmux.conf link, ~/.tmux.conf.local through the rebuild, and the
// default plugins fetched on a private tmux server.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "defaults/profile.hpp"

namespace vesk::setup {

// Whether `link` is a symbolic link storing exactly `target`. A missing link gives false; a
// failure to read its metadata throws with the context "tmux 기본 설정 파일 상태를 확인하지 못했습니다.".
bool home_tmux_conf_points_to_output(const std::filesystem::path& link, const std::filesystem::path& target);

struct SetupArgs {
    std::optional<std::string> zeltdir;
    ConfigProfile profile = default_profile();
    bool force = false;
    bool skip_plugins = false;
};

// The body of `vesk setup`.
void setup(const SetupArgs& args);

// The iTerm2 key-map notice, printed when <root>/doc/keybindings.itermkeymap is a regular file.
void announce_iterm2_keymap(const std::filesystem::path& root);

}  // namespace vesk::setup
