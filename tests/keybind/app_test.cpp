#include "keybind/app.hpp"

#include <gtest/gtest.h>

#include "core/env_guard.hpp"
#include "support/private_env.hpp"
#include "ui/widgets.hpp"

namespace vesk::keybind::app {
namespace {

using model::ActionInfo;
using model::EditSession;
using model::Entry;
using ui::Key;
using ui::KeyCode;
using K = Row::Kind;

Entry entry(std::string group, std::string description, std::string command, std::string table, std::string key) {
    ActionInfo info{"t:" + command, group, description, command, command, table, key};
    return Entry{info, table, key};
}

// Groups interleave: Pane {0, 2}, Window {1, 4}, Copy {3}.
EditSession sample() {
    return EditSession{{entry("Pane", "창 닫기", "kill-pane", "prefix", "x"),
                        entry("Window", "새 창", "new-window", "root", "M-y"),
                        entry("Pane", "수직 분할", "split-window -h", "prefix", "y"),
                        entry("Copy", "선택 시작", "send -X begin-selection", "copy-mode-vi", "v"),
                        entry("Window", "다음 창", "next-window", "prefix", "z")}};
}

App sample_app() { return make_app(sample(), "/nonexistent/keybindings.conf"); }

Step press(App app, Key key) { return handle(std::move(app), key); }
App typed(App app, const std::u32string& text) {
    for (char32_t c : text) app = press(std::move(app), Key::character(c)).app;
    return app;
}
Key ctrl(char32_t c) { return Key::character(c, true); }
Key code(KeyCode c) { return Key::of(c); }
std::optional<std::size_t> sel(const App& app) { return selected_entry(app); }

ui::Buffer drawn(App& app, std::uint16_t width = 70, std::uint16_t height = 16) {
    ui::Buffer b(ui::Rect{0, 0, width, height});
    draw(app, b);
    return b;
}

TEST(KeybindScreen, Drawing) {
    App app = sample_app();
    app.session.entries[4].current_key = "C-z";
    app.session.entries[1].current_key.reset();
    ui::Buffer b = drawn(app);
    const std::vector<std::string> expected = {
        "┌ Keybindings ───────────────────────────────────────────────────────┐",
        "│ 검색  ▏                                                      5 / 5 │",
        "├────────────────────────────────────────────────────────────────────┤",
        "│                                                                    │",
        "│  Pane                                                              │",
        "│  ▸ 창 닫기           x                                             │",
        "│    수직 분할         y                                             │",
        "│                                                                    │",
        "│  Window                                                            │",
        "│    새 창             —             직접      없음                  │",
        "│    다음 창           C-z                     변경됨                │",
        "│                                                                    │",
        "│  Copy                                                              │",
        "├────────────────────────────────────────────────────────────────────┤",
        "│ ↑↓ 이동   Enter 변경   Del 삭제   ^R 기본값   Esc 닫기             │",
        "└────────────────────────────────────────────────────────────────────┘"};
    for (std::uint16_t y = 0; y < expected.size(); ++y) EXPECT_EQ(b.row_text(y), expected[y]) << y;
    EXPECT_EQ(app.page_size, 10u);
    // Moving to the last entry scrolls the list so it shows.
    app = press(std::move(app), code(KeyCode::End)).app;
    EXPECT_EQ(drawn(app).row_text(12), "│  ▸ 선택 시작         v             copy-vi                         │");

    // Only the description's matched characters are picked out, never those of the other fields.
    app = typed(sample_app(), U"split");
    ui::Buffer elsewhere = drawn(app);
    for (std::uint16_t x = 1; x < 69; ++x) EXPECT_FALSE(elsewhere.at(x, 5).style.underline) << x;

    // Nothing matches: an empty list; a status takes the hints' place.
    app = typed(sample_app(), U"qqqq");
    app.status = "저장하지 못했습니다: 디스크가 가득 찼습니다";
    ui::Buffer none = drawn(app);
    EXPECT_EQ(none.row_text(1), "│ 검색  qqqq▏                                                  0 / 5 │");
    EXPECT_EQ(none.row_text(14), "│ 저장하지 못했습니다: 디스크가 가득 찼습니다                        │");

    // Narrow: no state column below 12 + 42, a one-column description, the rest cut at the frame;
    // tiny: drawn without failing, with the capture box as well; the popup never less than a cell.
    EXPECT_FALSE(columns_for(sample(), 53).state);
    EXPECT_TRUE(columns_for(sample(), 54).state);
    EXPECT_EQ(popup_geometry(sample(), 0, -3), (PopupGeometry{1, 1, 0, 0}));
    app = sample_app();
    EXPECT_EQ(drawn(app, 20, 10).row_text(5), "│  ▸ …  x          │");
    drawn(app, 5, 3);
    app = press(std::move(app), code(KeyCode::Enter)).app;
    drawn(app, 5, 3);
    drawn(app, 20, 10);
}

TEST(KeybindScreen, SmallScreensKeepTheColumnsAndTheCloseKey) {
    App app = sample_app();
    app.session.entries[0].current_key = "C-M-S-F12-long-key";
    app.session.entries[1].current_key.reset();
    ui::Buffer b = drawn(app, 40, 12);
    const std::vector<std::string> expected = {
        "┌ Keybindings ─────────────────────────┐",
        "│ 검색  ▏                        5 / 5 │",
        "├──────────────────────────────────────┤",
        "│                                      │",
        "│  Pane                                │",
        "│  ▸ 창 …  C-M-S-F12-long-key          │",
        "│    수…   y                           │",
        "│                                      │",
        "│  Window                              │",
        "├──────────────────────────────────────┤",
        "│ ↑↓ 이동   Enter 변경   Esc 닫기      │",
        "└──────────────────────────────────────┘"};
    for (std::uint16_t y = 0; y < expected.size(); ++y) EXPECT_EQ(b.row_text(y), expected[y]) << y;

    // Narrower, the key column gives up columns before the table tag leaves the row.
    app = typed(std::move(app), U"새 창");
    EXPECT_EQ(drawn(app, 24, 8).row_text(4), "│  ▸ …  —      직접    │");
    // Every size down to nothing draws, with the key box too.
    for (Mode mode : {Mode{Normal{}}, Mode{Capture{0}}, Mode{Confirm{0, "y", model::Conflict{"t", "수직 분할", "y", "prefix"}}}}) {
        app.mode = mode;
        for (std::uint16_t w = 0; w <= 42; ++w)
            for (std::uint16_t h = 0; h <= 14; ++h) drawn(app, w, h);
    }
}

TEST(KeybindScreen, NormalModeKeys) {
    App app = typed(sample_app(), U"분할");
    EXPECT_EQ(app.rows, (std::vector<Row>{{}, {K::Header, "Pane", 0}, {K::Entry, "", 2}}));
    EXPECT_EQ(app.highlights[2], (std::vector<std::size_t>{3, 4}));
    EXPECT_EQ(sel(app), 2u);
    // Backspace removes one character, not one byte.
    app = press(std::move(app), code(KeyCode::Backspace)).app;
    EXPECT_EQ(app.query, "분");
    // Esc with a query clears it and the entry stays selected; with none it leaves, as Ctrl-C always does.
    Step step = press(std::move(app), code(KeyCode::Esc));
    EXPECT_TRUE(std::holds_alternative<Stay>(step.effect));
    EXPECT_EQ(step.app.shown, 5u);
    EXPECT_EQ(sel(step.app), 2u);
    EXPECT_TRUE(std::holds_alternative<Quit>(press(step.app, code(KeyCode::Esc)).effect));
    EXPECT_TRUE(std::holds_alternative<Quit>(press(typed(step.app, U"창"), ctrl(U'c')).effect));
    // Alt-characters are not typed into the query.
    EXPECT_EQ(press(sample_app(), Key::character(U'q', false, true)).app.query, "");

    // Moves go over entry rows in list order and stop at the ends; a page up with fewer rows
    // above goes to the first.
    app = sample_app();
    std::vector<std::size_t> seen;
    for (int i = 0; i < 5; ++i) {
        app = press(std::move(app), code(KeyCode::Down)).app;
        seen.push_back(*sel(app));
    }
    EXPECT_EQ(seen, (std::vector<std::size_t>{2, 1, 4, 3, 3}));
    app.page_size = 2;
    app = press(std::move(app), code(KeyCode::PageUp)).app;
    EXPECT_EQ(sel(app), 1u);
    app = press(std::move(app), code(KeyCode::PageUp)).app;
    EXPECT_EQ(sel(app), 0u);

    // Delete removes the key, Ctrl-R brings back the default; both name the key they replace.
    step = press(sample_app(), code(KeyCode::Delete));
    EXPECT_EQ(std::get<Commit>(step.effect), (Commit{0, "x"}));
    EXPECT_EQ(step.app.session.entries[0].current_key, std::nullopt);
    step = press(std::move(step.app), ctrl(U'r'));
    EXPECT_EQ(std::get<Commit>(step.effect), (Commit{0, std::nullopt}));
    EXPECT_EQ(step.app.session, sample());

    // Nothing matches: Enter, Delete, Ctrl-R and the moves do nothing.
    app = typed(sample_app(), U"qqqq");
    EXPECT_EQ(app.shown, 0u);
    for (Key k : {code(KeyCode::Enter), code(KeyCode::Delete), ctrl(U'r'), code(KeyCode::Down), code(KeyCode::End)}) {
        Step s = press(app, k);
        EXPECT_TRUE(std::holds_alternative<Stay>(s.effect));
        EXPECT_TRUE(std::holds_alternative<Normal>(s.app.mode));
        EXPECT_EQ(s.app.session, app.session);
    }
}

TEST(KeybindScreen, CaptureAndConfirmModeKeys) {
    // Capture: Esc and Ctrl-C are keys like any other, proposed for the entry.
    App app = press(press(sample_app(), code(KeyCode::Enter)).app, code(KeyCode::Esc)).app;
    EXPECT_EQ(app.mode, (Mode{Confirm{0, "Escape", std::nullopt}}));
    EXPECT_EQ(press(press(sample_app(), code(KeyCode::Enter)).app, ctrl(U'c')).app.mode,
              (Mode{Confirm{0, "C-c", std::nullopt}}));
    EXPECT_EQ(press(press(sample_app(), code(KeyCode::Enter)).app, Key::character(U' ', true)).app.mode,
              (Mode{Confirm{0, "C-Space", std::nullopt}}));

    // Confirm: another key is a new proposal, with the holder in the same table; Esc cancels.
    app = press(std::move(app), Key::character(U'y')).app;
    EXPECT_EQ(app.mode, (Mode{Confirm{0, "y", model::Conflict{"t:split-window -h", "수직 분할", "y", "prefix"}}}));
    Step step = press(std::move(app), code(KeyCode::Esc));
    EXPECT_EQ(step.app.mode, Mode{Normal{}});
    EXPECT_TRUE(std::holds_alternative<Stay>(step.effect));
    EXPECT_EQ(step.app.session, sample());
    // The same key in another table is no conflict; Enter takes it.
    app = press(press(sample_app(), code(KeyCode::Enter)).app, Key::character(U'v')).app;
    EXPECT_EQ(app.mode, (Mode{Confirm{0, "v", std::nullopt}}));
    step = press(std::move(app), code(KeyCode::Enter));
    EXPECT_EQ(std::get<Commit>(step.effect), (Commit{0, "x"}));
    EXPECT_EQ(step.app.session.entries[0].current_key, "v");
}

TEST(KeybindScreen, CommitSavesAndReportsFailuresInTheFooter) {
    test::TempDir dir;
    test::EnvGuard env;
    env.unset("TMUX");
    App app = make_app(sample(), dir / "vesk" / "keybindings.conf");
    app.status = "old failure";
    app.session = model::with_key_at(app.session, 0, "F9");
    commit(app, 0, "x", sample());
    EXPECT_EQ(app.status, std::nullopt);
    EXPECT_NE(test::read_text(dir / "vesk" / "keybindings.conf").find("F9 kill-pane"), std::string::npos);

    // A file in the way of the directory: the save fails and says so.
    test::write_text(dir / "blocked", "");
    App blocked = make_app(sample(), dir / "blocked" / "keybindings.conf");
    commit(blocked, 0, "x", sample());
    ASSERT_TRUE(blocked.status);
    EXPECT_TRUE(blocked.status->starts_with("저장하지 못했습니다: ")) << *blocked.status;

    // Inside tmux, a tmux that refuses: the live step says so.
    env.set("TMUX", "/nonexistent,1,0");
    env.set("TMUX_BIN", "/bin/false");
    commit(app, 0, "F9", app.session);
    ASSERT_TRUE(app.status);
    EXPECT_TRUE(app.status->starts_with("tmux에 걸지 못했습니다: ")) << *app.status;

    // A save that fails takes nothing back to tmux (that refusing tmux would have the last word)
    // and nothing stays changed on the screen: the row shows the key it had, not "변경됨".
    Step deleted = press(std::move(blocked), code(KeyCode::Delete));
    commit(deleted.app, 0, "x", sample());
    ASSERT_TRUE(deleted.app.status);
    EXPECT_TRUE(deleted.app.status->starts_with("저장하지 못했습니다: ")) << *deleted.app.status;
    EXPECT_EQ(deleted.app.session, sample());
    deleted.app.status.reset();
    EXPECT_EQ(drawn(deleted.app).row_text(5), "│  ▸ 창 닫기           x                                             │");
}

}  // namespace
}  // namespace vesk::keybind::app
