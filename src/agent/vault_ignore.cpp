#include "agent/vault_ignore.hpp"

#include <optional>

#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

std::vector<std::string> quillbox_ignore_patterns(const fs::path& zelt, const fs::path& root) {
    std::optional<fs::path> list;
    for (const fs::path& candidate : {root / ".lists" / "quillbox-ignore.list", zelt / "lists" / "quillbox-ignore.list"}) {
        if (regular_file_at(candidate)) {
            list = candidate;
            break;
        }
    }
    std::vector<std::string> patterns;
    if (!list) return patterns;
    std::optional<std::string> text = read_text_if_any(*list);
    if (!text) return patterns;
    for (const std::string& line : split_lines(*text)) {
        std::string_view pattern = trim(line);
        if (pattern.empty() || pattern.starts_with('#')) continue;
        patterns.emplace_back(pattern);
    }
    return patterns;
}

bool wildcard_match(std::string_view pattern, std::string_view text) {
    while (!pattern.empty() && pattern.back() == '/') pattern.remove_suffix(1);
    std::size_t p = 0, t = 0;
    std::optional<std::size_t> star;
    std::size_t mark = 0;
    while (t < text.size()) {
        // A literal comparison comes first, so a `*` meeting a `*` in the text is taken as itself
        // before it is tried as a wildcard.
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p;
            mark = t;
            ++p;
        } else if (star) {
            t = mark + 1;
            mark = t;
            p = *star + 1;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool quillbox_ignored(const std::vector<std::string>& patterns, std::string_view name, std::string_view rel) {
    const bool name_is_text = is_valid_utf8(name);
    for (const std::string& pattern : patterns) {
        if (wildcard_match(pattern, name_is_text ? name : std::string_view()) || wildcard_match(pattern, rel))
            return true;
    }
    return false;
}

}  // namespace vesk::agent
