// fzf's matchers for one search term against one line: the optimal fuzzy alignment (with the
// greedy one for very long lines), the exact, prefix, suffix and whole-line matches, each giving
// fzf's score, or nothing when the term does not match.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vesk::fzf {

// A line as fzf holds it: bytes when it is all ASCII, else its characters.
struct Text {
    const char32_t* chars = nullptr;
    std::size_t size = 0;
    const char* bytes = nullptr;  // set for an ASCII line (chars then holds the same, widened)
    char32_t at(std::size_t i) const { return chars[i]; }
};

// Working memory of the fuzzy matcher, kept from line to line.
struct Scratch {
    std::vector<int> h0, c0, b, h, c;
    std::vector<std::size_t> f;
    std::vector<char32_t> t;
};

// How a term's characters are compared: lower case (one character for one), and Latin letters
// folded as fzf folds them.
char32_t fold_case(char32_t c);
char32_t fold_latin(char32_t c);
// The line's length in characters without the blanks around it (fzf's tie-break).
std::size_t trimmed_length(const Text& t);

// `pattern` is in lower case unless the term is case-sensitive, and folded when `normalize`.
std::optional<int> match_fuzzy(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern,
                               Scratch& scratch);
std::optional<int> match_exact(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern);
std::optional<int> match_prefix(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern);
std::optional<int> match_suffix(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern);
std::optional<int> match_equal(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern);

}  // namespace vesk::fzf
