#include <gtest/gtest.h>

#include "ui/buffer.hpp"
#include "ui/widgets.hpp"

using namespace vesk::ui;

TEST(Buffer, WideCharactersTakeTwoCellsAndBreakCleanly) {
    Buffer buf(Rect{0, 0, 6, 2});
    EXPECT_EQ(buf.set_string(0, 0, "한글ab", Style{}), 6);
    EXPECT_EQ(buf.row_text(0), "한글ab");
    // A wide character that would cross the limit is left out, its first column a blank.
    Buffer narrow(Rect{0, 0, 3, 1});
    narrow.set_string(0, 0, "xyz", Style{});
    EXPECT_EQ(narrow.set_string(0, 0, "가나", Style{}.with_bold()), 3);
    EXPECT_EQ(narrow.row_text(0), "가 ");
    EXPECT_TRUE(narrow.at(2, 0).style.bold);
    // In a line, nothing of the next span slips into that blank.
    Buffer footer(Rect{0, 0, 10, 1});
    EXPECT_EQ(footer.set_line(0, 0, Line(std::vector<Span>{{"Enter 받기", {}}, {"^R", {}}}), 9), 9);
    EXPECT_EQ(footer.row_text(0), "Enter 받  ");
    footer.clear();
    EXPECT_EQ(footer.set_line(0, 0, Line(std::vector<Span>{{"ab", {}}, {"가나", {}}, {"c", {}}}), 5), 5);
    EXPECT_EQ(footer.row_text(0), "ab가      ");
    // Writing over half of a wide character blanks the other half.
    buf.set_string(1, 0, "x", Style{});
    EXPECT_EQ(buf.row_text(0), " x글ab");
    buf.set_string(2, 0, "y", Style{});
    EXPECT_EQ(buf.row_text(0), " xy ab");
    // Control characters are not written; styles are laid over the cell's own.
    buf.set_string(0, 1, "a\tb", Style{}.with_bold());
    EXPECT_EQ(buf.row_text(1), "ab    ");
    buf.set_style(Rect{0, 1, 1, 1}, Style{}.with_fg(colors::red));
    EXPECT_TRUE(buf.at(0, 1).style.bold);
    EXPECT_EQ(buf.at(0, 1).style.fg, colors::red);
    EXPECT_EQ(buf.set_string(9, 9, "out", Style{}), 0);
}

TEST(Widgets, SplitsBlocksAndDividers) {
    auto three = split_vertical(Rect{0, 1, 10, 20}, {Constraint::length(1), Constraint::min(3), Constraint::length(2)});
    EXPECT_EQ(three[1], (Rect{0, 2, 10, 17}));
    EXPECT_EQ(three[2], (Rect{0, 19, 10, 2}));
    auto tiny = split_vertical(Rect{0, 0, 10, 2}, {Constraint::length(3), Constraint::min(1)});
    EXPECT_EQ(tiny[0].height + tiny[1].height, 2);

    Buffer buf(Rect{0, 0, 12, 5});
    Block block{Borders::All, Style{}.with_fg(colors::dark_gray), Line(" 제목 ", Style{}.with_bold())};
    block.render(buf, buf.area());
    EXPECT_EQ(block.inner(buf.area()), (Rect{1, 1, 10, 3}));
    Block{Borders::Top, Style{}, Line{}}.render(buf, Rect{1, 2, 10, 2});
    // Border rows and a one-column area stay as they are; the junction keeps the frame's style.
    for (const auto& [area, y] : {std::pair{buf.area(), 2}, {buf.area(), 0}, {buf.area(), 4}, {Rect{0, 0, 1, 5}, 2}})
        join_divider(buf, area, y);
    EXPECT_EQ(buf.row_text(0), "┌ 제목 ────┐");
    EXPECT_EQ(buf.row_text(2), "├──────────┤");
    EXPECT_EQ(buf.row_text(4), "└──────────┘");
    EXPECT_EQ(buf.at(0, 2).style.fg, colors::dark_gray);

    Buffer box(Rect{0, 0, 10, 3});
    box.set_string(0, 1, "xxxxxxxxxx", Style{});
    const Rect mid = centered(box.area(), 4, 1);
    box.clear(mid);
    render_lines(box, mid, {Line("ab")}, Alignment::Center);
    EXPECT_EQ(box.row_text(1), "xxx ab xxx");
}
