#include <gtest/gtest.h>

#include "ui/screen.hpp"
#include "ui/select.hpp"

using namespace vesk;
using ui::Key;
using ui::KeyCode;

namespace {

SelectStep press(const SelectState& s, Key key) { return select_handle(s, key); }

}  // namespace

TEST(Select, StartsOnTheInitialEntry) {
    std::vector<std::string> entries{"a", "b", "c", "b"};
    EXPECT_EQ(select_start("p", entries, std::string("b")).selected(), 1u);  // first occurrence
    EXPECT_EQ(select_start("p", entries, std::string("zz")).selected(), 0u);
    EXPECT_EQ(select_start("p", entries, std::string(" b")).selected(), 0u);  // exact match only
}

TEST(Select, KeysMoveWithoutWrappingChooseAndCancel) {
    SelectState s = select_start("p", {"a", "b", "c"}, std::nullopt);
    EXPECT_EQ(press(s, Key::of(KeyCode::Up)).state.selected(), 0u);
    s = press(s, Key::of(KeyCode::Down)).state;
    s = press(s, Key::of(KeyCode::Down)).state;
    EXPECT_EQ(s.selected(), 2u);
    EXPECT_EQ(press(s, Key::of(KeyCode::Down)).state.selected(), 2u);

    for (Key ignored : {Key::character('Q'), Key::of(KeyCode::Home), Key::of(KeyCode::End),
                        Key::of(KeyCode::PageUp), Key::of(KeyCode::PageDown), Key::character('j'),
                        Key::character('q', true)}) {
        SelectStep step = press(s, ignored);
        EXPECT_EQ(step.result, SelectResult::Pending);
        EXPECT_EQ(step.state.selected(), 2u);
    }
    EXPECT_EQ(press(s, Key::of(KeyCode::Enter)).result, SelectResult::Chosen);
    EXPECT_EQ(press(s, Key::of(KeyCode::Esc)).result, SelectResult::Cancelled);
    EXPECT_EQ(press(s, Key::character('q')).result, SelectResult::Cancelled);
}

TEST(Select, DrawsAPromptBoxOverAScrollingList) {
    std::vector<std::string> entries;
    for (int i = 0; i < 10; ++i) entries.push_back("항목 " + std::to_string(i));
    SelectState s = select_start("고르세요", entries, std::nullopt);
    ui::Buffer buf(ui::Rect{0, 0, 16, 8});
    select_draw(s, buf);
    EXPECT_EQ(buf.row_text(0), "┌──────────────┐");
    EXPECT_EQ(buf.row_text(1), "│고르세요      │");
    EXPECT_EQ(buf.row_text(3), "┌──────────────┐");
    EXPECT_EQ(buf.row_text(4), "│항목 0        │");
    EXPECT_EQ(buf.row_text(6), "│항목 2        │");
    EXPECT_EQ(buf.row_text(7), "└──────────────┘");
    EXPECT_TRUE(buf.at(14, 4).style.reverse);
    EXPECT_FALSE(buf.at(15, 4).style.reverse);  // the frame is not highlighted

    for (int i = 0; i < 5; ++i) s = select_handle(s, Key::of(KeyCode::Down)).state;
    ui::Buffer later(ui::Rect{0, 0, 16, 8});
    select_draw(s, later);
    EXPECT_EQ(later.row_text(4), "│항목 3        │");
    EXPECT_EQ(later.row_text(6), "│항목 5        │");
    EXPECT_TRUE(later.at(1, 6).style.reverse);

    // A screen too short for the list still draws inside its bounds.
    ui::Buffer tiny(ui::Rect{0, 0, 4, 2});
    select_draw(s, tiny);
    EXPECT_EQ(tiny.row_text(0), "┌──┐");
}

TEST(Select, ItemsAreTheNonBlankLinesUntrimmed) {
    EXPECT_EQ(select_items("a\n\n  \n b \r\n"), (std::vector<std::string>{"a", " b "}));
    EXPECT_EQ(select_items("x\r\n\t\ny"), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(ui_select("p", {}, std::nullopt), std::nullopt);  // no terminal needed
}

TEST(Screen, ColoursFallBackToThePalette) {
    using ui::Color;
    EXPECT_EQ(ui::palette_colour(Color{}, 256, false), -1);
    EXPECT_EQ(ui::palette_colour(Color::rgb(47, 51, 77), 256, false), 237);
    EXPECT_EQ(ui::palette_colour(Color::rgb(0, 0x87, 0xff), 256, false), 33);  // an exact cube entry
    EXPECT_EQ(ui::palette_colour(Color::rgb(130, 170, 255), 1 << 24, true), 0x82aaff);
    EXPECT_EQ(ui::palette_colour(ui::colors::dark_gray, 8, false), 7);
    EXPECT_EQ(ui::palette_colour(Color::indexed(111), 16, false), 12);
}
