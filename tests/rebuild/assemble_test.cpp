#include "rebuild/assemble.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"

namespace vesk::rebuild {
namespace {

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

}  // namespace
}  // namespace vesk::rebuild
