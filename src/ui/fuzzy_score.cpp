#include "ui/fuzzy_score.hpp"

#include <algorithm>
#include <array>
#include <climits>

#include <utf8proc.h>

#include "core/text.hpp"

namespace vesk::fuzzy {

namespace {

constexpr int kMatch = 16;
constexpr int kGapStart = 3;
constexpr int kGapExtension = 1;
constexpr int kBoundaryWhite = 10;
constexpr int kBoundaryDelimiter = 9;
constexpr int kBoundary = 8;
constexpr int kCamelOrDigit = 5;
constexpr int kConsecutive = 4;
constexpr int kFirstCharMultiplier = 2;

// Every value bonus_for can return. A run's first bonus is one of them, and the alignment keeps
// one state per value because it decides what the rest of the run earns.
constexpr std::array<int, 5> kRunBonuses = {0, kCamelOrDigit, kBoundary, kBoundaryDelimiter, kBoundaryWhite};

std::size_t run_bonus_slot(int bonus) {
    for (std::size_t r = 0; r < kRunBonuses.size(); ++r)
        if (kRunBonuses[r] == bonus) return r;
    return 0;
}

bool is_word(CharClass c) {
    return c == CharClass::Lower || c == CharClass::Upper || c == CharClass::Letter || c == CharClass::Number;
}

constexpr int kNone = INT_MIN / 2;

}  // namespace

CharClass char_class(char32_t c) {
    if (c >= 'a' && c <= 'z') return CharClass::Lower;
    if (c >= 'A' && c <= 'Z') return CharClass::Upper;
    if (c >= '0' && c <= '9') return CharClass::Number;
    if (is_unicode_space(c)) return CharClass::White;
    if (c == '/' || c == ',' || c == ':' || c == ';' || c == '|') return CharClass::Delimiter;
    if (c < 0x80) return CharClass::NonWord;
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(c))) {
        case UTF8PROC_CATEGORY_LU: return CharClass::Upper;
        case UTF8PROC_CATEGORY_LL: return CharClass::Lower;
        case UTF8PROC_CATEGORY_LT:
        case UTF8PROC_CATEGORY_LM:
        case UTF8PROC_CATEGORY_LO: return CharClass::Letter;
        case UTF8PROC_CATEGORY_ND:
        case UTF8PROC_CATEGORY_NL:
        case UTF8PROC_CATEGORY_NO: return CharClass::Number;
        default: return CharClass::NonWord;
    }
}

int bonus_for(CharClass prev, CharClass cur) {
    if (is_word(cur)) {
        if (prev == CharClass::White) return kBoundaryWhite;
        if (prev == CharClass::Delimiter) return kBoundaryDelimiter;
        if (prev == CharClass::NonWord) return kBoundary;
    }
    if ((prev == CharClass::Lower && cur == CharClass::Upper) ||
        (prev != CharClass::Number && cur == CharClass::Number))
        return kCamelOrDigit;
    return 0;
}

std::vector<int> position_bonuses(const std::u32string& text) {
    std::vector<int> bonuses;
    bonuses.reserve(text.size());
    CharClass prev = CharClass::White;
    for (char32_t c : text) {
        CharClass cur = char_class(c);
        bonuses.push_back(bonus_for(prev, cur));
        prev = cur;
    }
    return bonuses;
}

int run_score(const std::vector<int>& bonuses, std::size_t start, std::size_t length) {
    if (length == 0) return 0;
    int first = bonuses[start];
    int score = kMatch + first * kFirstCharMultiplier;
    for (std::size_t k = 1; k < length; ++k)
        score += kMatch + std::max({bonuses[start + k], first, kConsecutive});
    return score;
}

std::optional<AtomScore> best_fuzzy_alignment(const std::u32string& needle, const std::u32string& text,
                                              const std::vector<int>& bonuses) {
    const std::size_t m = needle.size();
    const std::size_t n = text.size();
    if (m == 0) return AtomScore{};
    if (m > n) return std::nullopt;

    // best[i][j][r]: the best score of needle[0..i] with needle[i] matched at text[j], inside a run
    // whose first character earned kRunBonuses[r]. Greedy choices go wrong here: a weaker start
    // can lead into a run whose first bonus lifts every later character, so each run bonus keeps
    // its own state and the result is the true best over all alignments.
    constexpr std::size_t R = kRunBonuses.size();
    auto at = [&](std::size_t i, std::size_t j, std::size_t r) { return (i * n + j) * R + r; };
    std::vector<int> best(m * n * R, kNone);
    std::vector<char> after_gap(m * n * R, 0);
    std::vector<std::size_t> gap_from(m * n, 0);
    auto best_at = [&](std::size_t i, std::size_t j) {
        int b = kNone;
        for (std::size_t r = 0; r < R; ++r) b = std::max(b, best[at(i, j, r)]);
        return b;
    };

    // Unmatched characters before the first match cost nothing.
    for (std::size_t j = 0; j < n; ++j)
        if (text[j] == needle[0])
            best[at(0, j, run_bonus_slot(bonuses[j]))] = kMatch + bonuses[j] * kFirstCharMultiplier;

    for (std::size_t i = 1; i < m; ++i) {
        // A gap from j' to j (j' <= j - 2) costs kGapStart + kGapExtension * (j - j' - 2), which for
        // the constants 3 and 1 is (j - j' + 1): keep the best of best_at(i - 1, j') + j'.
        static_assert(kGapStart == 3 && kGapExtension == 1);
        int gap_base = kNone;
        std::size_t gap_at = 0;
        for (std::size_t j = 1; j < n; ++j) {
            if (j >= 2) {
                int b = best_at(i - 1, j - 2);
                if (b != kNone && b + static_cast<int>(j - 2) >= gap_base) {
                    gap_base = b + static_cast<int>(j - 2);
                    gap_at = j - 2;
                }
            }
            if (text[j] != needle[i]) continue;
            for (std::size_t r = 0; r < R; ++r) {
                int prev = best[at(i - 1, j - 1, r)];
                if (prev == kNone) continue;
                best[at(i, j, r)] = prev + kMatch + std::max({bonuses[j], kRunBonuses[r], kConsecutive});
            }
            if (gap_base != kNone) {
                int score = gap_base - static_cast<int>(j) - 1 + kMatch + bonuses[j];
                std::size_t slot = at(i, j, run_bonus_slot(bonuses[j]));
                // On a tie the consecutive alignment stays: it keeps the highlight in one piece.
                if (score > best[slot]) {
                    best[slot] = score;
                    after_gap[slot] = 1;
                    gap_from[i * n + j] = gap_at;
                }
            }
        }
    }

    int top = kNone;
    std::size_t end = 0, end_slot = 0;
    for (std::size_t j = m - 1; j < n; ++j)
        for (std::size_t r = 0; r < R; ++r)
            if (best[at(m - 1, j, r)] > top) {
                top = best[at(m - 1, j, r)];
                end = j;
                end_slot = r;
            }
    if (top == kNone) return std::nullopt;

    AtomScore result;
    result.score = top;
    result.positions.resize(m);
    std::size_t j = end, r = end_slot;
    for (std::size_t i = m; i-- > 0;) {
        result.positions[i] = j;
        if (i == 0) break;
        if (after_gap[at(i, j, r)]) {
            j = gap_from[i * n + j];
            int b = best_at(i - 1, j);
            r = 0;
            while (best[at(i - 1, j, r)] != b) ++r;
        } else {
            --j;
        }
    }
    return result;
}

}  // namespace vesk::fuzzy
