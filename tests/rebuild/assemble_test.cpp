#include "rebuild/assemble.hpp"

#include <gtest/gtest.h>

#include "support/private_env.hpp"

namespace vesk::rebuild {
namespace {

// The key words tmux reads back are checked against the real tmux in rebuild_command_test.cpp;
// these are the words around the key.
TEST(SwapKey, ReplacesTheKeyWordOnly) {
    EXPECT_EQ(swap_key("bind-key   -T prefix  C-k   kill-pane", "C-k", "C-j"), "bind-key -T prefix C-j kill-pane");
    EXPECT_EQ(swap_key("  \tbind -r -N note C-k kill-pane", "C-k", "C-j"), "  \tbind -r -N note C-j kill-pane");
    EXPECT_EQ(swap_key("bind -n M-f send-keys M-f", "M-f", "M-g"), "bind -n M-g send-keys M-f");
    EXPECT_EQ(swap_key("bind -T copy-mode-vi - send -X cancel", "-", "q"), "bind -T copy-mode-vi q send -X cancel");
    EXPECT_EQ(swap_key("bind  y kill-pane", "x", "z"), "bind  y kill-pane");  // another key: left alone
    EXPECT_EQ(uncomment("  ##  set -g @plugin 'a/b'  "), "  set -g @plugin 'a/b'  ");
}

// The block goes right before the one marker line; line ends become line feeds.
TEST(RenderOutput, BlockBeforeTheOneMarker) {
    const std::string marker = "# # /!\\ do not remove the following line";
    const auto section = [](const std::string& label, const std::string& text) {
        return "# -- generated: begin " + label + " " + std::string(42, '-') + "\n" + text + "# -- generated: end " +
               label + " " + std::string(44, '-') + "\n\n";
    };
    EXPECT_EQ(render_output("set -g a 1\r\n" + marker + "  \n# EOF\n", {{"one", "x\n"}, {"two", ""}, {"three", "y"}}),
              "set -g a 1\n\n# -- vesk generated conf fragments: begin " + std::string(30, '-') + "\n" +
                  section("one", "x\n") + section("two", "\n") + section("three", "y\n") +
                  "# -- vesk generated conf fragments: end " + std::string(32, '-') + "\n\n" + marker + "  \n# EOF\n");
    const std::string wrong = "템플릿에서 삽입 표시를 정확히 하나 찾지 못했습니다 (찾은 개수: ";
    EXPECT_EQ(test::error_text([&] { render_output(marker + "\n" + marker + "\n", {}); }), wrong + "2)");
    EXPECT_EQ(test::error_text([&] { render_output("# EOF\n  " + marker + "\n", {}); }), wrong + "0)");
}

}  // namespace
}  // namespace vesk::rebuild
