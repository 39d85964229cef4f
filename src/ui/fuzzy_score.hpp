// The scoring model behind the screens' fuzzy filter: character classes, the bonus of each text
// position, the best alignment of a fuzzy atom and the score of a run of consecutive matches.
// The 70% cut compares these numbers across entries, so they follow the reference matcher's
// model value for value.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vesk::fuzzy {

enum class CharClass { White, Delimiter, NonWord, Lower, Upper, Letter, Number };

CharClass char_class(char32_t c);

// Bonus of a character of class `cur` following one of class `prev`.
int bonus_for(CharClass prev, CharClass cur);

// Bonus of every position of the text; the start of the text counts as following white space.
std::vector<int> position_bonuses(const std::u32string& text);

struct AtomScore {
    int score = 0;
    std::vector<std::size_t> positions;  // ascending, code points
};

// Best alignment of `needle` as a subsequence of `text` (both already case- and accent-folded
// as the atom asks); `bonuses` are those of the original text. None when it is not a
// subsequence, or when the needle is longer than the text.
std::optional<AtomScore> best_fuzzy_alignment(const std::u32string& needle, const std::u32string& text,
                                              const std::vector<int>& bonuses);

// Score of `length` consecutive matched characters starting at `start`: one run of the fuzzy
// model, its first character being the atom's first.
int run_score(const std::vector<int>& bonuses, std::size_t start, std::size_t length);

}  // namespace vesk::fuzzy
