#include "config/config.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <utf8proc.h>

#include "core/text.hpp"

namespace vesk::config {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> env_var(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

// The whole file as UTF-8 text, or nothing when it cannot be read or is not UTF-8.
// Missing files are the usual case (one per fragment on every rebuild), so no exception is
// raised for them.
std::optional<std::string> read_utf8(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string bytes;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {  // a directory, say
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!is_valid_utf8(bytes)) return std::nullopt;
    return bytes;
}

bool has_unicode_space(std::string_view text) {
    const auto* p = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    utf8proc_ssize_t left = static_cast<utf8proc_ssize_t>(text.size());
    while (left > 0) {
        utf8proc_int32_t c = 0;
        utf8proc_ssize_t n = utf8proc_iterate(p, left, &c);
        if (n <= 0) return false;  // only valid UTF-8 reaches here
        if (is_unicode_space(static_cast<char32_t>(c))) return true;
        p += n;
        left -= n;
    }
    return false;
}

bool domain_is_valid(std::string_view domain) {
    return !domain.empty() && domain.find('@') == std::string_view::npos &&
           domain.find('.') != std::string_view::npos && domain.front() != '.' && domain.back() != '.';
}

}  // namespace

std::optional<fs::path> config_dir() {
    if (auto xdg = env_var("XDG_CONFIG_HOME"); xdg && !xdg->empty()) return fs::path(*xdg) / "vesk";
    if (auto home = env_var("HOME")) return fs::path(*home) / ".config" / "vesk";
    return std::nullopt;
}

std::optional<std::string> zelt_from_toml(std::string_view text, const std::optional<std::string>& home) {
    std::optional<std::string> found;
    for (const std::string& raw : split_lines(text)) {
        std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#') continue;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (trim(line.substr(0, eq)) != "zelt") continue;
        std::string_view value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (value.empty()) continue;
        std::string result(value);
        if (result.front() == '~' && home) result = *home + result.substr(1);
        found = std::move(result);
    }
    return found;
}

bool license_is_valid(std::string_view text) {
    std::string_view t = trim(text);
    if (t.empty() || t.front() != '"') return false;
    std::size_t close = t.find('"', 1);
    if (close == std::string_view::npos) return false;
    std::string_view name = t.substr(1, close - 1);
    if (name.find('\n') != std::string_view::npos || is_blank(name)) return false;
    std::string_view rest = trim_start(t.substr(close + 1));
    // "<" alone cannot open and close the address at once.
    if (rest.size() < 2 || rest.front() != '<' || rest.back() != '>') return false;
    std::string_view address = rest.substr(1, rest.size() - 2);
    std::size_t at = address.find('@');
    if (at == std::string_view::npos || at == 0) return false;
    if (!domain_is_valid(address.substr(at + 1))) return false;
    return !has_unicode_space(address);
}

Current current_for(const std::optional<fs::path>& explicit_root) {
    std::optional<fs::path> dir = config_dir();
    std::optional<std::string> home = env_var("HOME");
    Current current;
    if (explicit_root) {
        current.root = *explicit_root;
    } else if (auto zelt = env_var("ZELT"); zelt && !zelt->empty()) {
        current.root = *zelt;
    } else {
        std::optional<std::string> from_toml;
        if (dir) {
            if (auto text = read_utf8(*dir / "config.toml")) from_toml = zelt_from_toml(*text, home);
        }
        if (from_toml) current.root = *from_toml;
        else if (home) current.root = fs::path(*home) / ".tmux";
        else current.root = ".tmux";
    }
    if (dir) {
        if (auto license = read_utf8(*dir / ".license")) current.embedded = !license_is_valid(*license);
    }
    return current;
}

std::optional<fs::path> user_confs_dir() {
    if (auto dir = config_dir()) return *dir / "confs";
    return std::nullopt;
}

std::string user_fragment(std::string_view name) {
    auto dir = user_confs_dir();
    if (!dir) return {};
    return read_utf8(*dir / std::string(name)).value_or(std::string());
}

void mode() {
    std::fputs(current_for(std::nullopt).embedded ? "general-user\n" : "authoring\n", stdout);
}

}  // namespace vesk::config
