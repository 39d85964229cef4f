#include "config/places.hpp"

#include <system_error>

#include "config/config.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"

namespace vesk::config {

namespace fs = std::filesystem;

Environment Environment::current() {
    return Environment{env_var("HOME"), env_var("XDG_CONFIG_HOME"), env_var("ZELT")};
}

std::optional<fs::path> config_dir(const Environment& env) {
    if (env.xdg_config_home && !env.xdg_config_home->empty()) return fs::path(*env.xdg_config_home) / "vesk";
    if (env.home) return fs::path(*env.home) / ".config" / "vesk";
    return std::nullopt;
}

Current current_for(const Environment& env, const std::optional<fs::path>& explicit_root) {
    std::optional<fs::path> dir = config_dir(env);
    Current current;
    if (explicit_root) {
        current.root = *explicit_root;
    } else if (env.zelt && !env.zelt->empty()) {
        current.root = *env.zelt;
    } else {
        std::optional<std::string> from_toml;
        if (dir) {
            if (auto text = read_text_if_any(*dir / "config.toml")) from_toml = zelt_from_toml(*text, env.home);
        }
        if (from_toml) current.root = *from_toml;
        else if (env.home) current.root = fs::path(*env.home) / ".tmux";
        else current.root = ".tmux";
    }
    if (dir) {
        if (auto license = read_text_if_any(*dir / ".license")) current.embedded = !license_is_valid(*license);
    }
    return current;
}

Places Places::resolve(const Environment& env, const std::optional<fs::path>& zeltdir) {
    // An empty root would put bin/, doc/ and lists/ into whatever directory vesk runs in.
    if (zeltdir && zeltdir->empty()) throw Error("설치 자리가 비어 있습니다: --zeltdir에 디렉터리를 주십시오");
    Current current = current_for(env, zeltdir);
    Places places;
    if (env.home) places.home = fs::path(*env.home);
    places.config_dir = config::config_dir(env);
    // A relative root (--zeltdir=x, ZELT=x, a relative HOME) is taken from the working directory,
    // once: ~/.tmux.conf links to it and tmux reads @zelt from anywhere, so it must not depend on
    // where the next command runs.
    places.root = current.root;
    if (places.root.is_relative()) {
        std::error_code ec;
        fs::path absolute = fs::absolute(places.root, ec);
        if (!ec) places.root = absolute;
    }
    places.embedded = current.embedded;
    // The plugins live under the root as every configuration command finds it (setup fetches
    // them into <root>/plugins and the doctor checks them there), also when only config.toml
    // names that root.
    const bool root_named = zeltdir || (env.zelt && !env.zelt->empty()) || env.home || current.root != ".tmux";
    if (root_named) {
        fs::path dir = places.root / "plugins";
        std::error_code ec;
        if (fs::is_directory(dir, ec)) places.plugins_dir = dir;
    }
    return places;
}

Places Places::resolve(const std::optional<fs::path>& zeltdir) { return resolve(Environment::current(), zeltdir); }

const fs::path& Places::require_home() const {
    if (!home) throw Error("HOME을 찾을 수 없습니다");
    return *home;
}

std::optional<fs::path> Places::keybindings_conf() const {
    if (!config_dir) return std::nullopt;
    return *config_dir / "keybindings.conf";
}

std::optional<fs::path> Places::plugins_conf() const {
    if (!config_dir) return std::nullopt;
    return *config_dir / "plugins.conf";
}

std::optional<fs::path> Places::user_confs_dir() const {
    if (!config_dir) return std::nullopt;
    return *config_dir / "confs";
}

std::string Places::user_fragment(std::string_view name) const {
    auto dir = user_confs_dir();
    if (!dir) return {};
    return read_text_if_any(*dir / std::string(name)).value_or(std::string());
}

}  // namespace vesk::config
