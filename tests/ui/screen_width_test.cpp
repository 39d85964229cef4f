#include <gtest/gtest.h>

#include "ui/screen_width.hpp"

using namespace vesk::ui;
using namespace std::string_literals;

TEST(ScreenWidth, FitCutsWithAnEllipsisAndPadNeverCuts) {
    EXPECT_EQ(fit_width("abcdef", 4), "abc…");
    EXPECT_EQ(fit_width("abc", 3), "abc");
    EXPECT_EQ(fit_width("abc", 0), "");
    EXPECT_EQ(fit_width("", 0), "");
    // The second syllable would bring the sum to 4 > w - 1: one syllable and the ellipsis.
    EXPECT_EQ(fit_width("가나다라", 4), "가…");
    // Narrow widths never underflow: every cut stays within the width.
    for (std::size_t w = 0; w <= 20; ++w) EXPECT_LE(screen_width(fit_width("키 바인딩 설정 화면입니다 long text", w)), w);

    EXPECT_EQ(pad_width("가", 4), "가  ");
    EXPECT_EQ(pad_width("abcdef", 4), "abcdef");
    EXPECT_EQ(screen_width("a\tb"), 2u);       // control characters take no column
    EXPECT_EQ(screen_width("e\xcc\x81"), 1u);  // e + combining acute
}

TEST(ScreenWidth, ControlCharactersShowAsPicturesOfOneColumn) {
    const std::string shown = show_controls("\x1b[31m빨강\x1b[0m\t\r\n\x7f\xc2\x9b\x00"s + "end");
    EXPECT_EQ(shown, "␛[31m빨강␛[0m␉␍␊␡�␀end");
    EXPECT_EQ(screen_width(shown), 22u);
    EXPECT_EQ(show_controls("한글 text"), "한글 text");
}
