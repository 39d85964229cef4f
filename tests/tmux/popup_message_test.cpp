#include "tmux/popup_message.hpp"
#include "core/text.hpp"

#include <gtest/gtest.h>


namespace vesk {
namespace {

using Lines = std::vector<std::string>;

TEST(MessagePopupLayout, SizesFromClientAndOptions) {
    // A 200x50 client, options unset: limits 100x25, wrap at 96.
    EXPECT_EQ(popup_percentage("abc"), 50);
    EXPECT_EQ(popup_percentage(" 30 "), 30);
    EXPECT_EQ(popup_limits(200, 50, 50, 50).max_height, 25);
    const PopupLayout ten = layout_message("one two three four five six seven eight nine ten", 200, 50, 50, 50);
    EXPECT_EQ(ten.lines, Lines{"one two three four five six seven eight nine ten"});
    EXPECT_EQ(ten.size.width, 48 + 6);
    EXPECT_EQ(ten.size.height, 4);
    EXPECT_EQ(layout_message("ok", 200, 50, 50, 50).size.width, 26);
    // 5% of 80 columns is below the floor of 20: wrap at 16.
    const PopupLayout narrow = layout_message("abcdefghij klmnopqrst", 80, 24, 5, 5);
    EXPECT_EQ(narrow.lines, (Lines{"abcdefghij", "klmnopqrst"}));
    EXPECT_EQ(narrow.size.width, 20);
    // A client narrower than 20 columns: the popup is as wide (and high) as the client.
    const PopupLayout tiny = layout_message("a b c d e f g h i j k l m n o p", 15, 3, 50, 50);
    EXPECT_EQ(tiny.size.width, 15);
    EXPECT_EQ(tiny.size.height, 3);
    EXPECT_EQ(popup_limits(200, 50, 2147483647, 2147483647).max_width, 200LL * 2147483647 / 100);  // no overflow
}

TEST(MessagePopupLayout, OneClauseALineAndWrapping) {
    const PopupLayout done = layout_message("Done. Saved, reloaded", 200, 50, 50, 50);
    EXPECT_EQ(done.lines, (Lines{"Done.", "Saved,", "reloaded"}));
    EXPECT_EQ(done.size.height, 6);
    // Words move to the next line whole, a word's following blank counting one column.
    EXPECT_EQ(wrap_message("aaa bbb ccc", 7), (Lines{"aaa", "bbb ccc"}));
    EXPECT_EQ(wrap_message("aaa bbb ccc", 8), (Lines{"aaa bbb", "ccc"}));
    EXPECT_EQ(wrap_message("a\r\n\nb", 10), (Lines{"a", "", "b"}));  // empty lines stay, \r goes
    // A wider word is cut at exactly the width, and Hangul (2 columns) is never split across it.
    EXPECT_EQ(wrap_message("abcdefghij", 4), (Lines{"abcd", "efgh", "ij"}));
    const Lines hangul = wrap_message("가나다라마바사아자차카타파하", 15);
    EXPECT_EQ(hangul, (Lines{"가나다라마바사", "아자차카타파하"}));
    EXPECT_EQ(wrap_message("x 가나다라마바사아자", 16), (Lines{"x", "가나다라마바사아", "자"}));
    EXPECT_EQ(natural_width(hangul), 20 + 6);
    EXPECT_EQ(popup_mode("Modal"), "popup");
    EXPECT_EQ(popup_title("whatever"), "[ @ Message ]");
}

TEST(MessageRenderWait, DisplayPanesTime) {
    using std::chrono::milliseconds;
    EXPECT_EQ(display_panes_wait(std::nullopt), milliseconds(1000));
    for (const char* fallback : {"abc", "-5", "", "99999999999999999999999"})
        EXPECT_EQ(display_panes_wait(fallback), milliseconds(1000)) << fallback;
    EXPECT_EQ(display_panes_wait("0"), milliseconds(1));
    EXPECT_EQ(display_panes_wait(" +250 "), milliseconds(250));
    EXPECT_GT(display_panes_wait("18446744073709551615"), milliseconds(1000));
}

}  // namespace
}  // namespace vesk
