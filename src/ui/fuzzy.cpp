#include "ui/fuzzy.hpp"

#include <algorithm>

#include <utf8proc.h>

#include "ui/fuzzy_score.hpp"
#include "core/text.hpp"

namespace vesk {

namespace {

// The query's pieces, split at blanks; "\ " puts a blank inside a piece.
std::vector<std::u32string> split_atoms(std::string_view query) {
    std::u32string chars = decode_utf8(query);
    std::vector<std::u32string> pieces;
    std::u32string current;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (chars[i] == U'\\' && i + 1 < chars.size() && chars[i + 1] == U' ') {
            current += U' ';
            ++i;
        } else if (chars[i] == U' ') {
            if (!current.empty()) pieces.push_back(std::move(current));
            current.clear();
        } else {
            current += chars[i];
        }
    }
    if (!current.empty()) pieces.push_back(std::move(current));
    return pieces;
}

char32_t lower(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    return static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c)));
}

std::optional<FuzzyAtom> parse_atom(std::u32string text) {
    FuzzyAtom atom;
    if (!text.empty() && text.front() == U'!') {
        atom.excluded = true;
        text.erase(0, 1);
        // A fuzzy exclusion would hide nearly every entry, so `!text` excludes the text as written.
        atom.kind = AtomKind::Substring;
    }
    bool quoted = false;
    if (!text.empty() && text.front() == U'^') {
        atom.kind = AtomKind::Prefix;
        text.erase(0, 1);
    } else if (!text.empty() && text.front() == U'\'') {
        atom.kind = AtomKind::Substring;
        quoted = true;
        text.erase(0, 1);
    }
    // A `$` alone is the character itself, not an empty suffix.
    if (!quoted && text.size() > 1 && text.back() == U'$') {
        atom.kind = atom.kind == AtomKind::Prefix ? AtomKind::Exact : AtomKind::Suffix;
        text.pop_back();
    }
    if (text.empty()) return std::nullopt;

    atom.case_sensitive = std::any_of(text.begin(), text.end(), [](char32_t c) { return is_upper(c); });
    atom.fold_accents = std::all_of(text.begin(), text.end(), [](char32_t c) { return fold_accent(c) == c; });
    if (!atom.case_sensitive)
        for (char32_t& c : text) c = lower(c);
    atom.needle = std::move(text);
    return atom;
}

// The text as this atom compares it: accents folded and case lowered only when the atom asks.
std::u32string compared_text(const std::u32string& text, const FuzzyAtom& atom) {
    std::u32string out = text;
    for (char32_t& c : out) {
        if (atom.fold_accents) c = fold_accent(c);
        if (!atom.case_sensitive) c = lower(c);
    }
    return out;
}

// Substring, prefix, suffix and exact atoms match one run of consecutive characters, so they are
// scored as a fuzzy atom matched at that place would be (run_score): the same bonuses, the first
// one doubled, and the rest of the run lifted to its first bonus. A substring takes its best
// occurrence, the first one on a tie.
std::optional<fuzzy::AtomScore> match_atom(const FuzzyAtom& atom, const std::u32string& text,
                                           const std::vector<int>& bonuses) {
    const std::u32string& needle = atom.needle;
    const std::size_t m = needle.size(), n = text.size();
    if (atom.kind == AtomKind::Fuzzy) return fuzzy::best_fuzzy_alignment(needle, text, bonuses);
    if (m > n) return std::nullopt;

    std::optional<std::size_t> start;
    auto occurs_at = [&](std::size_t s) { return text.compare(s, m, needle) == 0; };
    switch (atom.kind) {
        case AtomKind::Prefix:
            if (occurs_at(0)) start = 0;
            break;
        case AtomKind::Suffix:
            if (occurs_at(n - m)) start = n - m;
            break;
        case AtomKind::Exact:
            if (m == n && occurs_at(0)) start = 0;
            break;
        default: {
            int top = 0;
            for (std::size_t s = 0; s + m <= n; ++s) {
                if (!occurs_at(s)) continue;
                int score = fuzzy::run_score(bonuses, s, m);
                if (!start || score > top) {
                    start = s;
                    top = score;
                }
            }
        }
    }
    if (!start) return std::nullopt;
    fuzzy::AtomScore result;
    result.score = fuzzy::run_score(bonuses, *start, m);
    for (std::size_t k = 0; k < m; ++k) result.positions.push_back(*start + k);
    return result;
}

}  // namespace

char32_t fold_accent(char32_t c) {
    if (!((c >= 0xC0 && c <= 0x24F) || (c >= 0x1E00 && c <= 0x1EFF))) return c;
    utf8proc_int32_t parts[8];
    int boundclass = 0;
    utf8proc_ssize_t count =
        utf8proc_decompose_char(static_cast<utf8proc_int32_t>(c), parts, 8, UTF8PROC_DECOMPOSE, &boundclass);
    return count >= 1 ? static_cast<char32_t>(parts[0]) : c;
}

FuzzyPattern FuzzyPattern::parse(std::string_view query) {
    FuzzyPattern pattern;
    for (std::u32string& piece : split_atoms(query))
        if (auto atom = parse_atom(std::move(piece))) pattern.atoms_.push_back(std::move(*atom));
    return pattern;
}

std::optional<FuzzyMatch> FuzzyPattern::match(std::string_view text) const {
    std::u32string chars = decode_utf8(text);
    std::vector<int> bonuses = fuzzy::position_bonuses(chars);
    FuzzyMatch result;
    for (const FuzzyAtom& atom : atoms_) {
        auto found = match_atom(atom, compared_text(chars, atom), bonuses);
        if (atom.excluded) {
            if (found) return std::nullopt;
            continue;
        }
        if (!found) return std::nullopt;
        // Long gaps can push a fuzzy score below zero. Scores are counted from zero, so that the
        // best entry always clears best * 70 / 100; a negative best would cut itself away.
        result.score += static_cast<std::uint32_t>(std::max(0, found->score));
        result.positions.insert(result.positions.end(), found->positions.begin(), found->positions.end());
    }
    std::sort(result.positions.begin(), result.positions.end());
    result.positions.erase(std::unique(result.positions.begin(), result.positions.end()), result.positions.end());
    return result;
}

std::vector<FuzzyHit> fuzzy_filter(std::span<const std::string> texts, std::string_view query) {
    std::vector<FuzzyHit> hits;
    FuzzyPattern pattern = FuzzyPattern::parse(query);
    if (pattern.empty()) {
        for (std::size_t i = 0; i < texts.size(); ++i) hits.push_back({i, {}});
        return hits;
    }
    std::vector<std::optional<FuzzyMatch>> matches;
    matches.reserve(texts.size());
    std::uint64_t best = 0;
    for (const std::string& text : texts) {
        matches.push_back(pattern.match(text));
        if (matches.back()) best = std::max<std::uint64_t>(best, matches.back()->score);
    }
    const std::uint64_t cut = best * kFuzzyCutPercent / 100;
    for (std::size_t i = 0; i < matches.size(); ++i)
        if (matches[i] && matches[i]->score >= cut) hits.push_back({i, std::move(matches[i]->positions)});
    return hits;
}

}  // namespace vesk
