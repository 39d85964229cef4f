// The in-process filter against the real `fzf --filter`: the same lines in the same order, for
// hand-picked cases and for many random lines and queries.
#include <gtest/gtest.h>

#include <random>

#include "core/command.hpp"
#include "agent/fzf_filter.hpp"
#include "core/process.hpp"
#include "core/text.hpp"

namespace vesk {
namespace {

std::string ours(const std::vector<std::string>& lines, const std::string& query) {
    std::vector<std::string_view> views(lines.begin(), lines.end());
    std::string out;
    for (std::size_t i : fzf_filter_order(views, query)) out += lines[i] + "\n";
    return out;
}

std::string theirs(const std::vector<std::string>& lines, const std::string& query) {
    std::string input;
    for (const auto& line : lines) input += line + "\n";
    ChildCommand fzf("fzf", {"--filter", query});
    fzf.env = {{"FZF_DEFAULT_OPTS", std::nullopt}, {"LANG", "C.UTF-8"}};
    Output out = run_child(fzf.stdin_(Stdio::Pipe).stdout_(Stdio::Pipe).stderr_(Stdio::Null), input);
    return out.out;
}

TEST(FzfFilter, AgreesWithFzfOnChosenCases) {
    if (!which("fzf")) GTEST_SKIP() << "fzf is not installed";
    const std::vector<std::string> lines = {
        " | a.md | Deploy the app | 1", "prompts/x | b.md | deploy notes | 2", "Apple pie", "banana",
        "한국어 노트 정리", "naïve café", "camelCaseWord", "snake_case_word", "path/to/file.txt",
        "   padded   ", "", "a b c", "abc", "ABC", "x:y;z,w|v", "tab\there", "123 numbers 456",
        "foo-bar baz", "FooBar", "fooBAR", "résumé.md", "日本語テキスト", "---", "a/b/c/d"};
    for (const char* query : {"a", "dep", "Dep", "'deploy", "^prompts", "md$", "^abc$", "!apple", "apple | banana",
                              "bnn", "노트", "cafe", "café", "naive", "CW", "f/t", "x:y", "  spaced  ", "a\\ b",
                              "!a !b", "'", "^", "$", "!", "|", "a |", "| a", "12 45", "^ pad", "padded$",
                              "^padded$", "fb", "fooBar", "!'abc", "!^a", "!md$", "resume", "---", "d$ ^a",
                              "'a 'b", "e | !x"}) {
        const std::string expected = theirs(lines, query);
        const std::string got = ours(lines, query);
        if (got != expected) ADD_FAILURE() << "query: [" << query << "]\nfzf:\n" << expected << "ours:\n" << got;
    }
}

TEST(FzfFilter, AgreesWithFzfOnRandomLinesAndQueries) {
    if (!which("fzf")) GTEST_SKIP() << "fzf is not installed";
    std::mt19937 random(777);
    const std::vector<std::string> pieces = {"a", "b", "c", "A", "B", "x", "X", "1", "2", " ", " ", "/", ":", "|",
                                             "-", "_", ".", "가", "é", "E", "ab", "bc", "Ab", "12", "  ", "Foo", "bar", "BAZ", "x1", "Ünï", "\t", "fooBar", "ß", "ǅ", "Ⅻ", "İ", "ø", "Ø", "ñ"};
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    auto text = [&](std::size_t max) {
        std::string s;
        for (std::size_t k = pick(max) + 1; k > 0; --k) s += pieces[pick(pieces.size())];
        return s;
    };
    const std::vector<std::string> marks = {"", "", "", "'", "^", "!", "!'", "!^"};
    for (int round = 0; round < 80; ++round) {
        std::vector<std::string> lines;
        for (int i = 0; i < 200; ++i) lines.push_back(round % 40 == 0 ? text(9000) : text(30));
        std::string query;
        for (std::size_t terms = pick(3) + 1; terms > 0; --terms) {
            std::string term = marks[pick(marks.size())] + text(3);
            if (pick(6) == 0) term += "$";
            query += term + (pick(8) == 0 ? " | " : " ");
        }
        const std::string expected = theirs(lines, query);
        const std::string got = ours(lines, query);
        if (got != expected) {
            ADD_FAILURE() << "query: [" << query << "]\nfzf:\n" << expected << "ours:\n" << got;
            return;
        }
    }
}

}  // namespace
}  // namespace vesk
