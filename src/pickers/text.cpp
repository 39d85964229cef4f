#include "pickers/text.hpp"

#include "core/text.hpp"

namespace vesk {

namespace {

// Whether every lower-cased character of `term` is found in `candidate`, in order.
bool term_found(std::string_view term, std::string_view candidate) {
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

std::string strip_trailing_slash(const std::filesystem::path& path) {
    std::string text = path_text(path);
    while (!text.empty() && text.back() == '/') text.pop_back();
    return text;
}

}  // namespace vesk
