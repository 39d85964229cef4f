#include "keybind/source.hpp"

#include <gtest/gtest.h>

#include "keybind/phrase.hpp"

namespace vesk::keybind::source {
namespace {

// One declaration line, parsed alone (no comment above).
Binding one(std::string_view line) {
    auto bindings = parse(line, "t");
    EXPECT_EQ(bindings.size(), 1u) << line;
    return bindings.empty() ? Binding{} : bindings[0];
}

TEST(KeybindSource, TablesKeysAndCommands) {
    struct Case {
        std::string_view line, table, key, command;
    };
    const Case cases[] = {
        {"  bind-key -n M-f   new-window  ", "root", "M-f", "new-window"},
        {"bind-key -r -T copy-mode-vi M-Up send -X scroll-up", "copy-mode-vi", "M-Up", "send -X scroll-up"},
        {"bind -N 'note' C-Space last-pane", "prefix", "C-Space", "last-pane"},
        {"bind - split-window -v", "prefix", "-", "split-window -v"},
        {"bind '\"' split-window -v", "prefix", "\"", "split-window -v"},
        {"bind '#' last-pane", "prefix", "#", "last-pane"},
        {"bind \\; last-pane", "prefix", ";", "last-pane"},
        {"bind \"'\" last-pane", "prefix", "'", "last-pane"},
        {"bind x\u3000last-pane\u2003", "prefix", "x", "last-pane"},  // Unicode white space
    };
    for (const Case& c : cases) {
        Binding b = one(c.line);
        EXPECT_EQ(std::tie(b.table, b.key, b.command), std::tie(c.table, c.key, c.command)) << c.line;
    }
    // No declaration: "bind" must be followed by a space, and a key and a command must follow.
    for (std::string_view line : {"bind\u3000x\u00a0last-pane", "bind-key -T prefix", "bind-key x   ", "bind -r -n",
                                  "unbind x", "#bind-key x y", "bind-key\tx kill-pane", "bindkey x y", ""}) {
        EXPECT_TRUE(parse(line, "t").empty()) << line;
    }
}

TEST(KeybindSource, OriginsCountEveryLine) {
    auto b = parse("# a\n\nbind x kill-pane\nnothing\nbind y kill-pane", "conf.common");
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[1].origin, "conf.common:5");
    EXPECT_EQ(origin_line("a:b:12"), 12u);
    EXPECT_EQ(origin_line("a:1x"), std::nullopt);
}

TEST(KeybindSource, DescriptionFromTheCommentAbove) {
    auto described = [](std::string_view comment) {
        return parse(std::string(comment) + "\nbind x kill-server", "t").at(0).description;
    };
    EXPECT_EQ(described("# 창을 닫습니다. 확인은 없습니다."), "창을 닫습니다.");
    EXPECT_EQ(described("  #   한 문장  "), "한 문장");
    EXPECT_EQ(described("# v1.2 그대로"), "v1.2 그대로");  // no blank after the full stop
    // Headings, rules, empty comments and other lines give the command's own phrase.
    for (std::string_view not_a_description : {"#### 한 문장", "## 섹션 제목", "# ----==--", "#", "", "set -g x 1"})
        EXPECT_EQ(described(not_a_description), "tmux 서버 종료") << not_a_description;
}

TEST(KeybindSource, PhrasesOfCommands) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"select-pane -t 1 -R", "오른쪽 pane으로 이동"},   {"resize-pane -Z", "resize-pane -Z"},
        {"copy-mode \\; send -X page-up", "복사 모드로 한 화면 위로"}, {"send-keys -X unknown-thing", "키 전달"},
        {"send C-l", "C-l 키 전달"},                       {"new-window -c x -n logs", "새 창 열기 (logs)"},
        {"new-window -n", "새 창 열기"},                   {"split-window -c x -h", "분할"},
        {"swap-window -d -t -1", "창을 왼쪽으로 옮기기"},  {"select-window -t 3", "3번 창으로 이동"},
        {"select-window -l", "창 선택"},
    };
    for (const auto& [command, phrase] : cases) EXPECT_EQ(one("bind x " + std::string(command)).description, phrase) << command;
    EXPECT_EQ(phrase::copy_action({"send", "-X"}), std::nullopt);
}

TEST(KeybindSource, DescriptionFromTheCommandItself) {
    EXPECT_EQ(one("bind Enter run-shell -b \"#{@zelt}/bin/vesk pane zoom-toggle\"").description,
              "vesk pane zoom-toggle");
    EXPECT_EQ(one("bind y display-popup -E \"  #{@zelt}/lib/a.sh   b  \"").description, "lib/a.sh b");
    EXPECT_EQ(one("bind y run-shell \"abc").description, "run-shell \"abc");  // one quote: the whole command
    EXPECT_EQ(one("bind y  if-shell  true  x").description, "if-shell true x");

    // 48 characters are shown whole, 49 are cut to 47 and "…" (characters, not bytes).
    const std::string s48 = "가나다라" + std::string(44, 'a');
    EXPECT_EQ(one("bind y run-shell \"#{@zelt}/bin/" + s48 + "\"").description, s48);
    EXPECT_EQ(one("bind y run-shell \"#{@zelt}/bin/" + s48 + "z\"").description, s48.substr(0, s48.size() - 1) + "…");
}

TEST(KeybindSource, Groups) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"run-shell -b \"#{@zelt}/bin/vesk pane zoom-toggle\"", "Pane"},
        {"run-shell \"vesk doctor popup\"", "기타"},           // a subcommand with no group of its own
        {"split-window -h \"vesk rebuild x\"", "Pane"},         // then the tmux command's group
        {"send -X cancel", "복사 모드"},
        {"send-keys C-l", "키 전달"},
        {"clock-mode", "기타"},
    };
    for (const auto& [command, group] : cases) EXPECT_EQ(one("bind x " + std::string(command)).group, group) << command;
}

}  // namespace
}  // namespace vesk::keybind::source
