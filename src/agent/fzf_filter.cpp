#include "agent/fzf_filter.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "agent/fzf_match.hpp"
#include "core/text.hpp"

namespace vesk {

namespace {

enum class TermKind { Fuzzy, Exact, Prefix, Suffix, Equal };

struct Term {
    TermKind kind = TermKind::Fuzzy;
    bool inverse = false;
    bool case_sensitive = false;
    bool normalize = true;
    std::u32string text;
};

using TermSet = std::vector<Term>;

std::u32string lower_text(const std::u32string& text) {
    std::u32string out = text;
    for (char32_t& c : out) c = fzf::fold_case(c);
    return out;
}

// The query's terms, grouped into sets joined by "and"; the terms of one set are joined by "|".
std::vector<TermSet> parse_terms(std::u32string query) {
    // Leading blanks go; trailing ones too, unless escaped.
    std::size_t begin = 0;
    while (begin < query.size() && query[begin] == U' ') ++begin;
    query.erase(0, begin);
    while (!query.empty() && query.back() == U' ' && !(query.size() >= 2 && query[query.size() - 2] == U'\\'))
        query.pop_back();
    // An escaped blank stays inside its term.
    std::u32string marked;
    for (std::size_t i = 0; i < query.size(); ++i) {
        if (query[i] == U'\\' && i + 1 < query.size() && query[i + 1] == U' ') {
            marked += U'\t';
            ++i;
        } else {
            marked += query[i];
        }
    }
    std::vector<std::u32string> tokens(1);
    for (char32_t c : marked) {
        if (c == U' ') tokens.emplace_back();
        else tokens.back() += c;
    }

    std::vector<TermSet> sets;
    TermSet set;
    bool switch_set = false, after_bar = false;
    for (std::u32string& token : tokens) {
        if (token.empty()) continue;  // runs of blanks
        for (char32_t& c : token)
            if (c == U'\t') c = U' ';
        Term term;
        std::u32string text = token;
        const std::u32string lowered = lower_text(text);
        term.case_sensitive = text != lowered;
        bool plain = true;
        for (char32_t c : lowered) plain = plain && fzf::fold_latin(c) == c;
        term.normalize = plain;
        if (!term.case_sensitive) text = lowered;
        if (!set.empty() && !after_bar && text == U"|") {
            switch_set = false;
            after_bar = true;
            continue;
        }
        after_bar = false;
        if (text.starts_with(U'!')) {
            term.inverse = true;
            term.kind = TermKind::Exact;
            text.erase(0, 1);
        }
        if (text != U"$" && text.ends_with(U'$')) {
            term.kind = TermKind::Suffix;
            text.pop_back();
        }
        if (text.starts_with(U'\'')) {
            term.kind = term.inverse ? TermKind::Fuzzy : TermKind::Exact;
            text.erase(0, 1);
        } else if (text.starts_with(U'^')) {
            term.kind = term.kind == TermKind::Suffix ? TermKind::Equal : TermKind::Prefix;
            text.erase(0, 1);
        }
        if (text.empty()) continue;
        if (switch_set) {
            sets.push_back(std::move(set));
            set.clear();
        }
        if (term.normalize)
            for (char32_t& c : text) c = fzf::fold_latin(c);
        term.text = std::move(text);
        set.push_back(std::move(term));
        switch_set = true;
    }
    if (!set.empty()) sets.push_back(std::move(set));
    return sets;
}

std::optional<int> match_term(const Term& term, const fzf::Text& t, fzf::Scratch& scratch) {
    switch (term.kind) {
        case TermKind::Fuzzy: return fzf::match_fuzzy(term.case_sensitive, term.normalize, t, term.text, scratch);
        case TermKind::Exact: return fzf::match_exact(term.case_sensitive, term.normalize, t, term.text);
        case TermKind::Prefix: return fzf::match_prefix(term.case_sensitive, term.normalize, t, term.text);
        case TermKind::Suffix: return fzf::match_suffix(term.case_sensitive, term.normalize, t, term.text);
        case TermKind::Equal: return fzf::match_equal(term.case_sensitive, term.normalize, t, term.text);
    }
    return std::nullopt;
}

// The summed score of every set, or nothing when a set does not match.
std::optional<int> match_sets(const std::vector<TermSet>& sets, const fzf::Text& t, fzf::Scratch& scratch) {
    int total = 0;
    for (const TermSet& set : sets) {
        bool matched = false;
        int score = 0;
        for (const Term& term : set) {
            std::optional<int> found = match_term(term, t, scratch);
            if (found) {
                if (term.inverse) continue;
                score = *found;
                matched = true;
                break;
            }
            if (term.inverse) {
                score = 0;
                matched = true;
            }
        }
        if (!matched) return std::nullopt;
        total += score;
    }
    return total;
}

std::uint16_t as_u16(long value) {
    return static_cast<std::uint16_t>(std::clamp<long>(value, 0, std::numeric_limits<std::uint16_t>::max()));
}

}  // namespace

std::vector<std::size_t> fzf_filter_order(std::span<const std::string_view> lines, std::string_view query) {
    const std::vector<TermSet> sets = parse_terms(decode_utf8(query));
    std::vector<std::size_t> order;
    if (sets.empty()) {
        order.resize(lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) order[i] = i;
        return order;
    }
    struct Hit {
        std::uint16_t score_key, length;
        std::size_t index;
    };
    std::vector<Hit> hits;
    fzf::Scratch scratch;
    std::u32string chars;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const bool ascii = std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii) {
            chars.resize(line.size());
            for (std::size_t k = 0; k < line.size(); ++k) chars[k] = static_cast<unsigned char>(line[k]);
        } else {
            chars = decode_utf8(line);
        }
        const fzf::Text text{chars.data(), chars.size(), ascii ? line.data() : nullptr};
        std::optional<int> score = match_sets(sets, text, scratch);
        if (!score) continue;
        hits.push_back({static_cast<std::uint16_t>(std::numeric_limits<std::uint16_t>::max() - as_u16(*score)),
                        as_u16(static_cast<long>(fzf::trimmed_length(text))), i});
    }
    // Inverse terms alone score nothing: fzf then keeps the input order.
    bool sortable = false;
    for (const TermSet& set : sets)
        for (const Term& term : set) sortable = sortable || !term.inverse;
    if (sortable) std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
        if (a.score_key != b.score_key) return a.score_key < b.score_key;
        if (a.length != b.length) return a.length < b.length;
        return a.index < b.index;
    });
    order.reserve(hits.size());
    for (const Hit& hit : hits) order.push_back(hit.index);
    return order;
}

}  // namespace vesk
