// The doctor screen without a terminal: its rows, its keys in every mode, the fixes it starts and
// follows, and its drawing into a cell buffer at the usual, a narrow and every small size.
#include <gtest/gtest.h>

#include <unistd.h>

#include "core/text.hpp"
#include "doctor/app.hpp"
#include "support/private_env.hpp"
#include "support/screen_rows.hpp"
#include "ui/screen_width.hpp"

namespace vesk::doctor::app {
namespace {

namespace fs = std::filesystem;
using test::screen_rows;
using ui::Key;
using ui::KeyCode;
using namespace ui::palette;

constexpr ui::Color kOk = ui::Color::rgb(135, 217, 108);

Check check(std::string_view group, std::string_view id, Severity severity, std::string summary,
            std::optional<std::string> detail = std::nullopt, std::optional<Remedy> remedy = std::nullopt) {
    return Check{group, id, severity, std::move(summary), std::move(detail), std::move(remedy)};
}

const char* const kMissing = "No such file or directory (os error 2)";

// Two problems of each kind but skip among passing checks of four groups; the tmux group has no
// passing check at all.
Report sample(Severity config_dir = Severity::Warn, const fs::path& config_path = "/home/설정") {
    Report r;
    r.checks.push_back(check("system", "tmux", Severity::Ok, "tmux: /usr/bin/tmux (tmux 3.3a)"));
    r.checks.push_back(check("system", "git", Severity::Warn, "git 명령을 찾지 못했습니다.", "PATH에서 찾아본 이름: git",
                             Remedy{"git을 설치하십시오.", Action{NoAction{}}}));
    r.checks.push_back(check("system", "fzf", Severity::Ok, "fzf: /usr/bin/fzf (\x1b[31m0.38\x1b[0m)"));
    r.checks.push_back(check("tmux", "live-session", Severity::Skip, "tmux 세션 밖이라 live binding 검사를 건너뜁니다."));
    r.checks.push_back(check("install", "bin/vesk", Severity::Error, "bin/vesk 점검 실패: /root/bin/vesk", kMissing,
                             Remedy{"`vesk setup`을 다시 실행해 실행 파일을 설치합니다.",
                                    Action{Recipe::make("vesk", {"setup"})}}));
    if (config_dir == Severity::Ok)
        r.checks.push_back(check("features", "config-dir", Severity::Ok,
                                 "vesk config directory: " + path_text(config_path)));
    else
        r.checks.push_back(check("features", "config-dir", config_dir,
                                 "vesk config directory 점검 실패: " + path_text(config_path), kMissing,
                                 Remedy{"설정 디렉터리를 만듭니다.", Action{Mkdir{config_path}}}));
    r.checks.push_back(check("features", "plugins-dir", Severity::Ok, "tmux plugins directory: /root/plugins"));
    r.checks.push_back(check("features", "log-parent", Severity::Ok, "current project log parent: /work"));
    return r;
}

Effect press(App& app, const Key& key) {
    Step step = handle(std::move(app), key);
    app = std::move(step.app);
    return step.effect;
}
Effect press(App& app, KeyCode code) { return press(app, Key::of(code)); }
Effect press(App& app, char32_t c, bool ctrl = false) { return press(app, Key::character(c, ctrl)); }

const Row& cursor(const App& app) { return app.rows.at(app.selected); }

std::string mode_id(const App& app) {
    if (const auto* d = std::get_if<Detail>(&app.mode)) return d->id;
    if (const auto* r = std::get_if<Running>(&app.mode)) return r->id;
    if (const auto* d = std::get_if<Done>(&app.mode)) return d->id;
    return "";
}

ui::Buffer drawn(App& app, std::uint16_t width, std::uint16_t height) {
    ui::Buffer buffer(ui::Rect{0, 0, width, height});
    draw(app, buffer);
    return buffer;
}

// The first cell of row y showing `symbol`.
const ui::Cell& cell_of(const ui::Buffer& buffer, std::uint16_t y, std::string_view symbol, std::uint16_t from = 0) {
    for (std::uint16_t x = from; x < buffer.area().width; ++x)
        if (buffer.at(x, y).symbol == symbol) return buffer.at(x, y);
    ADD_FAILURE() << symbol << " not in row " << y << ": " << buffer.row_text(y);
    static const ui::Cell none;
    return none;
}

bool has(const std::string& text, const std::string& needle) { return text.find(needle) != std::string::npos; }

TEST(DoctorScreen, RowsPutProblemsFirstAndFoldPassingGroups) {
    const Report report = sample();
    using R = Row;
    EXPECT_EQ(build_rows(report, {}, false),
              (std::vector<Row>{R::check(4), R::check(1), R::check(5), R::check(3), R::blank(), R::folded("system", 2),
                                R::folded("features", 2)}));
    EXPECT_EQ(build_rows(report, {"features"}, false),
              (std::vector<Row>{R::check(4), R::check(1), R::check(5), R::check(3), R::blank(), R::folded("system", 2),
                                R::check(6), R::check(7)}));
    EXPECT_EQ(build_rows(report, {}, true).size(), 4u + 1u + 4u);
    // Nothing failing: no blank row, the groups from the top; nothing at all: no rows.
    Report healthy = sample(Severity::Ok);
    for (std::size_t i : {4, 3, 1}) healthy.checks.erase(healthy.checks.begin() + static_cast<long>(i));
    EXPECT_EQ(build_rows(healthy, {}, false), (std::vector<Row>{R::folded("system", 2), R::folded("features", 3)}));
    EXPECT_TRUE(build_rows(Report{}, {}, false).empty());
    App empty = make_app(Report{});
    EXPECT_EQ(press(empty, KeyCode::Down), Effect{Stay{}});
    EXPECT_EQ(press(empty, KeyCode::Enter), Effect{Stay{}});
    EXPECT_TRUE(std::holds_alternative<List>(empty.mode));
}

TEST(DoctorScreen, ListKeys) {
    App app = make_app(sample());
    EXPECT_EQ(app.id_width, 14u);
    EXPECT_EQ(cursor(app), Row::check(4));
    // j, k and the arrows pass over the blank row; the ends hold the cursor.
    press(app, U'k');
    EXPECT_EQ(app.selected, 0u);
    for (char32_t c : {U'j', U'j', U'j'}) press(app, c);
    EXPECT_EQ(app.selected, 3u);
    press(app, KeyCode::Down);
    EXPECT_EQ(cursor(app), Row::folded("system", 2));
    press(app, U'p', true);
    EXPECT_EQ(app.selected, 3u);
    press(app, KeyCode::End);
    EXPECT_EQ(cursor(app), Row::folded("features", 2));
    press(app, U'n', true);
    EXPECT_EQ(app.selected, 6u);
    app.page_size = 4;
    press(app, KeyCode::PageUp);
    EXPECT_EQ(app.selected, 1u);
    press(app, KeyCode::Home);
    EXPECT_EQ(app.selected, 0u);

    // Enter on a group unfolds it and the cursor goes to the first row, the group row being gone;
    // `a` shows everything, and folds every group again the second time.
    press(app, KeyCode::End);
    EXPECT_EQ(press(app, KeyCode::Enter), Effect{Stay{}});
    EXPECT_EQ(app.rows.back(), Row::check(7));
    EXPECT_EQ(app.selected, 0u);
    press(app, U'a');
    EXPECT_TRUE(app.show_all);
    EXPECT_EQ(app.rows.size(), 9u);
    press(app, U'a');
    EXPECT_EQ(app.rows.back(), Row::folded("features", 2));

    // Enter on a check opens it; q, Esc and Ctrl-C leave the list; Ctrl-R asks for a fresh report.
    press(app, KeyCode::Down);
    EXPECT_EQ(press(app, KeyCode::Enter), Effect{Stay{}});
    EXPECT_EQ(mode_id(app), "git");
    EXPECT_EQ(press(app, KeyCode::Esc), Effect{Stay{}});
    EXPECT_TRUE(std::holds_alternative<List>(app.mode));
    EXPECT_EQ(press(app, U'r', true), Effect{Reread{}});
    for (const Key& key : {Key::character(U'q'), Key::of(KeyCode::Esc), Key::character(U'c', true)}) {
        App copy = make_app(sample());
        EXPECT_EQ(press(copy, key), Effect{Quit{}});
    }
    // Q and other letters do nothing.
    EXPECT_EQ(press(app, U'Q'), Effect{Stay{}});
    EXPECT_EQ(press(app, U'x'), Effect{Stay{}});
}

TEST(DoctorScreen, DetailRunningAndDoneKeys) {
    App app = make_app(sample());
    // Nothing to run for a passing, a skipped check or one whose remedy is the user's to carry out.
    for (std::string_view id : {"tmux", "live-session", "git"}) {
        app.mode = Detail{std::string(id)};
        EXPECT_EQ(press(app, KeyCode::Enter), Effect{Stay{}}) << id;
        EXPECT_EQ(mode_id(app), id);
    }
    app.mode = Detail{"config-dir"};
    EXPECT_EQ(press(app, KeyCode::Enter), (Effect{Fix{"config-dir", Action{Mkdir{"/home/설정"}}}}));
    app.mode = Detail{"bin/vesk"};
    EXPECT_EQ(press(app, KeyCode::Enter), (Effect{Fix{"bin/vesk", Action{Recipe::make("vesk", {"setup"})}}}));
    EXPECT_EQ(press(app, U'q'), Effect{Stay{}});
    EXPECT_TRUE(std::holds_alternative<List>(app.mode));
    app.mode = Detail{"bin/vesk"};
    EXPECT_EQ(press(app, U'c', true), Effect{Quit{}});

    // A running fix takes nothing but Ctrl-C.
    app.mode = Running{"bin/vesk", {}, nullptr};
    for (const Key& key : {Key::of(KeyCode::Esc), Key::character(U'q'), Key::of(KeyCode::Enter), Key::of(KeyCode::Down)})
        EXPECT_EQ(press(app, key), Effect{Stay{}});
    EXPECT_TRUE(running(app));
    EXPECT_EQ(press(app, U'c', true), Effect{Quit{}});

    // Done goes back to the list on Enter, Esc or q.
    for (const Key& key : {Key::of(KeyCode::Enter), Key::of(KeyCode::Esc), Key::character(U'q')}) {
        app.mode = Done{"bin/vesk", Outcome{"끝났습니다.", {}, true}, Severity::Ok};
        EXPECT_EQ(press(app, key), Effect{Stay{}});
        EXPECT_TRUE(std::holds_alternative<List>(app.mode));
    }
}

TEST(DoctorScreen, RereadKeepsTheCursorOnItsRow) {
    App app = make_app(sample());
    app.selected = 2;  // config-dir
    Report fixed_git = sample();
    fixed_git.checks[1] = check("system", "git", Severity::Ok, "git: /usr/bin/git");
    carry_out(app, Reread{}, [&] { return fixed_git; });
    EXPECT_EQ(cursor(app), Row::check(5));
    EXPECT_EQ(app.rows[4], Row::folded("system", 3));
    // On a group whose count changed, the cursor goes back to the first row.
    app.selected = 4;
    carry_out(app, Reread{}, [] { return sample(); });
    EXPECT_EQ(app.selected, 0u);
    // Longer ids and summaries widen the columns.
    Report wide = sample();
    wide.checks[0].id = "doc/keybindings.itermkeymap";
    carry_out(app, Reread{}, [&] { return wide; });
    EXPECT_EQ(app.id_width, 27u);
}

TEST(DoctorScreen, FixesRunReportAndRecheck) {
    test::TempDir tmp;
    test::EnvGuard env;
    env.set("TMPDIR", tmp.path().string());
    const fs::path logs = tmp / "logs";
    fs::create_directories(logs);
    env.set("TMPDIR", logs.string());
    const auto log_count = [&] { return std::distance(fs::directory_iterator(logs), fs::directory_iterator()); };

    // A directory is made at once; the re-check finds it and the outcome shows over the new report.
    const fs::path dir = tmp / "설정" / "깊은";
    const auto collect = [&] { return sample(fs::is_directory(dir) ? Severity::Ok : Severity::Warn, dir); };
    App app = make_app(collect());
    carry_out(app, Fix{"config-dir", Action{Mkdir{dir}}}, collect);
    EXPECT_TRUE(fs::is_directory(dir));
    const auto* done = std::get_if<Done>(&app.mode);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->outcome.message, "디렉터리를 만들었습니다.");
    EXPECT_EQ(done->severity, Severity::Ok);
    EXPECT_EQ(app.report.find("config-dir")->severity, Severity::Ok);
    EXPECT_EQ(app.rows.back(), Row::folded("features", 3));

    // A program runs as a job: its log's last lines follow while it runs; its end, a failure here,
    // re-checks, and its log is gone.
    const fs::path hold = tmp / "hold";
    const std::string script = "printf 'one\\n\\033[31mtwo\\033[0m\\n'; while [ ! -e '" + hold.string() +
                               "' ]; do sleep 0.02; done; echo three; exit 3";
    carry_out(app, Fix{"bin/vesk", Action{Recipe::make("sh", {"-c", script})}}, collect);
    ASSERT_TRUE(running(app));
    EXPECT_EQ(log_count(), 1);
    ASSERT_TRUE(test::wait_until([&] {
        poll(app, collect);
        return std::get<Running>(app.mode).lines.size() == 2;
    }));
    EXPECT_EQ(std::get<Running>(app.mode).lines[1], "\x1b[31mtwo\x1b[0m");
    EXPECT_GT(app.tick, 0u);
    test::write_text(hold, "");
    ASSERT_TRUE(test::wait_until([&] {
        poll(app, collect);
        return !running(app);
    }));
    done = std::get_if<Done>(&app.mode);
    ASSERT_NE(done, nullptr);
    EXPECT_FALSE(done->outcome.ok);
    EXPECT_EQ(done->outcome.message, "명령이 실패했습니다 (종료 코드 3)");
    EXPECT_EQ(done->outcome.lines, (std::vector<std::string>{"one", "\x1b[31mtwo\x1b[0m", "three"}));
    EXPECT_EQ(done->severity, Severity::Error);
    EXPECT_EQ(log_count(), 0);

    // A program that cannot start, for a check that the re-check no longer finds.
    carry_out(app, Fix{"gone", Action{Recipe::make("/nonexistent/fix", {})}}, collect);
    done = std::get_if<Done>(&app.mode);
    ASSERT_NE(done, nullptr);
    EXPECT_TRUE(done->outcome.message.starts_with("실행하지 못했습니다: ")) << done->outcome.message;
    EXPECT_EQ(done->severity, std::nullopt);
    EXPECT_EQ(log_count(), 0);

    // Leaving while a fix runs: its log goes with the screen, the fix itself carries on to its end.
    const fs::path marker = tmp / "marker";
    {
        App leaving = make_app(collect());
        carry_out(leaving,
                  Fix{"bin/vesk", Action{Recipe::make("sh", {"-c", "sleep 0.3; echo done > '" + marker.string() + "'"})}},
                  collect);
        ASSERT_TRUE(running(leaving));
        EXPECT_EQ(press(leaving, U'c', true), Effect{Quit{}});
    }
    EXPECT_EQ(log_count(), 0);
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_TRUE(test::wait_until([&] { return fs::exists(marker) && test::read_text(marker) == "done\n"; }));
}

TEST(DoctorScreen, LayoutArithmetic) {
    EXPECT_EQ(columns_for(60, 20), (Columns{20, 19}));
    EXPECT_EQ(columns_for(50, 20), (Columns{13, 16}));
    EXPECT_EQ(columns_for(30, 20), (Columns{1, 8}));
    EXPECT_EQ(columns_for(0, 20), (Columns{1, 1}));
    EXPECT_EQ(columns_for(38, 14), (Columns{1, 16}));
    for (auto [frame, width] : {std::pair{120, 74}, {60, 48}, {52, 41}, {51, 40}, {45, 40}, {30, 30}, {0, 0}})
        EXPECT_EQ(overlay_width(frame), static_cast<std::size_t>(width)) << frame;

    const auto texts = [](const std::vector<ui::Line>& lines) {
        std::vector<std::string> out;
        for (const auto& l : lines) out.push_back(l.text());
        return out;
    };
    EXPECT_EQ(texts(paragraph("abc defghijklmno p", 10, {})), (std::vector<std::string>{"  abc", "  defghijklm", "  no p"}));
    EXPECT_EQ(texts(paragraph("", 10, {})), (std::vector<std::string>{"  "}));
    // Runs of white space, line ends included, only separate; wide characters are broken by columns.
    EXPECT_EQ(texts(paragraph("  설정\n\t디렉터리를   만듭니다 ", 8, {})),
              (std::vector<std::string>{"  설정", "  디렉터리", "  를", "  만듭니다"}));
    // Control characters that are no white space show as their pictures; nothing loops at width 0.
    EXPECT_EQ(texts(paragraph("a\x1b[1mb", 40, {})), (std::vector<std::string>{"  a␛[1mb"}));
    EXPECT_EQ(texts(paragraph("ab c", 0, {})), (std::vector<std::string>{"  a", "  b", "  c"}));
}

TEST(DoctorScreen, DrawsTheListWithCountsGlyphsAndColours) {
    App app = make_app(sample());
    ui::Buffer buffer = drawn(app, 80, 24);
    auto rows = screen_rows(buffer);
    EXPECT_EQ(rows[0], "┌ Doctor ──────────────────────────────────────────────────────────────────────┐");
    EXPECT_EQ(rows[1], "│   ● 1 문제  ▲ 2 주의  ✔ 4 정상  · 1 확인 못 함");
    EXPECT_EQ(rows[2], "├──────────────────────────────────────────────────────────────────────────────┤");
    // 78 columns inside: id column 14, summary column 43.
    EXPECT_EQ(std::vector<std::string>(rows.begin() + 3, rows.begin() + 10),
              (std::vector<std::string>{"│  ▸ ●   install    bin/vesk        bin/vesk 점검 실패: /root/bin/vesk",
                                        "│    ▲   system     git             git 명령을 찾지 못했습니다.",
                                        "│    ▲   features   config-dir      vesk config directory 점검 실패: /home/설정",
                                        "│    ·   tmux       live-session    tmux 세션 밖이라 live binding 검사를 건너…",
                                        "│", "│    ✔   system     2개 정상", "│    ✔   features   2개 정상"}));
    EXPECT_EQ(rows[22], "│  ↑↓ 이동  Enter 자세히  a 모두 보기  ^R 다시 검사  Esc 닫기");
    EXPECT_EQ(app.page_size, 18u);

    // The frame dim, its title bold; each severity's glyph bold in its colour, in the counts and on
    // its row; group names dim; the cursor row on the highlight, its id bold; folded groups' glyph
    // plain, their count dim; footer keys dim and bold.
    EXPECT_EQ(buffer.at(0, 0).style.fg, kDim);
    EXPECT_EQ(cell_of(buffer, 0, "D").style, ui::Style{}.with_bold());
    for (auto [glyph, colour, row] : {std::tuple{"●", kWarning, 3}, {"▲", kOrange, 4}, {"·", kDim, 6}, {"✔", kOk, 1}}) {
        const ui::Style style = ui::Style{}.with_fg(colour).with_bold();
        EXPECT_EQ(cell_of(buffer, 1, glyph).style, style) << glyph;
        EXPECT_EQ(cell_of(buffer, static_cast<std::uint16_t>(row), glyph).style,
                  row == 3 ? style.with_bg(kSelectedBg) : style) << glyph;
    }
    EXPECT_EQ(cell_of(buffer, 1, "문").style, ui::Style{});
    EXPECT_EQ(cell_of(buffer, 3, "▸").style, ui::Style{}.with_fg(kAccent).with_bold().with_bg(kSelectedBg));
    EXPECT_EQ(cell_of(buffer, 3, "v").style, ui::Style{}.with_bold().with_bg(kSelectedBg));
    EXPECT_EQ(buffer.at(78, 3).style.bg, kSelectedBg);
    EXPECT_EQ(cell_of(buffer, 4, "s").style, ui::Style{}.with_fg(kDim));
    EXPECT_EQ(cell_of(buffer, 4, "g").style, ui::Style{});
    EXPECT_EQ(cell_of(buffer, 8, "✔").style, ui::Style{}.with_fg(kOk));
    EXPECT_EQ(cell_of(buffer, 8, "2").style, ui::Style{}.with_fg(kDim));
    EXPECT_EQ(cell_of(buffer, 22, "E").style, ui::Style{}.with_fg(kDim).with_bold());
    EXPECT_EQ(cell_of(buffer, 22, "자").style, ui::Style{}.with_fg(kDim));

    // Everything shown: the note at the right, passing checks dim, control characters as pictures;
    // the cursor on a group tells how to unfold it.
    press(app, U'a');
    press(app, KeyCode::End);
    buffer = drawn(app, 80, 24);
    rows = screen_rows(buffer);
    EXPECT_EQ(rows[1], "│   ● 1 문제  ▲ 2 주의  ✔ 4 정상  · 1 확인 못 함                 모두 보는 중");
    EXPECT_EQ(rows[9], "│    ✔   system     fzf             fzf: /usr/bin/fzf (␛[31m0.38␛[0m)");
    EXPECT_EQ(cell_of(buffer, 9, "/").style, ui::Style{}.with_fg(kDim));
    press(app, U'a');
    press(app, KeyCode::End);
    EXPECT_EQ(screen_rows(drawn(app, 80, 24))[9], "│  ▸ ✔   features   2개 정상        Enter로 펼칩니다");

    // A header with no skipped check shows it all dim. At 40 x 12 the id column shrinks to one
    // column and the footer keeps the close key.
    Report no_skip = sample();
    no_skip.checks.erase(no_skip.checks.begin() + 3);
    App plain = make_app(no_skip);
    for (const char* part : {"·", "0", "확"}) EXPECT_EQ(cell_of(drawn(plain, 80, 24), 1, part).style, ui::Style{}.with_fg(kDim));
    buffer = drawn(plain, 40, 12);
    rows = screen_rows(buffer);
    EXPECT_EQ(rows[1], "│   ● 1 문제  ▲ 2 주의  ✔ 4 정상  · 0");
    EXPECT_EQ(rows[3], "│  ▸ ●   install    …  bin/vesk 점검 …");
    EXPECT_EQ(rows[5], "│    ▲   features   …  vesk config dir…");
    EXPECT_EQ(rows[7], "│    ✔   system     2개 정상");
    EXPECT_EQ(rows[10], "│  ↑↓ 이동  Enter 자세히  Esc 닫기");
    EXPECT_EQ(cell_of(buffer, 5, "▲").style, ui::Style{}.with_fg(kOrange).with_bold());
    EXPECT_EQ(plain.page_size, 6u);
}

TEST(DoctorScreen, DrawsTheOverlayOfEachMode) {
    // The box: its lines (blanks at their ends dropped) and the colour of its border.
    struct Box {
        std::vector<std::string> lines;
        ui::Color border;
    };
    const auto box_of = [](App& app, std::uint16_t width, std::uint16_t height) {
        const ui::Buffer buffer = drawn(app, width, height);
        const auto w = static_cast<std::uint16_t>(overlay_width(width));
        const auto x0 = static_cast<std::uint16_t>((width - w) / 2);
        // The lowest corner in the box's column: the screen's own frame may share the column.
        std::uint16_t top = 0;
        for (std::uint16_t y = 0; y < height; ++y)
            if (buffer.at(x0, y).symbol == "┌") top = y;
        Box box{{}, buffer.at(x0, top).style.fg};
        for (auto y = static_cast<std::uint16_t>(top + 1); y < height && buffer.at(x0, y).symbol == "│"; ++y) {
            std::string s;
            for (auto x = static_cast<std::uint16_t>(x0 + 1); x + 1 < x0 + w; ++x) s += buffer.at(x, y).symbol;
            while (!s.empty() && s.back() == ' ') s.pop_back();
            box.lines.push_back(s);
        }
        return box;
    };

    // Detail of a warning that a directory fixes: 64 wide at 80 columns, every line; at 40 x 12 the
    // box takes the whole width and is cut at the screen's height.
    App app = make_app(sample());
    app.mode = Detail{"config-dir"};
    Box box = box_of(app, 80, 24);
    EXPECT_EQ(box.border, kOrange);
    EXPECT_EQ(box.lines, (std::vector<std::string>{"", "  ▲ 주의   config-dir", "",
                                                   "  vesk config directory 점검 실패: /home/설정", "", "  까닭",
                                                   "  No such file or directory (os error 2)", "", "  조치",
                                                   "  설정 디렉터리를 만듭니다.", "", "  실행할 명령", "  mkdir -p /home/설정",
                                                   "  vesk 안에서 끝나는 일입니다", "", "  Enter 지금 실행   Esc 닫기"}));
    const ui::Buffer detail = drawn(app, 80, 24);
    EXPECT_EQ(detail.row_text(3).substr(0, std::string("│  ▸ ●  ┌ config-dir ─").size()), "│  ▸ ●  ┌ config-dir ─");
    EXPECT_EQ(cell_of(detail, 3, "c", 9).style, ui::Style{}.with_bold());
    EXPECT_EQ(cell_of(detail, 5, "▲", 9).style, ui::Style{}.with_fg(kOrange).with_bold());
    EXPECT_EQ(cell_of(detail, 5, "주", 9).style, ui::Style{}.with_fg(kOrange));
    EXPECT_EQ(cell_of(detail, 9, "까", 9).style, ui::Style{}.with_fg(kDim).with_bold());
    EXPECT_EQ(cell_of(detail, 10, "N", 9).style, ui::Style{}.with_fg(kDim));
    EXPECT_EQ(cell_of(detail, 16, "m", 9).style, ui::Style{}.with_fg(kAccent));
    EXPECT_EQ(cell_of(detail, 19, "E", 9).style, ui::Style{}.with_fg(kDim).with_bold());
    box = box_of(app, 40, 12);
    EXPECT_EQ(box.lines, (std::vector<std::string>{"", "  ▲ 주의   config-dir", "", "  vesk config directory 점검 실패:",
                                                   "  /home/설정", "", "  까닭", "  No such file or directory (os error",
                                                   "  2)", ""}));

    // A problem only the user can fix, a recipe that changes the system, a passing check.
    app.mode = Detail{"git"};
    EXPECT_EQ(box_of(app, 80, 24).lines.back(), "  이 조치는 직접 하셔야 합니다   Esc 닫기");
    Report brew = sample();
    brew.checks[1].remedy = Remedy{"Homebrew로 git를 설치합니다.", Action{Recipe{"brew", {"install", "git"}, true}}};
    App system = make_app(brew);
    system.mode = Detail{"git"};
    box = box_of(system, 80, 24);
    EXPECT_EQ(box.lines[box.lines.size() - 3], "  시스템을 바꿉니다");
    EXPECT_EQ(box.lines.back(), "  Enter 지금 실행   Esc 닫기");
    app.mode = Detail{"tmux"};
    box = box_of(app, 40, 12);
    EXPECT_EQ(box.border, kOk);
    EXPECT_EQ(box.lines, (std::vector<std::string>{"", "  ✔ 정상   tmux", "", "  tmux: /usr/bin/tmux (tmux 3.3a)", "",
                                                   "  Esc 닫기"}));

    // Running: the spinner's frame, the log lines cut to the text width, the accent border.
    app.mode = Running{"bin/vesk", {"==> Downloading", "\x1b[1m설치\x1b[0m " + std::string(80, 'x')}, nullptr};
    app.tick = 5;
    box = box_of(app, 80, 24);
    EXPECT_EQ(box.border, kAccent);
    EXPECT_EQ(box.lines, (std::vector<std::string>{"", "  ● 문제   bin/vesk", "", "  ⠙  하는 중입니다", "",
                                                   "  ==> Downloading", "  ␛[1m설치␛[0m " + std::string(46, 'x') + "…",
                                                   "", "  ^C 화면을 닫아도 하던 일은 끝까지 갑니다"}));
    EXPECT_EQ(cell_of(drawn(app, 80, 24), 10, "⠙", 9).style, ui::Style{}.with_fg(kAccent));
    box = box_of(app, 40, 12);
    EXPECT_EQ(box.lines[3], "  ⠙  하는 중입니다");
    EXPECT_EQ(box.lines[6], "  ␛[1m설치␛[0m " + std::string(22, 'x') + "…");
    EXPECT_EQ(box.lines[8], "  ^C 화면을 닫아도 하던 일은 끝까지 갑");  // cut by the frame

    // Done: the outcome, its lines and the state after the re-check, the border in its colour; a
    // failed fix in the error colour; a check gone after the re-check still shows the outcome.
    app = make_app(sample(Severity::Ok));
    app.mode = Done{"config-dir", Outcome{"디렉터리를 만들었습니다.", {"/home/설정"}, true}, Severity::Ok};
    const std::vector<std::string> done = {"", "  ✔ 정상   config-dir", "", "  ✔  디렉터리를 만들었습니다.", "",
                                           "  /home/설정", "", "  다시 검사했습니다", "  ✔ 정상", "", "  Esc 닫기"};
    for (auto [w, h] : {std::pair{80, 24}, {40, 12}}) {
        box = box_of(app, static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
        EXPECT_EQ(box.border, kOk);
        EXPECT_EQ(box.lines, std::vector<std::string>(done.begin(), done.begin() + std::min<long>(11, h - 2))) << w;
    }
    app.mode = Done{"config-dir", Outcome{"만들지 못했습니다: Permission denied (os error 13)", {}, false}, Severity::Ok};
    box = box_of(app, 40, 12);
    EXPECT_EQ(box.border, kWarning);
    EXPECT_EQ(box.lines[3], "  ✘  만들지 못했습니다: Permission de…");
    EXPECT_EQ(cell_of(drawn(app, 40, 12), 4, "✘").style, ui::Style{}.with_fg(kWarning).with_bold());
    app.mode = Done{"gone", Outcome{"끝났습니다.", {}, true}, std::nullopt};
    EXPECT_EQ(box_of(app, 80, 24).lines, (std::vector<std::string>{"", "  gone", "", "  ✔  끝났습니다.", "", "  Esc 닫기"}));
}

TEST(DoctorScreen, EverySizeDrawsAndNoControlCharacterReachesTheScreen) {
    Report report = sample();
    report.checks[4].summary = "bin/vesk: \x1b]0;title\x07\x1b[2J\r\n\x9b" + std::string(200, 'y');
    report.checks[4].detail = "\x1b[31m빨강\x1b[0m";
    const auto modes = [] {
        std::vector<std::function<Mode()>> out;
        out.push_back([] { return Mode{List{}}; });
        out.push_back([] { return Mode{Detail{"bin/vesk"}}; });
        out.push_back([] { return Mode{Running{"bin/vesk", {"\x1b[32mok\x1b[0m", "two"}, nullptr}}; });
        out.push_back([] { return Mode{Done{"bin/vesk", Outcome{"\x1b[1m끝\x1b[0m", {"\tline"}, false}, Severity::Warn}}; });
        out.push_back([] { return Mode{Done{"gone", Outcome{"끝났습니다.", {}, true}, std::nullopt}}; });
        return out;
    }();
    for (bool all : {false, true}) {
        for (const auto& mode : modes) {
            App app = make_app(report);
            app.show_all = all;
            relayout(app);
            app.mode = mode();
            for (std::uint16_t w = 0; w <= 84; ++w) {
                for (std::uint16_t h = 0; h <= 26; ++h) {
                    const ui::Buffer buffer = drawn(app, w, h);
                    for (std::uint16_t y = 0; y < h; ++y)
                        for (char32_t c : decode_utf8(buffer.row_text(y)))
                            ASSERT_FALSE(c < 0x20 || (c >= 0x7f && c < 0xa0)) << w << "x" << h << " row " << y;
                }
            }
        }
    }
    // The popup is as wide as the pictures take: 14 for the ids, the 227 columns of that summary.
    EXPECT_EQ(natural_width(report), 14u + 227u + 23u);
    App app = make_app(report);
    EXPECT_EQ(app.summary_width, 227u);
    const ui::Buffer buffer = drawn(app, 80, 24);
    EXPECT_EQ(screen_rows(buffer)[3].substr(0, std::string("│  ▸ ●   install    bin/vesk        bin/vesk: ␛]0;title␇␛[2J␍␊�").size()),
              "│  ▸ ●   install    bin/vesk        bin/vesk: ␛]0;title␇␛[2J␍␊�");
}

}  // namespace
}  // namespace vesk::doctor::app
