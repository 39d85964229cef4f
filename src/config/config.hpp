// Where the user's configuration lives, where the distribution is installed, and whether the
// configuration sources come from the copies compiled in (general-user) or from the installation
// root (authoring). Nothing here fails: a missing variable or an unreadable file only selects the
// next fallback.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vesk::config {

// $XDG_CONFIG_HOME/vesk when that is set and not empty, else $HOME/.config/vesk, else nothing.
std::optional<std::filesystem::path> config_dir();

// The installation root and the mode the configuration commands work with.
struct Current {
    std::filesystem::path root;
    bool embedded = true;  // true: general-user, false: authoring
};

// Root: the explicit root (unchanged, even when empty), else $ZELT when not empty, else the last
// valid `zelt` line of config.toml, else $HOME/.tmux, else ".tmux". Mode: authoring only when
// .license in the configuration directory names an author in valid form.
Current current_for(const std::optional<std::filesystem::path>& explicit_root);

// <configuration directory>/confs, or nothing.
std::optional<std::filesystem::path> user_confs_dir();

// The text of <configuration directory>/confs/<name>; empty when there is none or it cannot be
// read as UTF-8.
std::string user_fragment(std::string_view name);

// The value of the last valid `zelt = <path>` line of a config.toml text, `~` expanded with
// `home` when given; nothing when no line gives one.
std::optional<std::string> zelt_from_toml(std::string_view text, const std::optional<std::string>& home);

// Whether a .license text names an author as "NAME" <LOCAL@DOMAIN>.
bool license_is_valid(std::string_view text);

// `vesk mode`: prints "general-user" or "authoring".
void mode();

}  // namespace vesk::config
