#include "ui/list_screen.hpp"

#include <gtest/gtest.h>

#include "ui/widgets.hpp"

namespace vesk::ui {
namespace {

// An entry (id >= 0) or a header the cursor passes over (id < 0).
struct Row {
    int id = -1;
    bool selectable() const { return id >= 0; }
    bool operator==(const Row&) const = default;
};

using List = ListScreen<Row>;

List with_rows(std::vector<Row> rows) {
    List list;
    replace_rows(list, std::move(rows));
    return list;
}

std::size_t after(List& list, std::initializer_list<Key> keys) {
    for (const Key& key : keys) EXPECT_EQ(handle_list_key(list, key), ListKey::Stay);
    return list.selected;
}

Key code(KeyCode c) { return Key::of(c); }

TEST(ListScreen, MovesPassOverHeadersAndStopAtTheEnds) {
    List list = with_rows({{-1}, {0}, {1}, {-1}, {2}, {3}, {-1}});
    EXPECT_EQ(list.selected, 1u);
    EXPECT_EQ(after(list, {code(KeyCode::Up)}), 1u);
    EXPECT_EQ(after(list, {code(KeyCode::Down), Key::character(U'n', true)}), 4u);
    EXPECT_EQ(after(list, {code(KeyCode::End), code(KeyCode::Down)}), 5u);
    list.page_size = 2;
    EXPECT_EQ(after(list, {code(KeyCode::PageUp)}), 2u);
    EXPECT_EQ(after(list, {code(KeyCode::PageUp)}), 1u);
    EXPECT_EQ(after(list, {code(KeyCode::PageDown), Key::character(U'p', true)}), 2u);
    // A cursor left past the rows comes back to the last entry.
    list.selected = 40;
    EXPECT_EQ(after(list, {code(KeyCode::Up)}), 5u);
    EXPECT_EQ(handle_list_key(list, code(KeyCode::Esc)), ListKey::Leave);
    EXPECT_EQ(handle_list_key(list, Key::character(U'x')), ListKey::Filter);
}

TEST(ListScreen, SelectionAndScrollAfterTheRowsChange) {
    std::vector<Row> many;
    for (int i = 0; i < 20; ++i) many.push_back({i});
    List list = with_rows(many);
    after(list, {code(KeyCode::End)});
    Buffer buffer(Rect{0, 0, 30, 10});
    draw_list_screen(list, buffer, {" T ", [&](std::size_t) { return std::vector<Line>(list.rows.size(), "row"); }});
    EXPECT_EQ(list.page_size, 4u);
    EXPECT_EQ(list.offset, 16u);

    // The row under the cursor keeps it where it went; a list without it puts it on the first
    // entry and the view back at the top.
    replace_rows(list, {{-1}, {4}, {19}});
    EXPECT_EQ(list.selected, 2u);
    EXPECT_EQ(list.offset, 0u);
    replace_rows(list, {{-1}, {7}, {8}});
    EXPECT_EQ(list.selected_row(), &list.rows[1]);

    // No entry at all: nothing under the cursor, the moves stay put, drawing shows no selection.
    for (std::vector<Row> rows : {std::vector<Row>{}, std::vector<Row>{{-1}, {-1}}}) {
        replace_rows(list, rows);
        EXPECT_EQ(list.selected, 0u);
        EXPECT_EQ(list.selected_row(), nullptr);
        EXPECT_EQ(after(list, {code(KeyCode::Down), code(KeyCode::End), code(KeyCode::PageUp), code(KeyCode::Home)}), 0u);
        Buffer empty(Rect{0, 0, 30, 10});
        draw_list_screen(list, empty, {" T ", [&](std::size_t) { return std::vector<Line>(list.rows.size(), "row"); }});
        for (std::uint16_t x = 0; x < 30; ++x) EXPECT_NE(empty.at(x, 3).style.bg, palette::kSelectedBg) << x;
    }
}

TEST(ListScreen, SmallScreensKeepTheFooterAndTheCloseKey) {
    const auto hints = [](std::size_t width) {
        return key_hints({{"↑↓", "이동"}, {"Enter", "변경"}, {"Esc", "닫기"}}, width).text();
    };
    EXPECT_EQ(hints(80), " ↑↓ 이동   Enter 변경   Esc 닫기");
    // Hints are left out from the one before the close key back; the close key stays.
    EXPECT_EQ(hints(30), " ↑↓ 이동   Esc 닫기");
    EXPECT_EQ(hints(18), " Esc 닫기");
    EXPECT_EQ(hints(8), "Esc 닫기");
    EXPECT_EQ(hints(0), "Esc 닫기");

    // A description column and another column in the room left: the other keeps its width while
    // the description has a column, then gives up columns itself.
    EXPECT_EQ(share_columns(30, 27).description, 3u);
    EXPECT_EQ(share_columns(30, 27).other, 27u);
    EXPECT_EQ(share_columns(24, 27).description, 1u);
    EXPECT_EQ(share_columns(24, 27).other, 23u);
    EXPECT_EQ(share_columns(0, 27).other, 0u);

    std::vector<Row> many;
    for (int i = 0; i < 20; ++i) many.push_back({i});
    List list = with_rows(many);
    const ListLook look{" T ", [&](std::size_t) { return std::vector<Line>(list.rows.size(), "row"); }, {"20 / 20"},
                        [](std::size_t width) { return key_hints({{"↑↓", "이동"}, {"Esc", "닫기"}}, width); }};
    // Seven rows (a popup pane on a small client): the footer before a second list row.
    Buffer short_screen(Rect{0, 0, 22, 7});
    draw_list_screen(list, short_screen, look);
    EXPECT_EQ(short_screen.row_text(3), "│row                 │");
    EXPECT_EQ(short_screen.row_text(4), "├────────────────────┤");
    EXPECT_EQ(short_screen.row_text(5), "│ ↑↓ 이동   Esc 닫기 │");
    EXPECT_EQ(list.page_size, 1u);
    // Six rows: the list's one row goes first, and no footer rule without its text.
    Buffer shorter(Rect{0, 0, 22, 6});
    draw_list_screen(list, shorter, look);
    EXPECT_EQ(shorter.row_text(4), "│row                 │");
    // Every size down to nothing draws.
    for (std::uint16_t w = 0; w <= 24; ++w) {
        for (std::uint16_t h = 0; h <= 12; ++h) {
            Buffer any(Rect{0, 0, w, h});
            draw_list_screen(list, any, look);
        }
    }
}

TEST(ListScreen, AScreenWithoutAQueryShowsItsHeaderAndFrameLook) {
    List list = with_rows({{0}, {1}});
    ListLook look{" 점검 ", [](std::size_t) { return std::vector<Line>{"a", "b"}; }, {"note"},
                  [](std::size_t width) {
                      return key_hints({{"↑↓", "이동"}, {"a", "모두"}, {"Esc", "닫기"}}, width,
                                       HintLook{2, Style{}.with_fg(palette::kDim).with_bold(), 2});
                  }};
    look.header = [](std::size_t width) { return Line("머리 " + std::to_string(width), Style{}.with_bold()); };
    look.border = Style{}.with_fg(palette::kDim);
    look.title_style = Style{}.with_bold();
    Buffer buffer(Rect{0, 0, 30, 8});
    draw_list_screen(list, buffer, look);
    EXPECT_EQ(buffer.row_text(0), "┌ 점검 ──────────────────────┐");
    EXPECT_EQ(buffer.row_text(1), "│머리 28                     │");  // no search line, no note
    EXPECT_EQ(buffer.row_text(6), "│  ↑↓ 이동  a 모두  Esc 닫기 │");
    EXPECT_EQ(buffer.at(0, 0).style.fg, palette::kDim);
    // The title keeps its own colour over a coloured border.
    EXPECT_EQ(buffer.at(2, 0).style, Style{}.with_bold());
    EXPECT_EQ(buffer.at(1, 1).style, Style{}.with_bold());
    EXPECT_EQ(buffer.at(3, 6).style, Style{}.with_fg(palette::kDim).with_bold());
    // Two blanks before the close key where they fit, none where they do not.
    const HintLook wide{2, Style{}, 2};
    EXPECT_EQ(key_hints({{"↑↓", "이동"}, {"Esc", "닫기"}}, 10, wide).text(), "  Esc 닫기");
    EXPECT_EQ(key_hints({{"↑↓", "이동"}, {"Esc", "닫기"}}, 9, wide).text(), "Esc 닫기");
}

TEST(ListScreen, OverlayIsCentredClearedAndCutToTheScreen) {
    Buffer buffer(Rect{0, 0, 12, 6});
    for (std::uint16_t y = 0; y < 6; ++y) buffer.set_string(0, y, "xxxxxxxxxxxx", Style{});
    const Overlay box{8, Line(" 제목 ", Style{}.with_bold()), Style{}.with_fg(palette::kAccent), {"가나", "", "abcdefghij"}};
    draw_overlay(buffer, buffer.area(), box);
    EXPECT_EQ(buffer.row_text(0), "xx┌ 제목 ┐xx");
    EXPECT_EQ(buffer.row_text(1), "xx│가나  │xx");
    EXPECT_EQ(buffer.row_text(2), "xx│      │xx");
    EXPECT_EQ(buffer.row_text(3), "xx│abcdef│xx");
    EXPECT_EQ(buffer.row_text(4), "xx└──────┘xx");
    EXPECT_EQ(buffer.row_text(5), "xxxxxxxxxxxx");
    EXPECT_EQ(buffer.at(2, 0).style.fg, palette::kAccent);
    EXPECT_EQ(buffer.at(4, 0).style, Style{}.with_bold());
    // More lines than rows: the box takes the whole height; any size draws.
    Buffer small(Rect{0, 0, 12, 3});
    draw_overlay(small, small.area(), box);
    EXPECT_EQ(small.row_text(1), "  │가나  │  ");
    EXPECT_EQ(small.row_text(2), "  └──────┘  ");
    for (std::uint16_t w = 0; w <= 10; ++w)
        for (std::uint16_t h = 0; h <= 6; ++h) {
            Buffer any(Rect{0, 0, w, h});
            draw_overlay(any, any.area(), box);
        }
}

}  // namespace
}  // namespace vesk::ui
