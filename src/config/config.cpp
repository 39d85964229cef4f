#include "config/config.hpp"

#include <cstdio>

#include <utf8proc.h>

#include "config/places.hpp"
#include "core/text.hpp"

namespace vesk::config {

namespace fs = std::filesystem;

namespace {

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

void mode() {
    std::fputs(Places::resolve().embedded ? "general-user\n" : "authoring\n", stdout);
}

}  // namespace vesk::config
