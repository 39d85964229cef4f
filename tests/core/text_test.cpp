#include <gtest/gtest.h>

#include "core/text.hpp"

using namespace vesk;

TEST(Text, DecodingLinesAndWidths) {
    EXPECT_EQ(lossy_utf8("a\xff" "b"), "a\uFFFD" "b");
    // A truncated sequence becomes one replacement, and the next good character survives.
    EXPECT_EQ(lossy_utf8("\xE2\x82" "A"), "\uFFFD" "A");
    EXPECT_EQ(lossy_utf8("\xED\xA0\x80"), "\uFFFD\uFFFD\uFFFD");  // a surrogate is not UTF-8
    EXPECT_EQ(split_lines("a\r\nb\n\nc\n"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(trim("\u3000\t 가 나 \u00a0\n"), "가 나");
    EXPECT_EQ(to_lower("İSTANBUL Ä"), "i\u0307stanbul ä");
    // Σ lowers to the final sigma at a word's end only; the one-by-one reader agrees with to_lower.
    EXPECT_EQ(to_lower("ΟΔΟΣ ΣΑ Σ"), "οδος σα σ");
    for (std::string_view text : {"İx ΟΔΟΣ. ΣΑ", "A\xff\xe2\x82Z", "Σ", "aΣ", "ÀÉÎ 한글"}) {
        std::string read;
        LowerCaseReader reader(text);
        for (char32_t c; reader.next(c);) append_utf8(read, c);
        EXPECT_EQ(read, to_lower(text)) << text;
    }

    EXPECT_EQ(display_width("한국어"), 6u);
    EXPECT_EQ(display_width("Ａ"), 2u);   // full-width Latin
    EXPECT_EQ(display_width("😀"), 1u);  // beyond U+FFFF counts 1 here
}

TEST(Text, SmallFormatters) {
    for (const auto& [text, value] : std::vector<std::pair<std::string, int>>{
             {" 42 ", 42}, {"+5", 5}, {"-", 7}, {"4x", 7}, {"2147483648", 7}, {"-2147483648", INT32_MIN}, {"", 7}})
        EXPECT_EQ(parse_i32(text, 7), value) << text;
    EXPECT_EQ(safe_name("my proj/a:b\\c"), "my-proj-a-b-c");

    EXPECT_EQ(parse_line_number("+12"), 12u);
    EXPECT_EQ(parse_line_number("18446744073709551615"), UINT64_MAX);
    for (const char* bad : {"", "+", "-3", "1x", "18446744073709551616", " 1"}) EXPECT_FALSE(parse_line_number(bad)) << bad;
}
