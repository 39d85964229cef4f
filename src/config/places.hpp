// Where a command finds and keeps things: HOME, the configuration directory, the installation
// root and its mode, the plugins directory. A handler works them out once, from the environment
// and its own arguments, and hands them down; nothing below it reads the environment for a place.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "defaults/defaults.hpp"

namespace vesk::config {

// The variables the places come from, as the process has them.
struct Environment {
    std::optional<std::string> home;             // HOME
    std::optional<std::string> xdg_config_home;  // XDG_CONFIG_HOME
    std::optional<std::string> zelt;             // ZELT

    static Environment current();
};

// $XDG_CONFIG_HOME/vesk when that is set and not empty, else $HOME/.config/vesk, else nothing.
std::optional<std::filesystem::path> config_dir(const Environment& env);

// The installation root and the mode the configuration commands work with.
struct Current {
    std::filesystem::path root;
    bool embedded = true;  // true: general-user, false: authoring
};

// Root: the explicit root (unchanged, even when empty), else $ZELT when not empty, else the last
// valid `zelt` line of config.toml, else $HOME/.tmux, else ".tmux". Mode: authoring only when
// .license in the configuration directory names an author in valid form. Nothing here fails: a
// missing variable or an unreadable file only selects the next fallback.
Current current_for(const Environment& env, const std::optional<std::filesystem::path>& explicit_root);

struct Places {
    std::optional<std::filesystem::path> home;
    std::optional<std::filesystem::path> config_dir;
    std::filesystem::path root;  // the installation root, made absolute from the working directory
    bool embedded = true;        // general-user (compiled-in sources) or authoring (<root>/...)
    // <root>/plugins when it is a directory. With nothing naming a root and no HOME there is none:
    // the relative last resort would make it depend on where vesk runs.
    std::optional<std::filesystem::path> plugins_dir;

    // An empty `zeltdir` is refused (Error): it names no directory.
    static Places resolve(const Environment& env, const std::optional<std::filesystem::path>& zeltdir);
    // From the process's own environment.
    static Places resolve(const std::optional<std::filesystem::path>& zeltdir = std::nullopt);

    // HOME; throws "HOME을 찾을 수 없습니다" when it is unset (the commands that write the user's
    // tmux configuration cannot go on without it).
    const std::filesystem::path& require_home() const;
    // $HOME/.tmux.conf.local, the file the rebuild writes and tmux reads; throws as require_home.
    std::filesystem::path local_conf() const { return require_home() / ".tmux.conf.local"; }

    // The configuration sources of this root and mode.
    Defaults defaults() const { return Defaults{root, embedded}; }
    // Files of the configuration directory; nothing without one.
    std::optional<std::filesystem::path> keybindings_conf() const;
    std::optional<std::filesystem::path> plugins_conf() const;
    std::optional<std::filesystem::path> user_confs_dir() const;
    // The text of <configuration directory>/confs/<name>; empty when there is none or it cannot be
    // read as UTF-8.
    std::string user_fragment(std::string_view name) const;
};

}  // namespace vesk::config
