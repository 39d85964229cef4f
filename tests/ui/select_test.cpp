#include "ui/select.hpp"

#include <gtest/gtest.h>

#include "ui/screen.hpp"
#include "ui/true_colour.hpp"

using namespace vesk;
using ui::Key;
using ui::KeyCode;

TEST(Select, KeysMoveWithoutWrappingChooseAndCancel) {
    const std::vector<std::string> entries{"a", "b", "c", "b"};
    EXPECT_EQ(select_start("p", entries, std::string("b")).selected(), 1u);  // the first occurrence
    EXPECT_EQ(select_start("p", entries, std::string(" b")).selected(), 0u);  // exact match only
    SelectState s = select_start("p", {"a", "b", "c"}, std::nullopt);
    EXPECT_EQ(select_handle(s, Key::of(KeyCode::Up)).state.selected(), 0u);
    for (int i = 0; i < 3; ++i) s = select_handle(s, Key::of(KeyCode::Down)).state;
    EXPECT_EQ(s.selected(), 2u);
    for (Key ignored : {Key::character('Q'), Key::of(KeyCode::Home), Key::of(KeyCode::PageDown), Key::character('j'),
                        Key::character('q', true)}) {
        const SelectStep step = select_handle(s, ignored);
        EXPECT_EQ(step.result, SelectResult::Pending);
        EXPECT_EQ(step.state.selected(), 2u);
    }
    EXPECT_EQ(select_handle(s, Key::of(KeyCode::Enter)).result, SelectResult::Chosen);
    EXPECT_EQ(select_handle(s, Key::of(KeyCode::Esc)).result, SelectResult::Cancelled);
    EXPECT_EQ(select_handle(s, Key::character('q')).result, SelectResult::Cancelled);
    EXPECT_EQ(select_items("a\n\n  \n b \r\nx\r\n\t\n"), (std::vector<std::string>{"a", " b ", "x"}));
    EXPECT_EQ(ui_select("p", {}, std::nullopt), std::nullopt);  // no terminal needed
}

TEST(Select, DrawsAPromptBoxOverAScrollingList) {
    std::vector<std::string> entries;
    for (int i = 0; i < 10; ++i) entries.push_back("항목 " + std::to_string(i));
    SelectState s = select_start("고르세요", entries, std::nullopt);
    ui::Buffer buf(ui::Rect{0, 0, 16, 8});
    select_draw(s, buf);
    const std::vector<std::string> rows = {"┌──────────────┐", "│고르세요      │", "└──────────────┘", "┌──────────────┐",
                                           "│항목 0        │", "│항목 1        │", "│항목 2        │", "└──────────────┘"};
    for (int y = 0; y < 8; ++y) EXPECT_EQ(buf.row_text(y), rows[y]) << y;
    EXPECT_TRUE(buf.at(14, 4).style.reverse);
    EXPECT_FALSE(buf.at(15, 4).style.reverse);  // the frame is not highlighted

    for (int i = 0; i < 5; ++i) s = select_handle(s, Key::of(KeyCode::Down)).state;
    ui::Buffer later(ui::Rect{0, 0, 16, 8});
    select_draw(s, later);
    EXPECT_EQ(later.row_text(4), "│항목 3        │");
    EXPECT_EQ(later.row_text(6), "│항목 5        │");
    EXPECT_TRUE(later.at(1, 6).style.reverse);
    ui::Buffer tiny(ui::Rect{0, 0, 4, 2});  // too short for the list: drawn inside its bounds
    select_draw(s, tiny);
    EXPECT_EQ(tiny.row_text(0), "┌──┐");
}

// A question wider than the screen wraps at blanks instead of being cut off; the list keeps room
// for one entry however long the question is.
TEST(Select, ALongPromptWrapsAboveTheList) {
    SelectState s = select_start("긴 질문 하나를 여기 씁니다 a/b/c/d", {"계속", "취소"}, std::nullopt);
    ui::Buffer buf(ui::Rect{0, 0, 16, 9});
    select_draw(s, buf);
    const std::vector<std::string> rows = {"┌──────────────┐", "│긴 질문       │", "│하나를 여기   │", "│씁니다 a/b/c/d│",
                                           "└──────────────┘", "┌──────────────┐", "│계속          │", "│취소          │",
                                           "└──────────────┘"};
    for (int y = 0; y < 9; ++y) EXPECT_EQ(buf.row_text(y), rows[y]) << y;
    ui::Buffer short_screen(ui::Rect{0, 0, 16, 6});
    select_draw(s, short_screen);
    EXPECT_EQ(short_screen.row_text(1), "│긴 질문       │");
    EXPECT_EQ(short_screen.row_text(2), "└──────────────┘");
    EXPECT_EQ(short_screen.row_text(4), "│계속          │");
}

TEST(Screen, ColoursFallBackToThePalette) {
    using ui::Color;
    EXPECT_EQ(ui::palette_colour(Color{}, 256, false), -1);
    EXPECT_EQ(ui::palette_colour(Color::rgb(47, 51, 77), 256, false), 237);
    EXPECT_EQ(ui::palette_colour(Color::rgb(0, 0x87, 0xff), 256, false), 33);  // an exact cube entry
    EXPECT_EQ(ui::palette_colour(Color::rgb(130, 170, 255), 1 << 24, true), 0x82aaff);
    // Direct colour reads numbers from 8 up as RGB: dark grey must not turn into 0x000008.
    EXPECT_EQ(ui::palette_colour(ui::colors::dark_gray, 1 << 24, true), 0x7f7f7f);
    EXPECT_EQ(ui::palette_colour(ui::colors::red, 1 << 24, true), 1);
    EXPECT_EQ(ui::palette_colour(Color::rgb(0, 0, 1), 1 << 24, true), 8);
    // RGB where COLORTERM or the terminfo entry (RGB, tmux's Tc) says so.
    EXPECT_TRUE(ui::wants_true_colour("truecolor", false, false) && ui::wants_true_colour("24bit", false, false));
    EXPECT_TRUE(ui::wants_true_colour(std::nullopt, true, false) && ui::wants_true_colour(std::nullopt, false, true));
    EXPECT_FALSE(ui::wants_true_colour(std::nullopt, false, false) || ui::wants_true_colour("256", false, false));
    EXPECT_EQ(ui::palette_colour(ui::colors::dark_gray, 8, false), 7);
    EXPECT_EQ(ui::palette_colour(Color::indexed(111), 16, false), 12);
}
