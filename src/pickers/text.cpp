#include "pickers/text.hpp"

#include <optional>

#include "core/text.hpp"

namespace vesk {

namespace {

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// term_found for an ASCII term over the ASCII start of the candidate, byte by byte: most names are
// plain ASCII, and lower-casing ASCII needs no table. Nothing when a byte beyond ASCII comes
// before the answer is known (its lower case may be ASCII, as for the Kelvin sign).
std::optional<bool> ascii_term_found(std::string_view term, std::string_view candidate) {
    std::size_t j = 0;
    for (char w : term) {
        if (static_cast<unsigned char>(w) >= 0x80) return std::nullopt;
        w = ascii_lower(w);
        for (;;) {
            if (j == candidate.size()) return false;
            const char h = candidate[j++];
            if (static_cast<unsigned char>(h) >= 0x80) return std::nullopt;
            if (ascii_lower(h) == w) break;
        }
    }
    return true;
}

// Whether every lower-cased character of `term` is found in `candidate`, in order.
bool term_found(std::string_view term, std::string_view candidate) {
    if (std::optional<bool> found = ascii_term_found(term, candidate)) return *found;
    LowerCaseReader want(term), have(candidate);
    char32_t w, h;
    while (want.next(w)) {
        do {
            if (!have.next(h)) return false;
        } while (h != w);
    }
    return true;
}

}  // namespace

// The finder runs this on every line of a listing of a whole tree, for every keystroke: nothing
// here allocates, the terms are found in the query and both sides lower-cased as they are read.
bool subsequence_match(std::string_view query, std::string_view candidate) {
    std::size_t i = 0;
    while (i < query.size()) {
        std::size_t start = i;
        if (is_unicode_space(next_utf8_char(query, i))) continue;
        std::size_t end = i;
        while (i < query.size() && !is_unicode_space(next_utf8_char(query, i))) end = i;
        if (!term_found(query.substr(start, end - start), candidate)) return false;
    }
    return true;
}

std::string pad_display(std::string_view text, std::size_t width) {
    std::string out(text);
    std::size_t have = display_width(text);
    if (have < width) out.append(width - have, ' ');
    return out;
}

std::string pad_chars(std::string_view text, std::size_t width) {
    std::string out(text);
    const std::size_t have = decode_utf8(text).size();
    if (have < width) out.append(width - have, ' ');
    return out;
}

std::optional<std::string_view> tab_field(std::string_view line, std::size_t index) {
    for (std::size_t i = 0; i < index; ++i) {
        std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return std::nullopt;
        line.remove_prefix(tab + 1);
    }
    return line.substr(0, line.find('\t'));
}

std::string strip_trailing_slash(const std::filesystem::path& path) {
    std::string text = path_text(path);
    while (!text.empty() && text.back() == '/') text.pop_back();
    return text;
}

}  // namespace vesk
