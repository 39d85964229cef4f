// The fuzzy filter of the key-binding and plugin screens: a query parsed into atoms, each entry's
// text scored against them, and the cut that keeps the entries close to the best one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

struct FuzzyMatch {
    std::uint32_t score = 0;
    std::vector<std::size_t> positions;  // code points of the text, ascending, no repeats
};

enum class AtomKind { Fuzzy, Substring, Prefix, Suffix, Exact };

// One blank-separated piece of the query.
struct FuzzyAtom {
    AtomKind kind = AtomKind::Fuzzy;
    bool excluded = false;        // `!text`: the entry must not contain it
    bool case_sensitive = false;  // the atom holds an upper-case letter
    bool fold_accents = true;     // the atom holds no accented Latin letter
    std::u32string needle;        // already lower-cased when the atom ignores case
};

class FuzzyPattern {
public:
    // Atoms split at blanks (`\ ` keeps a blank inside one). Forms: `'text` substring, `^text`
    // prefix, `text$` suffix, `^text$` exact, `!text` exclusion, anything else fuzzy. A piece
    // that holds nothing but its marks is dropped.
    static FuzzyPattern parse(std::string_view query);

    const std::vector<FuzzyAtom>& atoms() const { return atoms_; }
    bool empty() const { return atoms_.empty(); }

    // The summed score and the matched positions when every atom matches; an empty pattern
    // matches everything with score 0.
    std::optional<FuzzyMatch> match(std::string_view text) const;

private:
    std::vector<FuzzyAtom> atoms_;
};

// Accented Latin letters (U+00C0-U+024F, U+1E00-U+1EFF) as their base letter, one character
// for one, so positions in the folded text are those of the original; anything else unchanged.
char32_t fold_accent(char32_t c);

struct FuzzyHit {
    std::size_t index = 0;               // position of the entry in the list
    std::vector<std::size_t> positions;  // matched code points, ascending; none for an empty query
};

// Share of the best score an entry needs to stay in the list.
inline constexpr std::uint32_t kFuzzyCutPercent = 70;

// The entries matching `query` whose score is at least best * 70 / 100, in list order. An empty
// query keeps every entry without highlight.
std::vector<FuzzyHit> fuzzy_filter(std::span<const std::string> texts, std::string_view query);

}  // namespace vesk
