#include "agent/fzf_match.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include <utf8proc.h>

#include "ui/fuzzy_score.hpp"
#include "agent/fzf_normalize.hpp"
#include "core/text.hpp"

namespace vesk::fzf {

char32_t fold_case(char32_t c) { return static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c))); }
char32_t fold_latin(char32_t c) { return fzf_normalize(c); }

namespace {

using fuzzy::char_class;
using fuzzy::CharClass;

// fzf's scoring constants (scheme "default").
constexpr int kScoreMatch = 16;
constexpr int kGapStart = -3;
constexpr int kGapExtension = -1;
constexpr int kBonusBoundary = kScoreMatch / 2;
constexpr int kBonusNonWord = kScoreMatch / 2;
constexpr int kBonusCamel123 = kBonusBoundary + kGapExtension;
constexpr int kBonusConsecutive = -(kGapStart + kGapExtension);
constexpr int kFirstCharMultiplier = 2;
constexpr int kBonusBoundaryWhite = kBonusBoundary + 2;
constexpr int kBonusBoundaryDelimiter = kBonusBoundary + 1;
// Beyond this many cells the optimal alignment is too dear and fzf takes the greedy one.
constexpr std::size_t kSlabCells = 100 * 1024;

int fzf_bonus(CharClass prev, CharClass cur) {
    // fzf orders its classes white, non-word, delimiter, lower, upper, letter, number and gives the
    // boundary bonus to a class after non-word: a delimiter or a word character.
    if (cur != CharClass::White && cur != CharClass::NonWord) {
        if (prev == CharClass::White) return kBonusBoundaryWhite;
        if (prev == CharClass::Delimiter) return kBonusBoundaryDelimiter;
        if (prev == CharClass::NonWord) return kBonusBoundary;
    }
    if ((prev == CharClass::Lower && cur == CharClass::Upper) ||
        (prev != CharClass::Number && cur == CharClass::Number))
        return kBonusCamel123;
    if (cur == CharClass::NonWord) return kBonusNonWord;
    if (cur == CharClass::White) return kBonusBoundaryWhite;
    return 0;
}

// The lowering of the greedy and exact matchers: ASCII letters, and every character beyond ASCII.
char32_t lower_any(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c > 0x7F) return fold_case(c);
    return c;
}

std::size_t leading_spaces(const Text& t) {
    std::size_t i = 0;
    while (i < t.size && is_unicode_space(t.at(i))) ++i;
    return i;
}

std::size_t trailing_spaces(const Text& t) {
    std::size_t i = 0;
    while (i < t.size && is_unicode_space(t.at(t.size - 1 - i))) ++i;
    return i;
}

bool all_ascii(const std::u32string& s) {
    return std::all_of(s.begin(), s.end(), [](char32_t c) { return c < 0x80; });
}

// First position from `from` holding byte b (or its upper case when case is ignored); npos if none.
std::size_t try_skip(const Text& t, bool case_sensitive, unsigned char b, std::size_t from) {
    const char* base = t.bytes + from;
    const std::size_t n = t.size - from;
    const void* hit = n ? std::memchr(base, b, n) : nullptr;
    std::size_t idx = hit ? static_cast<const char*>(hit) - base : std::string::npos;
    if (idx == 0) return from;
    if (!case_sensitive && b >= 'a' && b <= 'z') {
        const std::size_t scope = idx == std::string::npos ? n : idx;
        const void* upper = scope ? std::memchr(base, b - 32, scope) : nullptr;
        if (upper) idx = static_cast<const char*>(upper) - base;
    }
    return idx == std::string::npos ? std::string::npos : from + idx;
}

struct Span {
    std::size_t min = 0, max = 0;
};

// Where a match can lie in an ASCII line: from one before the pattern's first character to after
// the last occurrence of its last one. Nothing when the pattern cannot occur.
std::optional<Span> ascii_fuzzy_index(const Text& t, const std::u32string& pattern, bool case_sensitive) {
    if (!t.bytes) return Span{0, t.size};
    if (!all_ascii(pattern)) return std::nullopt;
    std::size_t first = 0, idx = 0, last = 0;
    unsigned char b = 0;
    for (std::size_t p = 0; p < pattern.size(); ++p) {
        b = static_cast<unsigned char>(pattern[p]);
        idx = try_skip(t, case_sensitive, b, idx);
        if (idx == std::string::npos) return std::nullopt;
        if (p == 0 && idx > 0) first = idx - 1;
        last = idx;
        ++idx;
    }
    unsigned char bu = b;
    if (!case_sensitive && b >= 'a' && b <= 'z') bu = b - 32;
    for (std::size_t off = t.size - last - 1; off > 0; --off) {
        unsigned char c = static_cast<unsigned char>(t.bytes[last + off]);
        if (c == b || c == bu) return Span{first, last + off + 1};
    }
    return Span{first, last + 1};
}

// Score of the match of `pattern` at [sidx, eidx), as fzf rescores exact and greedy matches.
int calculate_score(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern,
                    std::size_t sidx, std::size_t eidx) {
    std::size_t pidx = 0;
    int score = 0, consecutive = 0, first_bonus = 0;
    bool in_gap = false;
    CharClass prev = sidx > 0 ? char_class(t.at(sidx - 1)) : CharClass::White;
    for (std::size_t idx = sidx; idx < eidx; ++idx) {
        char32_t c = t.at(idx);
        const CharClass cls = char_class(c);
        if (!case_sensitive) c = lower_any(c);
        if (normalize) c = fold_latin(c);
        if (pidx < pattern.size() && c == pattern[pidx]) {
            score += kScoreMatch;
            int bonus = fzf_bonus(prev, cls);
            if (consecutive == 0) {
                first_bonus = bonus;
            } else {
                if (bonus >= kBonusBoundary && bonus > first_bonus) first_bonus = bonus;
                bonus = std::max({bonus, first_bonus, kBonusConsecutive});
            }
            score += pidx == 0 ? bonus * kFirstCharMultiplier : bonus;
            in_gap = false;
            ++consecutive;
            ++pidx;
        } else {
            score += in_gap ? kGapExtension : kGapStart;
            in_gap = true;
            consecutive = 0;
            first_bonus = 0;
        }
        prev = cls;
    }
    return score;
}

std::optional<int> fuzzy_v1(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern) {
    if (pattern.empty()) return 0;
    if (!ascii_fuzzy_index(t, pattern, case_sensitive)) return std::nullopt;
    auto fold = [&](char32_t c) {
        if (!case_sensitive) c = lower_any(c);
        if (normalize) c = fold_latin(c);
        return c;
    };
    std::size_t pidx = 0;
    std::optional<std::size_t> sidx, eidx;
    for (std::size_t i = 0; i < t.size; ++i) {
        if (fold(t.at(i)) == pattern[pidx]) {
            if (!sidx) sidx = i;
            if (++pidx == pattern.size()) {
                eidx = i + 1;
                break;
            }
        }
    }
    if (!sidx || !eidx) return std::nullopt;
    // Walk back from the end for the shortest match ending there.
    std::size_t start = *sidx;
    std::size_t p = pattern.size() - 1;
    for (std::size_t i = *eidx; i-- > *sidx;) {
        if (fold(t.at(i)) == pattern[p]) {
            if (p == 0) {
                start = i;
                break;
            }
            --p;
        }
    }
    return calculate_score(case_sensitive, normalize, t, pattern, start, *eidx);
}

// The text character as the prefix, suffix and equal matchers compare it.
char32_t compared(char32_t c, bool case_sensitive, bool normalize) {
    if (!case_sensitive) c = fold_case(c);
    if (normalize) c = fold_latin(c);
    return c;
}

}  // namespace

std::size_t trimmed_length(const Text& t) {
    std::size_t lead = leading_spaces(t);
    if (lead == t.size) return 0;
    return t.size - lead - trailing_spaces(t);
}

std::optional<int> match_fuzzy(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern,
                             Scratch& s) {
    const std::size_t m = pattern.size();
    if (m == 0) return 0;
    if (m > t.size) return std::nullopt;
    if (t.size * m > kSlabCells) return fuzzy_v1(case_sensitive, normalize, t, pattern);
    std::optional<Span> span = ascii_fuzzy_index(t, pattern, case_sensitive);
    if (!span) return std::nullopt;
    const std::size_t min_idx = span->min;
    const std::size_t n = span->max - span->min;

    s.h0.assign(n, 0);
    s.c0.assign(n, 0);
    s.b.assign(n, 0);
    s.f.assign(m, 0);
    s.t.resize(n);

    // Phase 1: bonuses, the first row, and where each pattern character first occurs in order.
    int max_score = 0;
    std::size_t pidx = 0, last_idx = 0;
    const char32_t p0 = pattern[0];
    char32_t pchar = pattern[0];
    int prev_h0 = 0;
    CharClass prev = CharClass::White;
    bool in_gap = false;
    for (std::size_t off = 0; off < n; ++off) {
        char32_t c = t.at(min_idx + off);
        const CharClass cls = char_class(c);
        if (c < 0x80) {
            if (!case_sensitive && cls == CharClass::Upper) c += 32;
        } else {
            if (!case_sensitive && cls == CharClass::Upper) c = fold_case(c);
            if (normalize) c = fold_latin(c);
        }
        s.t[off] = c;
        const int bonus = fzf_bonus(prev, cls);
        s.b[off] = bonus;
        prev = cls;
        if (c == pchar) {
            if (pidx < m) {
                s.f[pidx] = off;
                ++pidx;
                pchar = pattern[std::min(pidx, m - 1)];
            }
            last_idx = off;
        }
        if (c == p0) {
            const int score = kScoreMatch + bonus * kFirstCharMultiplier;
            s.h0[off] = score;
            s.c0[off] = 1;
            if (m == 1 && score > max_score) {
                max_score = score;
                if (bonus >= kBonusBoundary) break;
            }
            in_gap = false;
        } else {
            s.h0[off] = std::max(prev_h0 + (in_gap ? kGapExtension : kGapStart), 0);
            s.c0[off] = 0;
            in_gap = true;
        }
        prev_h0 = s.h0[off];
    }
    if (pidx != m) return std::nullopt;
    if (m == 1) return max_score;

    // Phase 2: the score matrix, one row per further pattern character.
    const std::size_t f0 = s.f[0];
    const std::size_t width = last_idx - f0 + 1;
    s.h.assign(width * m, 0);
    s.c.assign(width * m, 0);
    std::copy(s.h0.begin() + f0, s.h0.begin() + last_idx + 1, s.h.begin());
    std::copy(s.c0.begin() + f0, s.c0.begin() + last_idx + 1, s.c.begin());
    for (std::size_t row_index = 1; row_index < m; ++row_index) {
        const std::size_t f = s.f[row_index];
        const char32_t pc = pattern[row_index];
        const std::size_t row = row_index * width;
        bool gap = false;
        s.h[row + f - f0 - 1] = 0;
        for (std::size_t col = f; col <= last_idx; ++col) {
            const std::size_t cell = row + col - f0;
            int s1 = 0, consecutive = 0;
            const int s2 = s.h[cell - 1] + (gap ? kGapExtension : kGapStart);
            if (pc == s.t[col]) {
                s1 = s.h[cell - 1 - width] + kScoreMatch;
                int b = s.b[col];
                consecutive = s.c[cell - 1 - width] + 1;
                if (consecutive > 1) {
                    const int fb = s.b[col - static_cast<std::size_t>(consecutive) + 1];
                    if (b >= kBonusBoundary && b > fb) consecutive = 1;
                    else b = std::max({b, kBonusConsecutive, fb});
                }
                if (s1 + b < s2) {
                    s1 += s.b[col];
                    consecutive = 0;
                } else {
                    s1 += b;
                }
            }
            s.c[cell] = consecutive;
            gap = s1 < s2;
            const int score = std::max({s1, s2, 0});
            if (row_index == m - 1 && score > max_score) max_score = score;
            s.h[cell] = score;
        }
    }
    return max_score;
}

std::optional<int> match_exact(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern) {
    const std::size_t m = pattern.size();
    if (m == 0) return 0;
    if (t.size < m) return std::nullopt;
    if (!ascii_fuzzy_index(t, pattern, case_sensitive)) return std::nullopt;
    std::size_t pidx = 0;
    std::optional<std::size_t> best_pos;
    int bonus = 0, best_bonus = -1;
    for (std::size_t index = 0; index < t.size; ++index) {
        char32_t c = t.at(index);
        if (!case_sensitive) c = lower_any(c);
        if (normalize) c = fold_latin(c);
        if (pattern[pidx] == c) {
            if (pidx == 0)
                bonus = index == 0 ? kBonusBoundaryWhite : fzf_bonus(char_class(t.at(index - 1)), char_class(t.at(index)));
            if (++pidx == m) {
                if (bonus > best_bonus) {
                    best_pos = index;
                    best_bonus = bonus;
                }
                if (bonus >= kBonusBoundary) break;
                index -= pidx - 1;
                pidx = 0;
                bonus = 0;
            }
        } else {
            index -= pidx;
            pidx = 0;
            bonus = 0;
        }
    }
    if (!best_pos) return std::nullopt;
    const std::size_t eidx = *best_pos + 1;
    return calculate_score(case_sensitive, normalize, t, pattern, eidx - m, eidx);
}

std::optional<int> match_prefix(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern) {
    if (pattern.empty()) return 0;
    const std::size_t start = is_unicode_space(pattern[0]) ? 0 : leading_spaces(t);
    if (t.size - start < pattern.size()) return std::nullopt;
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (compared(t.at(start + i), case_sensitive, normalize) != pattern[i]) return std::nullopt;
    return calculate_score(case_sensitive, normalize, t, pattern, start, start + pattern.size());
}

std::optional<int> match_suffix(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern) {
    std::size_t end = t.size;
    if (pattern.empty() || !is_unicode_space(pattern.back())) end -= trailing_spaces(t);
    if (pattern.empty()) return 0;
    if (end < pattern.size()) return std::nullopt;
    const std::size_t start = end - pattern.size();
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (compared(t.at(start + i), case_sensitive, normalize) != pattern[i]) return std::nullopt;
    return calculate_score(case_sensitive, normalize, t, pattern, start, end);
}

std::optional<int> match_equal(bool case_sensitive, bool normalize, const Text& t, const std::u32string& pattern) {
    const std::size_t m = pattern.size();
    if (m == 0) return std::nullopt;
    const std::size_t lead = is_unicode_space(pattern[0]) ? 0 : leading_spaces(t);
    const std::size_t trail = is_unicode_space(pattern[m - 1]) ? 0 : trailing_spaces(t);
    if (lead + trail > t.size || t.size - lead - trail != m) return std::nullopt;
    for (std::size_t i = 0; i < m; ++i) {
        char32_t c = t.at(lead + i);
        if (!case_sensitive) c = fold_case(c);
        char32_t p = pattern[i];
        if (normalize) {
            c = fold_latin(c);
            p = fold_latin(p);
        }
        if (c != p) return std::nullopt;
    }
    return (kScoreMatch + kBonusBoundaryWhite) * static_cast<int>(m) + (kFirstCharMultiplier - 1) * kBonusBoundaryWhite;
}


}  // namespace vesk::fzf
