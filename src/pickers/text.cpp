#include "pickers/text.hpp"

#include <vector>

#include "core/text.hpp"

namespace vesk {

namespace {

std::vector<std::u32string> split_terms(const std::u32string& text) {
    std::vector<std::u32string> terms;
    std::u32string cur;
    for (char32_t c : text) {
        if (is_unicode_space(c)) {
            if (!cur.empty()) terms.push_back(std::move(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) terms.push_back(std::move(cur));
    return terms;
}

std::u32string lower_chars(std::string_view text) { return decode_utf8(to_lower(text)); }

}  // namespace

bool subsequence_match(std::string_view query, std::string_view candidate) {
    std::vector<std::u32string> terms = split_terms(decode_utf8(query));
    if (terms.empty()) return true;
    std::u32string hay = lower_chars(candidate);
    for (const auto& term : terms) {
        size_t pos = 0;
        std::string term_text;
        for (char32_t c : term) append_utf8(term_text, c);
        for (char32_t c : lower_chars(term_text)) {
            size_t found = hay.find(c, pos);
            if (found == std::u32string::npos) return false;
            pos = found + 1;
        }
    }
    return true;
}

std::string pad_display(std::string_view text, std::size_t width) {
    std::string out(text);
    std::size_t have = display_width(text);
    if (have < width) out.append(width - have, ' ');
    return out;
}

std::string strip_trailing_slash(const std::filesystem::path& path) {
    std::string text = path_text(path);
    while (!text.empty() && text.back() == '/') text.pop_back();
    return text;
}

}  // namespace vesk
