#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/fuzzy.hpp"

using namespace vesk;
using Positions = std::vector<std::size_t>;

namespace {

std::optional<FuzzyMatch> match(std::string_view query, std::string_view text) {
    return FuzzyPattern::parse(query).match(text);
}

std::vector<std::size_t> kept(const std::vector<std::string>& texts, std::string_view query) {
    std::vector<std::size_t> indices;
    for (const FuzzyHit& hit : fuzzy_filter(texts, query)) indices.push_back(hit.index);
    return indices;
}

}  // namespace

TEST(Fuzzy, ScoresAndPositionsOfEachAtomForm) {
    struct Case {
        std::string query, text;
        int score;
        Positions positions;
    };
    const std::vector<Case> cases = {
        {"ab", "ab", 62, {0, 1}},  // 16 + 10*2, then 16 + the run's 10
        {"fb", "foo bar", 57, {0, 4}},  // 36, a gap of three -5, 26
        // The bonus of a single match, by the class of the character before it.
        {"b", "a b", 36, {2}}, {"b", "a/b", 34, {2}}, {"b", "a-b", 32, {2}}, {"b", "aB", 26, {1}}, {"b", "ab", 16, {1}},
        {"qb", "QuillBox", 36 - 6 + 21, {0, 5}},
        // The best alignment wins, not the first; and not only the best score per text position.
        {"ab", "a_ab", 56, {2, 3}},
        {"-aa", "--aa x", 61, {0, 2, 3}},
        // Positions count code points; Hangul stays whole.
        {"열기", "QuillBox 열기 설정", 62, {9, 10}},
        // 'text: one run at its best occurrence; ^ and $ anchor; atoms add up and merge.
        {"'ar", "foo bar", 36, {5, 6}}, {"'ba", "abba ba", 62, {5, 6}}, {"^foo$", "foo", 88, {0, 1, 2}},
        {"$", "a$b", -2, {1}}, {"fo ba", "foo bar", 124, {0, 1, 4, 5}},
        {"o\\ b", "foo bar", -2, {2, 3, 4}},  // `\ ` keeps the blank inside the atom
        {"fo !baz", "foo bar", -2, {0, 1}}, {"!bar", "foo baz", 0, {}},
        // 16, a gap of 40 (-42), 16: below zero in the raw model, so 0.
        {"ab", "xa" + std::string(40, 'x') + "b", 0, {1, 42}},
        {"sume", "résumé", -2, {2, 3, 4, 5}}, {"ecl", "Éclair", -2, {0, 1, 2}},
    };
    for (const Case& c : cases) {
        auto m = match(c.query, c.text);
        ASSERT_TRUE(m) << c.query << " / " << c.text;
        if (c.score != -2) EXPECT_EQ(static_cast<int>(m->score), c.score) << c.query << " / " << c.text;
        EXPECT_EQ(m->positions, c.positions) << c.query << " / " << c.text;
    }
}

TEST(Fuzzy, WhatMatchesCaseAccentsExclusionAndLength) {
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"'ob", "foo bar", false}, {"ob", "foo bar", true}, {"^ba", "foo bar", false}, {"oo$", "foo bar", false},
        {"^foo$", "foo bar", false}, {"fo zz", "foo bar", false}, {"o\\ b", "foob", false}, {"o b", "foob", true},
        {"!bar", "foo bar", false}, {"!br", "foo bar", true}, {"!^foo", "foo bar", false}, {"!^bar", "foo bar", true},
        // Smart case: an upper-case letter makes the atom exact in case.
        {"FB", "Foo Bar", true}, {"FB", "foo bar", false}, {"'Bar", "foo bar", false}, {"bAr", "foo BAR", false},
        // Smart accents: an accented atom compares its accents exactly.
        {"cafe", "Café", true}, {"'resume", "résumé", true}, {"café", "CAFÉ", true}, {"café", "cafe", false},
        {"É", "École", true}, {"É", "école", false}, {"É", "Ecole", false},
        {"\u110B", "열", false},  // a conjoining jamo is not part of a syllable
        {"abc", "ab", false}, {"'abc", "ab", false}, {"^abc$", "ab", false}, {"abc", "", false},
    };
    for (const auto& [query, text, matches] : cases) EXPECT_EQ(match(query, text).has_value(), matches) << query << " / " << text;
    EXPECT_EQ(fold_accent(U'ǖ'), U'u');
    EXPECT_EQ(fold_accent(U'열'), U'열');
    EXPECT_TRUE(FuzzyPattern::parse("^ ' !").empty());
}

TEST(Fuzzy, FilterCutsNearTheBestInListOrderAndAnEmptyQueryKeepsAll) {
    // "foo bar" scores 57, so the cut is 39: "xf b" scores exactly 39, "xfo b" 38.
    std::vector<std::string> texts = {"xfo b", "xf b", "zzz", "foo bar"};
    auto hits = fuzzy_filter(texts, "fb");
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].index, 1u);
    EXPECT_EQ(hits[0].positions, (Positions{1, 3}));
    EXPECT_EQ(hits[1].index, 3u);
    EXPECT_TRUE(kept(texts, "qq").empty());
    EXPECT_EQ(kept({"git status", "git log", "tmux"}, "g !log"), (std::vector<std::size_t>{0}));

    texts = {"foo", "", "열기"};
    for (std::string_view query : {"", "   ", "!"}) {
        hits = fuzzy_filter(texts, query);
        ASSERT_EQ(hits.size(), 3u) << query;
        for (std::size_t i = 0; i < hits.size(); ++i) {
            EXPECT_EQ(hits[i].index, i);
            EXPECT_TRUE(hits[i].positions.empty());
        }
    }
}
