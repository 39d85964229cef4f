#include "plugin/app.hpp"

#include <gtest/gtest.h>

#include "core/env_guard.hpp"
#include "plugin/source.hpp"
#include "support/private_env.hpp"
#include "support/screen_rows.hpp"
#include "support/tmux_server.hpp"
#include "ui/screen_width.hpp"

namespace vesk::plugin::app {
namespace {

namespace fs = std::filesystem;
using ui::Key;
using ui::KeyCode;

const char* const kFragment =
    "## 복사한 내용을 시스템 클립보드로 보냅니다.\n"
    "set -g @plugin 'tmux-plugins/tmux-yank'\n"
    "## 세션을 저장하고 되살립니다.\n"
    "set -g @plugin 'tmux-plugins/tmux-resurrect'\n"
    "## 화면의 URL을 골라 엽니다.\n"
    "#set -g @plugin 'wfxr/tmux-fzf-url'\n";

// yank (on, installed), resurrect (on, missing), fzf-url (off, missing).
App sample_app(const fs::path& config = "/nonexistent/plugins.conf") {
    model::Catalog catalog(source::parse(kFragment, "conf.plugins"), {"tmux-yank"});
    return make_app(std::move(catalog), config);
}

Effect press(App& app, const Key& key) {
    Step step = handle(std::move(app), key);
    app = std::move(step.app);
    return step.effect;
}
Effect press(App& app, KeyCode code) { return press(app, Key::of(code)); }
Effect ctrl(App& app, char32_t c) { return press(app, Key::character(c, true)); }
void type(App& app, std::u32string_view text) {
    for (char32_t c : text) press(app, Key::character(c));
}

// The rows drawn at this size.
std::vector<std::string> draw_rows(App& app, std::uint16_t width, std::uint16_t height) {
    ui::Buffer buffer(ui::Rect{0, 0, width, height});
    draw(app, buffer);
    return test::screen_rows(buffer);
}

const model::Entry& entry(const App& app, std::size_t i) { return app.catalog.entries()[i]; }

TEST(PluginScreen, Drawing) {
    App app = sample_app();
    app.catalog = app.catalog.mark(2, model::JobMark::Fetching);
    auto rows = draw_rows(app, 100, 12);
    EXPECT_TRUE(rows[0].starts_with("┌ Plugins ─")) << rows[0];
    EXPECT_EQ(rows[1], "│ 검색  ▏");
    // 98 columns inside the frame: repository column 27 (the longest), description 40 (the
    // longest, 41, held to 40), then the switch and the state.
    auto row = [](bool selected, std::string description, std::string repo, std::string on, std::string state) {
        std::string s = "│" + std::string(selected ? "  ▸ " : "    ") + ui::pad_width(description, 40) + "  " +
                        ui::pad_width(repo, 27) + "  " + ui::pad_width(on, 6) + "  " + state;
        while (s.back() == ' ') s.pop_back();
        return s;
    };
    EXPECT_EQ(rows[3], row(true, "복사한 내용을 시스템 클립보드로 보냅니…", "tmux-plugins/tmux-yank", "켜짐", ""));
    EXPECT_EQ(rows[4], row(false, "세션을 저장하고 되살립니다.", "tmux-plugins/tmux-resurrect", "켜짐", "받아야 함"));
    EXPECT_EQ(rows[5], row(false, "화면의 URL을 골라 엽니다.", "wfxr/tmux-fzf-url", "꺼짐", "받는 중"));
    EXPECT_EQ(rows[10], "│ ↑↓ 이동   Space 켜고 끄기   Enter 받기   ^R 맞추기   ^D 지우기   Esc 닫기");
    app.status = "이미 받아 두었습니다";  // a status takes the hints' place
    EXPECT_EQ(draw_rows(app, 100, 12)[10], "│  이미 받아 두었습니다");

    // Too narrow for the state column: the description takes what is left, never less than one,
    // and a terminal too small for the layout still draws.
    EXPECT_EQ(draw_rows(app, 62, 12)[5], "│    " + ui::pad_width(ui::fit_width("화면의 URL을 골라 엽니다.", 19), 19) +
                                             "  " + ui::pad_width("wfxr/tmux-fzf-url", 27) + "  꺼짐");
    EXPECT_EQ(columns_for(app.catalog, 20).description, 1u);
    for (std::uint16_t w : {1, 3, 8}) EXPECT_EQ(draw_rows(app, w, w).size(), w);
    EXPECT_EQ(popup_geometry(app.catalog, 0, 0), (PopupGeometry{1, 1, 0, 0}));
}

TEST(PluginScreen, SmallScreensKeepTheSwitchAndTheCloseKey) {
    App app = sample_app();
    // 38 columns inside the frame: the repository column gives up columns so that the switch
    // stays whole; the hints keep the close key.
    auto rows = draw_rows(app, 40, 12);
    EXPECT_EQ(rows[3], "│  ▸ …  tmux-plugins/tmux-yank   켜짐");
    EXPECT_EQ(rows[4], "│    …  tmux-plugins/tmux-resu…  켜짐");
    EXPECT_EQ(rows[5], "│    …  wfxr/tmux-fzf-url        꺼짐");
    EXPECT_EQ(rows[10], "│ ↑↓ 이동   Space 켜고 끄기   Esc 닫기");
    // Seven rows, as in a popup on a small client: the footer still shows.
    EXPECT_EQ(draw_rows(app, 30, 7)[5], "│ ↑↓ 이동   Esc 닫기");
    // A removal prompt and the hints alike, at every size down to nothing.
    for (bool pending : {false, true}) {
        app.pending_removal = pending ? std::optional<std::size_t>(0) : std::nullopt;
        for (std::uint16_t w = 0; w <= 42; ++w)
            for (std::uint16_t h = 0; h <= 14; ++h) draw_rows(app, w, h);
    }
}

TEST(PluginScreen, NormalModeKeys) {
    // The remembered entry stays selected while shown; filtered out, the first one shown is.
    App app = sample_app();
    press(app, KeyCode::Down);
    type(app, U"res");
    EXPECT_EQ(selected_entry(app), 1u);
    ctrl(app, U'u');
    type(app, U"화면");
    EXPECT_EQ(app.rows, std::vector<std::size_t>{2});
    EXPECT_EQ(app.highlights[2], (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(selected_entry(app), 2u);
    EXPECT_EQ(ctrl(app, U'c'), Effect{Quit{}});  // Ctrl-C leaves even with a query

    // Nothing matches: Space, Enter, ^R and ^D do nothing.
    press(app, KeyCode::Esc);
    type(app, U"zzzz");
    const model::Catalog before = app.catalog;
    for (Effect e : {press(app, Key::character(U' ')), press(app, KeyCode::Enter), ctrl(app, U'r'), ctrl(app, U'd')})
        EXPECT_EQ(e, Effect{Stay{}});
    EXPECT_EQ(app.catalog, before);
    EXPECT_FALSE(app.status || app.pending_removal);

    // Jobs only where they make sense. On the installed yank: Enter refuses, ^R updates, Space
    // switches and asks for a save.
    app = sample_app();
    EXPECT_EQ(press(app, KeyCode::Enter), Effect{Stay{}});
    EXPECT_EQ(app.status, "이미 받아 두었습니다");
    EXPECT_EQ(ctrl(app, U'r'), Effect{Update{0}});
    EXPECT_EQ(press(app, Key::character(U' ')), Effect{Save{0}});
    EXPECT_FALSE(entry(app, 0).on);
    // On the missing resurrect: ^R refuses, ^D has nothing to remove, Enter fetches, and does
    // nothing more while the fetch runs.
    press(app, KeyCode::Down);
    EXPECT_EQ(ctrl(app, U'r'), Effect{Stay{}});
    EXPECT_EQ(app.status, "아직 받지 않았습니다");
    ctrl(app, U'd');
    EXPECT_EQ(app.status, "받아 둔 것이 없습니다");
    EXPECT_FALSE(app.pending_removal);
    EXPECT_EQ(press(app, KeyCode::Enter), Effect{Fetch{1}});
    app.catalog = app.catalog.mark(1, model::JobMark::Fetching);
    EXPECT_EQ(press(app, KeyCode::Enter), Effect{Stay{}});
}

TEST(PluginScreen, RemovalModeKeys) {
    App app = sample_app();
    // Esc and Ctrl-C only cancel: no message, no leaving; "Y" removes.
    for (Key k : {Key::of(KeyCode::Esc), Key::character(U'c', true)}) {
        ctrl(app, U'd');
        EXPECT_EQ(app.pending_removal, 0u);
        EXPECT_EQ(press(app, k), Effect{Stay{}});
        EXPECT_FALSE(app.pending_removal || app.status);
    }
    ctrl(app, U'd');
    EXPECT_EQ(press(app, Key::character(U'Y')), Effect{Remove{0}});
    EXPECT_FALSE(app.pending_removal);
    // An installed plugin whose update runs is not offered for removal.
    app.catalog = app.catalog.mark(0, model::JobMark::Updating);
    ctrl(app, U'd');
    EXPECT_FALSE(app.pending_removal);
}

TEST(PluginScreen, CarryingOutReportsWhatCannotBeDone) {
    test::TempDir dir;
    const fs::path plugins = dir / "plugins";
    fs::create_directories(plugins);
    // A save that fails keeps the screen going and says why.
    App app = sample_app(dir.path());  // a directory where the file should be
    carry_out(app, press(app, Key::character(U' ')), plugins);
    ASSERT_TRUE(app.status);
    EXPECT_TRUE(app.status->starts_with("저장하지 못했습니다: ")) << *app.status;
    EXPECT_TRUE(entry(app, 0).on);  // switched back: the file still has it on

    // Without a plugins directory nothing can be fetched or removed; without the plugin manager
    // a fetch is refused and no entry is marked.
    for (Effect e : {Effect{Fetch{1}}, Effect{Remove{0}}}) {
        app.status.reset();
        carry_out(app, e, std::nullopt);
        EXPECT_EQ(app.status, "플러그인을 둘 자리를 찾지 못했습니다");
    }
    carry_out(app, Fetch{1}, plugins);
    EXPECT_EQ(app.status, "tpm을 찾지 못했습니다: " + (plugins / "tpm" / "scripts").string());
    EXPECT_FALSE(has_jobs(app));
}

TEST(PluginScreen, FinishedJobsClearTheirMarksAndReportFailures) {
    test::TempDir dir;
    test::EnvGuard env;
    test::TmuxServer server;
    env.set("TMUX_TMPDIR", server.tmpdir().string());
    env.set("TMUX", server.tmux_env_value());
    env.set("TMPDIR", (dir / "tmp").string());
    fs::create_directories(dir / "tmp");
    const fs::path plugins = dir / "plugins";
    // A plugin manager whose installer creates the plugins named in $WANT; both scripts exit with $CODE.
    test::write_text(plugins / "tpm" / "scripts" / "install_plugins.sh",
                     "for n in $WANT; do mkdir -p \"" + plugins.string() + "/$n\"; done\nexit ${CODE:-0}\n");
    test::write_text(plugins / "tpm" / "scripts" / "update_plugin.sh", "exit ${CODE:-0}\n");
    auto poll_until_done = [&](App& app) {
        return test::wait_until([&] {
            poll_jobs(app, plugins);
            return app.jobs.empty();
        });
    };

    // A script that fails, and one that exits cleanly having installed nothing, are reported.
    App app = sample_app(dir / "plugins.conf");
    env.set("CODE", "3");
    carry_out(app, Update{0}, plugins);
    EXPECT_EQ(entry(app, 0).job, model::JobMark::Updating);
    ASSERT_TRUE(poll_until_done(app));
    EXPECT_EQ(entry(app, 0).job, model::JobMark::None);
    EXPECT_EQ(app.status, "tpm이 끝내지 못했습니다 (종료 코드 3)");
    env.set("CODE", "0");
    carry_out(app, Fetch{1}, plugins);
    ASSERT_TRUE(poll_until_done(app));
    EXPECT_EQ(app.status, "받아오지 못했습니다: tmux-plugins/tmux-resurrect");

    // Two jobs at once: each mark goes when its own script ends.
    app.status.reset();
    env.set("WANT", "tmux-fzf-url");
    carry_out(app, Fetch{2}, plugins);
    carry_out(app, Update{0}, plugins);
    EXPECT_EQ(app.jobs.size(), 2u);
    ASSERT_TRUE(poll_until_done(app));
    EXPECT_FALSE(has_jobs(app));
    EXPECT_TRUE(entry(app, 2).installed);
    EXPECT_FALSE(app.status);
}

}  // namespace
}  // namespace vesk::plugin::app
