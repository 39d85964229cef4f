#include "core/quote.hpp"

#include <algorithm>
#include <cctype>

#include <fmt/format.h>
#include <utf8proc.h>

#include "core/text.hpp"

namespace vesk {

std::string shell_quote(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    out += '\'';
    return out;
}

namespace {

bool bare_in_shell(char32_t c) {
    if (c < 0x80) return std::isalnum(static_cast<int>(c)) || std::string_view("+-./:=@_").find(char(c)) != std::string_view::npos;
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(c))) {
        case UTF8PROC_CATEGORY_LU: case UTF8PROC_CATEGORY_LL: case UTF8PROC_CATEGORY_LT:
        case UTF8PROC_CATEGORY_LM: case UTF8PROC_CATEGORY_LO:
        case UTF8PROC_CATEGORY_ND: case UTF8PROC_CATEGORY_NL: case UTF8PROC_CATEGORY_NO:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string shell_word(std::string_view word) {
    // Invalid UTF-8 decodes to U+FFFD, which is no letter: such a word is quoted.
    const std::u32string chars = decode_utf8(word);
    if (!word.empty() && std::all_of(chars.begin(), chars.end(), bare_in_shell)) return std::string(word);
    return shell_quote(word);
}

std::string shell_quote_path(const std::filesystem::path& path) { return shell_quote(path_text(path)); }

std::string vim_single_quote_path(const std::filesystem::path& path) {
    std::string out = "'";
    for (char c : path_text(path)) {
        if (c == '\'') out += "''";
        // A literal string cannot span lines: the line feed joins in as "\n".
        else if (c == '\n') out += "' . \"\\n\" . '";
        else out += c;
    }
    out += '\'';
    return out;
}

std::string tmux_double_quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '$': out += "\\$"; break;
            case '~': out += "\\~"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
    out += '"';
    return out;
}

std::string tmux_source_path(std::string_view path) {
    std::string out;
    for (char c : path) {
        if (c == '\\' || c == '*' || c == '?' || c == '[') out += '\\';
        out += c;
    }
    return out;
}

std::string tmux_format_escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '#') out += '#';
    }
    return out;
}

namespace {

// A control character (U+0000-001F, U+007F-009F) in its JSON form: \t \n \r, the others \u00xx in
// lower-case hex. False for any other character, which is left to the caller.
bool append_escaped_control(std::string& out, char32_t c) {
    switch (c) {
        case '\t': out += "\\t"; return true;
        case '\n': out += "\\n"; return true;
        case '\r': out += "\\r"; return true;
        default:
            if (c >= 0x20 && (c < 0x7f || c > 0x9f)) return false;
            out += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
            return true;
    }
}

}  // namespace

std::string json_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : decode_utf8(text)) {
        if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (!append_escaped_control(out, c)) append_utf8(out, c);
    }
    return out;
}

std::string escape_controls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : decode_utf8(text)) {
        if (!append_escaped_control(out, c)) append_utf8(out, c);
    }
    return out;
}

}  // namespace vesk
