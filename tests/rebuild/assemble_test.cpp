#include "rebuild/assemble.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "keybind/source.hpp"

namespace vesk::rebuild {
namespace {

using keybind::overrides::Resolved;

TEST(FragmentOrder, ProfilesPickTheirPlatformFragment) {
    const std::vector<std::string> linux_order = {"conf.prefix", "conf.common", "conf.session", "conf.window",
                                                  "conf.codex",  "conf.linux",  "conf.lab",     "conf.plugins"};
    EXPECT_EQ(fragment_order(RebuildProfile::Linux), linux_order);
    auto macos = fragment_order(RebuildProfile::Macos);
    ASSERT_EQ(macos.size(), 8u);
    EXPECT_EQ(macos[5], "conf.macos");
    auto window = fragment_order(RebuildProfile::Window);
    ASSERT_EQ(window.size(), 7u);
    EXPECT_EQ(window[5], "conf.lab");
}

TEST(SwapKey, ReplacesTheKeyWordOnly) {
    EXPECT_EQ(swap_key("bind-key C-k run-shell -b \"#{@zelt}/bin/vesk session kill-and-next\"", "C-k", "C-j"),
              "bind-key C-j run-shell -b \"#{@zelt}/bin/vesk session kill-and-next\"");
    EXPECT_EQ(swap_key("bind-key   -T prefix  C-k   kill-pane", "C-k", "C-j"), "bind-key -T prefix C-j kill-pane");
    EXPECT_EQ(swap_key("  \tbind -r -N note C-k kill-pane", "C-k", "C-j"), "  \tbind -r -N note C-j kill-pane");
    // The same word later in the command stays.
    EXPECT_EQ(swap_key("bind -n M-f send-keys M-f", "M-f", "M-g"), "bind -n M-g send-keys M-f");
    // The key `-` is a key, not a flag.
    EXPECT_EQ(swap_key("bind - split-window -v", "-", "_"), "bind _ split-window -v");
    EXPECT_EQ(swap_key("bind -T copy-mode-vi - send -X cancel", "-", "q"), "bind -T copy-mode-vi q send -X cancel");
    // Keys tmux reads specially are written quoted, and a quoted key word is found.
    EXPECT_EQ(swap_key("bind x kill-pane", "x", "#"), "bind '#' kill-pane");
    EXPECT_EQ(swap_key("bind '#' kill-pane", "#", "C-x"), "bind C-x kill-pane");
    EXPECT_NE(swap_key("bind x kill-pane", "x", ";"), "bind ; kill-pane");
    // A line whose key word is another key is left alone.
    EXPECT_EQ(swap_key("bind  y kill-pane", "x", "z"), "bind  y kill-pane");
}

TEST(Uncomment, DropsHashesKeepsIndent) {
    EXPECT_EQ(uncomment("#set -g @plugin 'a/b'"), "set -g @plugin 'a/b'");
    EXPECT_EQ(uncomment("  ##  set -g @plugin 'a/b'  "), "  set -g @plugin 'a/b'  ");
    EXPECT_EQ(uncomment("set -g x"), "set -g x");
    EXPECT_EQ(uncomment("  ###"), "  ");
}

TEST(ApplyKeyOverrides, RemovedReboundAndUntouched) {
    const std::string text =
        "# 첫 줄\n"
        "bind C-k kill-pane\n"
        "  bind -n M-f display-message hi\n"
        "bind    C-y   next-window\n";
    auto bindings = keybind::source::parse(text, "conf.test");
    ASSERT_EQ(bindings.size(), 3u);
    std::vector<Resolved> resolved = {
        {bindings[0], std::string("C-j")},
        {bindings[1], std::nullopt},
        {bindings[2], std::string("C-y")},
    };
    EXPECT_EQ(apply_key_overrides(text, "conf.test", resolved),
              "# 첫 줄\n"
              "bind C-j kill-pane\n"
              "# (vesk) 사용자가 지운 단축키:   bind -n M-f display-message hi\n"
              "bind    C-y   next-window\n");
    // Bindings of another fragment (other origins) change nothing; no final newline is added.
    const std::string other = "#\nbind C-k kill-pane";
    EXPECT_EQ(apply_key_overrides(other, "conf.other", resolved), other);
    EXPECT_EQ(apply_key_overrides(other, "conf.test", resolved), "#\nbind C-j kill-pane");
}

TEST(ApplyPluginOverrides, OffCommentsOutOnUncomments) {
    const std::string text =
        "## 복사\n"
        "set -g @plugin 'tmux-plugins/tmux-yank'\n"
        "## 손가락\n"
        "  # set -g @plugin 'tmux-plugins/tmux-fpp'\n"
        "set -g @plugin 'a/untouched'\n";
    using plugin::overrides::Change;
    EXPECT_EQ(apply_plugin_overrides(text, "conf.plugins", {}), text);
    std::vector<Change> changes = {{"tmux-plugins/tmux-yank", false},
                                   {"tmux-plugins/tmux-fpp", true},
                                   {"a/untouched", true},
                                   {"not/declared", false}};
    EXPECT_EQ(apply_plugin_overrides(text, "conf.plugins", changes),
              "## 복사\n"
              "# (vesk) 사용자가 끈 플러그인: set -g @plugin 'tmux-plugins/tmux-yank'\n"
              "## 손가락\n"
              "  set -g @plugin 'tmux-plugins/tmux-fpp'\n"
              "set -g @plugin 'a/untouched'\n");
    // The later change for a repository wins.
    changes.push_back({"tmux-plugins/tmux-yank", true});
    EXPECT_NE(apply_plugin_overrides(text, "conf.plugins", changes).find("\nset -g @plugin 'tmux-plugins/tmux-yank'\n"),
              std::string::npos);
}

TEST(RenderOutput, BlockBeforeTheMarker) {
    const std::string marker = "# # /!\\ do not remove the following line";
    const std::string template_text = "set -g a 1\r\n" + marker + "  \n# EOF\n";
    const std::string out = render_output(template_text, {{"one", "x\n"}, {"two", ""}, {"three", "y"}});
    EXPECT_EQ(out,
              "set -g a 1\n"
              "\n# -- vesk generated conf fragments: begin " + std::string(30, '-') + "\n" +
              "# -- generated: begin one " + std::string(42, '-') + "\nx\n# -- generated: end one " +
              std::string(44, '-') + "\n\n" +
              "# -- generated: begin two " + std::string(42, '-') + "\n\n# -- generated: end two " +
              std::string(44, '-') + "\n\n" +
              "# -- generated: begin three " + std::string(42, '-') + "\ny\n# -- generated: end three " +
              std::string(44, '-') + "\n\n" +
              "# -- vesk generated conf fragments: end " + std::string(32, '-') + "\n\n" +
              marker + "  \n# EOF\n");

    auto count_error = [&](const std::string& text) {
        try {
            render_output(text, {});
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(count_error(marker + "\n" + marker + "\n"),
              "템플릿에서 삽입 표시를 정확히 하나 찾지 못했습니다 (찾은 개수: 2)");
    EXPECT_EQ(count_error("# EOF\n  " + marker + "\n"),
              "템플릿에서 삽입 표시를 정확히 하나 찾지 못했습니다 (찾은 개수: 0)");
}

TEST(ZeltLine, EscapesWhatTmuxWouldExpand) {
    EXPECT_EQ(zelt_line("/home/u/.tmux"), "set -g @zelt \"/home/u/.tmux\"\n");
    EXPECT_EQ(zelt_line("/a \"b\" \\c $HOME ~d #e"), "set -g @zelt \"/a \\\"b\\\" \\\\c \\$HOME \\~d #e\"\n");
}

}  // namespace
}  // namespace vesk::rebuild
