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
        {"bind Enter run-shell -b \"x\"", "prefix", "Enter", "run-shell -b \"x\""},
        {"  bind-key -n M-f   new-window  ", "root", "M-f", "new-window"},
        {"bind-key -r -T copy-mode-vi M-Up send -X scroll-up", "copy-mode-vi", "M-Up", "send -X scroll-up"},
        {"bind -N 'note' C-Space last-pane", "prefix", "C-Space", "last-pane"},
        {"bind -x -y q kill-pane", "prefix", "q", "kill-pane"},
        {"bind - split-window -v", "prefix", "-", "split-window -v"},
        {"bind '\"' split-window -v", "prefix", "\"", "split-window -v"},
        {"bind '#' last-pane", "prefix", "#", "last-pane"},
        {"bind \\; last-pane", "prefix", ";", "last-pane"},
        {"bind \"'\" last-pane", "prefix", "'", "last-pane"},
        {"bind\u3000x\u00a0last-pane\u2003", "", "", ""},  // "bind" must be followed by a space
        {"bind x\u3000last-pane\u2003", "prefix", "x", "last-pane"},  // Unicode white space
    };
    for (const Case& c : cases) {
        auto got = parse(c.line, "t");
        if (c.table.empty()) {
            EXPECT_TRUE(got.empty()) << c.line;
            continue;
        }
        ASSERT_EQ(got.size(), 1u) << c.line;
        EXPECT_EQ(got[0].table, c.table) << c.line;
        EXPECT_EQ(got[0].key, c.key) << c.line;
        EXPECT_EQ(got[0].command, c.command) << c.line;
    }
}

TEST(KeybindSource, LinesThatAreNoDeclaration) {
    for (std::string_view line : {"bind-key -T", "bind-key -T prefix", "bind-key x", "bind-key x   ",
                                  "bind -N", "bind -r -n", "unbind x", "#bind-key x y",
                                  "bind-key\tx kill-pane", "bindkey x y", "set -g @x 1", ""}) {
        EXPECT_TRUE(parse(line, "t").empty()) << line;
    }
}

TEST(KeybindSource, OriginsCountEveryLine) {
    auto b = parse("# a\n\nbind x kill-pane\nnothing\nbind y kill-pane", "conf.common");
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].origin, "conf.common:3");
    EXPECT_EQ(b[1].origin, "conf.common:5");
    EXPECT_EQ(b[1].source, "conf.common");
    EXPECT_EQ(origin_line(b[1].origin), 5u);
    EXPECT_EQ(origin_line("a:b:12"), 12u);
    EXPECT_EQ(origin_line("a:"), std::nullopt);
    EXPECT_EQ(origin_line("a:1x"), std::nullopt);
}

TEST(KeybindSource, DescriptionFromTheCommentAbove) {
    auto described = [](std::string_view comment) {
        auto b = parse(std::string(comment) + "\nbind x kill-server", "t");
        return b.at(0).description;
    };
    EXPECT_EQ(described("# 창을 닫습니다. 확인은 없습니다."), "창을 닫습니다.");
    EXPECT_EQ(described("  #   한 문장  "), "한 문장");
    EXPECT_EQ(described("#### 한 문장"), "tmux 서버 종료");
    EXPECT_EQ(described("# v1.2 그대로"), "v1.2 그대로");       // no blank after the full stop
    EXPECT_EQ(described("## 섹션 제목"), "tmux 서버 종료");      // ## is a heading
    EXPECT_EQ(described("# ----==--"), "tmux 서버 종료");
    EXPECT_EQ(described("#"), "tmux 서버 종료");
    EXPECT_EQ(described(""), "tmux 서버 종료");
    EXPECT_EQ(described("set -g x 1"), "tmux 서버 종료");
    // The first line has nothing above it.
    EXPECT_EQ(parse("bind x kill-server", "t").at(0).description, "tmux 서버 종료");
}

TEST(KeybindSource, PhrasesOfCommands) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"select-pane -t 1 -R", "오른쪽 pane으로 이동"},
        {"resize-pane -D 5", "pane을 아래쪽으로 넓히기"},
        {"resize-pane -Z", "resize-pane -Z"},
        {"last-pane", "직전 pane"},
        {"kill-pane", "pane 닫기"},
        {"copy-mode -u", "복사 모드 시작"},
        {"copy-mode \\; send -X page-up", "복사 모드로 한 화면 위로"},
        {"send -X begin-selection", "선택 시작"},
        {"send-keys -X copy-selection-and-cancel", "선택 복사 후 나가기"},
        {"send-keys -X unknown-thing", "키 전달"},
        {"send-keys -X", "키 전달"},
        {"send C-l", "C-l 키 전달"},
        {"send-keys", "키 전달"},
        {"new-window -c x -n logs", "새 창 열기 (logs)"},
        {"new-window -n", "새 창 열기"},
        {"split-window -h -c x", "수직 분할"},
        {"split-window -v", "수평 분할"},
        {"split-window -c x -h", "분할"},
        {"paste-buffer -p", "붙여넣기"},
        {"swap-window -d -t -1", "창을 왼쪽으로 옮기기"},
        {"swap-window -t +1", "창을 오른쪽으로 옮기기"},
        {"swap-window", "창 순서 바꾸기"},
        {"select-window -t 3", "3번 창으로 이동"},
        {"select-window -l", "창 선택"},
        {"next-window", "다음 창"},
        {"previous-window", "이전 창"},
        {"last-window", "직전 창"},
        {"kill-window", "창 닫기"},
        {"next-layout", "다음 배치"},
        {"choose-tree -Zs", "세션 목록 보기"},
        {"display-panes", "pane 번호 표시"},
        {"detach-client", "세션에서 빠져나오기"},
        {"choose-buffer", "복사 기록에서 고르기"},
        {"display-message hi", "메시지 표시"},
    };
    for (const auto& [command, phrase] : cases) {
        EXPECT_EQ(one("bind x " + std::string(command)).description, phrase) << command;
    }
    const std::pair<std::string_view, std::string_view> copy[] = {
        {"cancel", "복사 모드 나가기"},       {"copy-selection", "선택 복사"},
        {"clear-selection", "선택 지우기"},   {"stop-selection", "선택 끝내기"},
        {"scroll-up", "위로 스크롤"},         {"scroll-down", "아래로 스크롤"},
        {"page-down", "한 화면 아래로"},      {"halfpage-up", "반 화면 위로"},
        {"halfpage-down", "반 화면 아래로"},  {"history-top", "맨 위로"},
        {"history-bottom", "맨 아래로"},
    };
    for (const auto& [action, phrase] : copy) {
        EXPECT_EQ(phrase::copy_action({"send", "-X", action}), phrase) << action;
    }
    EXPECT_EQ(phrase::copy_action({"send", "-X"}), std::nullopt);
    EXPECT_EQ(phrase::copy_action({"send", "scroll-up"}), std::nullopt);
}

TEST(KeybindSource, DescriptionFromTheCommandItself) {
    EXPECT_EQ(one("bind Enter run-shell -b \"#{@zelt}/bin/vesk pane zoom-toggle\"").description,
              "vesk pane zoom-toggle");
    EXPECT_EQ(one("bind y display-popup -E \"  #{@zelt}/lib/a.sh   b  \"").description, "lib/a.sh b");
    // A single quote character: the whole command.
    EXPECT_EQ(one("bind y run-shell \"abc").description, "run-shell \"abc");
    EXPECT_EQ(one("bind y  if-shell  true  x").description, "if-shell true x");

    // 48 characters are shown whole, 49 are cut to 47 and "…" (characters, not bytes).
    std::string s48(44, 'a');
    s48 = "가나다라" + s48;
    EXPECT_EQ(one("bind y run-shell \"#{@zelt}/bin/" + s48 + "\"").description, s48);
    std::string s49 = s48 + "z";
    EXPECT_EQ(one("bind y run-shell \"#{@zelt}/bin/" + s49 + "\"").description,
              s48.substr(0, s48.size() - 1) + "…");
}

TEST(KeybindSource, Groups) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"run-shell -b \"#{@zelt}/bin/vesk pane zoom-toggle\"", "Pane"},
        {"run-shell \"vesk tidewell chat\"", "TideWell"},
        {"run-shell \"vesk quillbox open\"", "QuillBox"},
        {"run-shell \"vesk finder x\"", "파일 찾기"},
        {"run-shell \"vesk config plugins-popup\"", "설정"},
        {"run-shell \"vesk session x\"", "세션"},
        {"run-shell \"vesk version x\"", "Version Controller"},
        {"run-shell \"vesk mapping popup\"", "단축키 문서"},
        {"run-shell \"vesk note x\"", "노트"},
        {"run-shell \"vesk copy x\"", "복사 모드"},
        {"run-shell \"vesk popup x\"", "팝업"},
        {"run-shell \"vesk ui x\"", "팝업"},
        {"run-shell \"vesk log x\"", "로그"},
        {"run-shell \"vesk dir x\"", "디렉터리"},
        {"run-shell \"vesk app x\"", "앱 실행"},
        {"run-shell \"vesk doctor popup\"", "기타"},
        {"split-window -h \"vesk rebuild x\"", "Pane"},
        {"select-layout tiled", "Pane"},
        {"rename-window x", "윈도우"},
        {"switch-client -n", "세션"},
        {"send -X cancel", "복사 모드"},
        {"choose-buffer", "복사 모드"},
        {"send-keys C-l", "키 전달"},
        {"send-prefix", "키 전달"},
        {"source-file ~/.tmux.conf", "설정"},
        {"setw synchronize-panes", "설정"},
        {"if-shell true x", "조건 실행"},
        {"confirm-before kill-server", "tmux 제어"},
        {"command-prompt", "tmux 제어"},
        {"clock-mode", "기타"},
    };
    for (const auto& [command, group] : cases) {
        EXPECT_EQ(one("bind x " + std::string(command)).group, group) << command;
    }
}

TEST(KeybindSource, NextToken) {
    auto t = next_token("  \t가나 다\u00a0라");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->word, "가나");
    EXPECT_EQ(t->rest, " 다\u00a0라");
    EXPECT_EQ(split_words(t->rest), (std::vector<std::string_view>{"다", "라"}));
    EXPECT_FALSE(next_token(" \u3000\n\t"));
    EXPECT_FALSE(next_token(""));
}

}  // namespace
}  // namespace vesk::keybind::source
