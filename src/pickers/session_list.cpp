#include <algorithm>
#include <cstdio>

#include "core/files.hpp"
#include "core/text.hpp"
#include "pickers/session.hpp"
#include "pickers/text.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

namespace {

// The last component of a directory, as a session name: trailing slashes and "." steps do not
// count; none for "/", ".." or a name that is not valid UTF-8.
std::optional<std::string> last_component(const fs::path& dir) {
    std::string text = dir.native();
    for (;;) {
        if (text.size() > 1 && text.ends_with('/')) text.pop_back();
        else if (text.size() > 2 && text.ends_with("/.")) text.resize(text.size() - 2);
        else break;
    }
    std::string name = text.substr(text.rfind('/') + 1);
    if (name.empty() || name == "." || name == ".." || !is_valid_utf8(name)) return std::nullopt;
    return name;
}

}  // namespace

std::vector<SessionEntry> parse_session_entries(std::string_view text, std::string_view default_dir) {
    std::vector<SessionEntry> entries;
    for (const std::string& line : split_lines(text)) {
        const std::size_t bar = line.find('|');
        std::string name(trim(std::string_view(line).substr(0, bar)));
        std::string dir = bar == std::string::npos ? "" : std::string(trim(std::string_view(line).substr(bar + 1)));
        if (name.empty() && dir.empty()) continue;
        if (dir.empty()) dir = default_dir;
        fs::path expanded = expand_home(dir);
        if (name.empty()) {
            if (auto last = last_component(expanded)) name = *last;
            else if (expanded.empty()) continue;
        }
        entries.push_back({std::move(name), std::move(expanded), line});
    }
    return entries;
}

std::vector<SessionEntry> session_entries(const fs::path& list, std::string_view default_dir) {
    std::string text;
    try {
        text = read_file(list);
    } catch (const std::exception&) {
        return {};
    }
    return parse_session_entries(text, default_dir);
}

std::vector<std::string> format_session_entries(const std::vector<SessionEntry>& entries) {
    std::size_t longest = 0;
    for (const auto& e : entries) longest = std::max(longest, decode_utf8(e.name).size());
    std::vector<std::string> lines;
    for (const auto& e : entries) {
        const std::string dir = path_text(e.dir);
        lines.push_back(pad_chars(e.name, longest) + " | " + dir + "\t" + e.name + "\t" + dir);
    }
    return lines;
}

std::optional<std::string> move_session_to_top(std::string_view text, std::string_view name) {
    std::vector<std::string> lines = split_lines(text);
    auto named = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return trim(std::string_view(line).substr(0, line.find('|'))) == name;
    });
    if (named == lines.end()) return std::nullopt;
    std::string out = *named + "\n";
    lines.erase(named);
    for (const auto& line : lines) out += line + "\n";
    return out;
}

std::string tmux_session_name(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c >= 0x80) {
            // A valid UTF-8 sequence stays as it is; a stray byte is written in octal.
            std::size_t len = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc0 ? 2 : 1;
            if (len > 1 && i + len <= name.size() && is_valid_utf8(name.substr(i, len))) {
                out.append(name.substr(i, len));
                i += len;
                continue;
            }
        }
        ++i;
        switch (c) {
            case '.': case ':': out += '_'; continue;
            case '\\': out += "\\\\"; continue;
            case '\a': out += "\\a"; continue;
            case '\b': out += "\\b"; continue;
            case '\t': out += "\\t"; continue;
            case '\n': out += "\\n"; continue;
            case '\v': out += "\\v"; continue;
            case '\f': out += "\\f"; continue;
            case '\r': out += "\\r"; continue;
            default: break;
        }
        if (c < 0x20 || c >= 0x7f) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::vector<std::string> session_tree_lines(std::string_view listing) {
    std::vector<std::string> lines;
    for (const std::string& line : split_lines(listing)) {
        const std::optional<std::string_view> id = tab_field(line, 1);
        if (id && !id->empty()) lines.push_back(line);
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const std::string& a, const std::string& b) { return to_lower(a) < to_lower(b); });
    return lines;
}

}  // namespace vesk::pickers
