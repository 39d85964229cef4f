#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/fuzzy.hpp"

using namespace vesk;
using Positions = std::vector<std::size_t>;

namespace {

std::optional<FuzzyMatch> match(std::string_view query, std::string_view text) {
    return FuzzyPattern::parse(query).match(text);
}

int score(std::string_view query, std::string_view text) {
    auto m = match(query, text);
    return m ? static_cast<int>(m->score) : -1;
}

Positions positions(std::string_view query, std::string_view text) {
    auto m = match(query, text);
    return m ? m->positions : Positions{999};
}

std::vector<std::size_t> kept(const std::vector<std::string>& texts, std::string_view query) {
    std::vector<std::size_t> indices;
    for (const FuzzyHit& hit : fuzzy_filter(texts, query)) indices.push_back(hit.index);
    return indices;
}

}  // namespace

TEST(Fuzzy, ScoresLikeTheReferenceModel) {
    EXPECT_EQ(score("ab", "ab"), 62);  // 16 + 10*2, then 16 + the run's 10
    EXPECT_EQ(positions("ab", "ab"), (Positions{0, 1}));
    EXPECT_EQ(score("fb", "foo bar"), 57);  // 36, a gap of three -5, 26
    EXPECT_EQ(positions("fb", "foo bar"), (Positions{0, 4}));

    // The bonus of a single match, by the class of the character before it.
    EXPECT_EQ(score("b", "a b"), 36);
    EXPECT_EQ(score("b", "a/b"), 34);
    EXPECT_EQ(score("b", "a-b"), 32);
    EXPECT_EQ(score("b", "aB"), 26);
    EXPECT_EQ(score("1", "a1"), 26);
    EXPECT_EQ(score("b", "ab"), 16);
    EXPECT_EQ(score("b", "1b"), 16);
    // Consecutive matches earn at least 4; one gap character costs 3, each further one 1.
    EXPECT_EQ(score("bc", "abc"), 36);
    EXPECT_EQ(score("qb", "QuillBox"), 36 - 6 + 21);

    // The best alignment wins, not the first: `a` after `_` starts a run worth more than the
    // text's first `a` followed by a gap.
    EXPECT_EQ(score("ab", "a_ab"), 56);
    EXPECT_EQ(positions("ab", "a_ab"), (Positions{2, 3}));
    // Keeping only the best score per text position is not enough: `-` at 1 runs straight into
    // "aa" (60), but `-` at 0 and a gap let the run start on the `a` after `-`, whose bonus lifts
    // the next `a` too (61).
    EXPECT_EQ(score("-aa", "--aa x"), 61);
    EXPECT_EQ(positions("-aa", "--aa x"), (Positions{0, 2, 3}));
}

TEST(Fuzzy, CountsPositionsInCodePointsAndLeavesHangulWhole) {
    EXPECT_EQ(positions("열기", "QuillBox 열기 설정"), (Positions{9, 10}));
    EXPECT_EQ(score("열기", "QuillBox 열기 설정"), 62);
    EXPECT_EQ(positions("sume", "résumé"), (Positions{2, 3, 4, 5}));
    // A decomposed syllable would start with this conjoining jamo.
    EXPECT_EQ(fold_accent(U'열'), U'열');
    EXPECT_FALSE(match("\u110B", "열"));
}

TEST(Fuzzy, ParsesEachAtomForm) {
    // 'text: one contiguous run, at its best occurrence, scored like a fuzzy run there.
    EXPECT_EQ(score("'ar", "foo bar"), 36);
    EXPECT_EQ(positions("'ar", "foo bar"), (Positions{5, 6}));
    EXPECT_FALSE(match("'ob", "foo bar"));
    EXPECT_TRUE(match("ob", "foo bar"));
    EXPECT_EQ(positions("'ba", "abba ba"), (Positions{5, 6}));
    EXPECT_EQ(score("'ba", "abba ba"), 62);

    EXPECT_EQ(score("^fo", "foo bar"), 62);
    EXPECT_FALSE(match("^ba", "foo bar"));
    EXPECT_EQ(positions("ar$", "foo bar"), (Positions{5, 6}));
    EXPECT_FALSE(match("oo$", "foo bar"));
    EXPECT_EQ(score("^foo$", "foo"), 88);
    EXPECT_FALSE(match("^foo$", "foo bar"));
    // A lone `$` is the character; marks with nothing after them are dropped.
    EXPECT_EQ(positions("$", "a$b"), (Positions{1}));
    EXPECT_TRUE(FuzzyPattern::parse("^ ' !").empty());

    // Atoms add up and every one must match; their positions merge.
    EXPECT_EQ(score("fo ba", "foo bar"), 124);
    EXPECT_EQ(positions("fo ba", "foo bar"), (Positions{0, 1, 4, 5}));
    EXPECT_EQ(positions("fo f", "foo bar"), (Positions{0, 1}));
    EXPECT_FALSE(match("fo zz", "foo bar"));

    // `\ ` keeps the blank inside the atom.
    EXPECT_EQ(positions("o\\ b", "foo bar"), (Positions{2, 3, 4}));
    EXPECT_FALSE(match("o\\ b", "foob"));
    EXPECT_TRUE(match("o b", "foob"));
}

TEST(Fuzzy, ExclusionHidesEntriesContainingTheText) {
    EXPECT_FALSE(match("!bar", "foo bar"));
    auto m = match("!bar", "foo baz");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->score, 0u);
    EXPECT_TRUE(m->positions.empty());
    // Not fuzzy: the letters apart do not exclude.
    EXPECT_TRUE(match("!br", "foo bar"));
    EXPECT_EQ(positions("fo !baz", "foo bar"), (Positions{0, 1}));
    EXPECT_FALSE(match("!^foo", "foo bar"));
    EXPECT_TRUE(match("!^bar", "foo bar"));
    EXPECT_EQ(kept({"git status", "git log", "tmux"}, "g !log"), (std::vector<std::size_t>{0}));
}

TEST(Fuzzy, SmartCase) {
    EXPECT_EQ(score("fb", "Foo Bar"), 57);
    EXPECT_TRUE(match("FB", "Foo Bar"));
    EXPECT_FALSE(match("FB", "foo bar"));
    EXPECT_FALSE(match("'Bar", "foo bar"));
    EXPECT_TRUE(match("bAr", "foo bAr"));
    EXPECT_FALSE(match("bAr", "foo BAR"));
}

TEST(Fuzzy, SmartNormalisation) {
    EXPECT_TRUE(match("cafe", "Café"));
    EXPECT_EQ(positions("ecl", "Éclair"), (Positions{0, 1, 2}));
    EXPECT_TRUE(match("'resume", "résumé"));
    // An accented atom compares its accents exactly.
    EXPECT_TRUE(match("café", "café"));
    EXPECT_TRUE(match("café", "CAFÉ"));
    EXPECT_FALSE(match("café", "cafe"));
    EXPECT_FALSE(match("é", "e"));
    // Upper case and accents together: exact in both.
    EXPECT_TRUE(match("É", "École"));
    EXPECT_FALSE(match("É", "école"));
    EXPECT_FALSE(match("É", "Ecole"));
    EXPECT_EQ(fold_accent(U'ǖ'), U'u');
    EXPECT_EQ(fold_accent(U'ạ'), U'a');
    EXPECT_EQ(fold_accent(U'×'), U'×');
}

TEST(Fuzzy, AtomLongerThanTheTextDoesNotMatch) {
    EXPECT_FALSE(match("abc", "ab"));
    EXPECT_FALSE(match("aa", "a"));
    EXPECT_FALSE(match("'abc", "ab"));
    EXPECT_FALSE(match("^abc$", "ab"));
    EXPECT_FALSE(match("abc", ""));
}

TEST(Fuzzy, CutKeepsEntriesNearTheBestInListOrder) {
    // "foo bar" scores 57, so the cut is 39: "xf b" scores exactly 39, "xfo b" 38.
    ASSERT_EQ(score("fb", "xf b"), 39);
    ASSERT_EQ(score("fb", "xfo b"), 38);
    std::vector<std::string> texts = {"xfo b", "xf b", "zzz", "foo bar"};
    auto hits = fuzzy_filter(texts, "fb");
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].index, 1u);
    EXPECT_EQ(hits[0].positions, (Positions{1, 3}));
    EXPECT_EQ(hits[1].index, 3u);
    EXPECT_EQ(hits[1].positions, (Positions{0, 4}));

    EXPECT_TRUE(kept(texts, "qq").empty());
    EXPECT_TRUE(kept({}, "fb").empty());
}

TEST(Fuzzy, EmptyQueryKeepsEverythingWithoutHighlight) {
    std::vector<std::string> texts = {"foo", "", "열기"};
    for (std::string_view query : {"", "   ", "!"}) {
        auto hits = fuzzy_filter(texts, query);
        ASSERT_EQ(hits.size(), 3u) << query;
        for (std::size_t i = 0; i < hits.size(); ++i) {
            EXPECT_EQ(hits[i].index, i);
            EXPECT_TRUE(hits[i].positions.empty());
        }
    }
}

TEST(Fuzzy, ScoresNeverFallBelowZeroSoTheBestEntryStays) {
    // 16, a gap of 40 (-42), 16: below zero in the raw model.
    std::string far = "xa" + std::string(40, 'x') + "b";
    EXPECT_EQ(score("ab", far), 0);
    EXPECT_EQ(kept({far, "zzz"}, "ab"), (std::vector<std::size_t>{0}));
}
