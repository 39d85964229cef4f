#include "core/quote.hpp"

#include <fmt/format.h>

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

std::string shell_quote_path(const std::filesystem::path& path) { return shell_quote(path_text(path)); }

std::string vim_single_quote_path(const std::filesystem::path& path) {
    std::string out = "'";
    for (char c : path_text(path)) {
        if (c == '\'') out += "''";
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

std::string tmux_format_escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '#') out += '#';
    }
    return out;
}

std::string json_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : decode_utf8(text)) {
        switch (c) {
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default:
                if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) out += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
                else append_utf8(out, c);
        }
    }
    return out;
}

}  // namespace vesk
