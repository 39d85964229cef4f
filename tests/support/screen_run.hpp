// A full-screen vesk command in a pane of a private tmux server, run between two notes of the
// terminal's modes so that a test can tell whether the screen gave the terminal back.
//
//   std::string pane = start_screen(server, dir, {"config", "plugins"}, inside_tmux(env.env()));
//   server.send_keys(pane, {"Escape"});
//   EXPECT_EQ(finish_screen(server, pane, dir), 0);  // dir/status; dir/err holds standard error
//   expect_terminal_restored(server, pane, dir);    // stty -g before == after, #{alternate_on} 0
//
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/tmux_server.hpp"

namespace vesk::test {

// The text in single quotes for sh.
std::string sh_quote(const std::string& text);

// The first line of `screen` holding `text`, "" when none does.
std::string line_with(const std::string& screen, const std::string& text);
std::string without_blanks(std::string text);
// The text between the n-th "│" of every row and the next one, rows joined, blanks left out: what a
// box holds, the same wherever its width broke a line (a long path). n = 1: the first box from the
// left; boxes in a box have higher numbers.
std::string box_text(const std::string& screen, std::size_t n = 1);
// Polls the pane until the line holding `text` shows and satisfies `pred`; returns that line ("" and
// a test failure with the screen when it never does).
std::string wait_for_line(const TmuxServer& server, const std::string& pane, const std::string& text,
                          const std::function<bool(const std::string&)>& pred);

// Runs `vesk ARGS` in a new pane: `stty -g > before; vesk ARGS > out 2> err; echo $? > status;
// stty -g > after`, all in `dir`. Returns the pane. Waits for nothing.
std::string start_screen(TmuxServer& server, const fs::path& dir, const std::vector<std::string>& args,
                         const EnvChanges& env);
// Waits until the note after the screen is written; the screen's exit status (-1 and a test
// failure with the pane's text when it did not end).
int finish_screen(const TmuxServer& server, const std::string& pane, const fs::path& dir);
void expect_terminal_restored(const TmuxServer& server, const std::string& pane, const fs::path& dir);

// Like start_screen, in env.root(), in a selected window, with the floating-pane layer as TMUX_BIN;
// env's variables go into the server's global environment, where the popup's command starts.
std::string start_popup(TmuxServer& server, const PrivateEnv& env, const std::vector<std::string>& args);

// The tmux calls of `vesk ARGS` (which must exit 0) against the recording tmux (left in env.vars),
// answering `display` with `client_size` (width and height alike; failing when nullopt) and
// new-pane with "%9".
std::vector<std::vector<std::string>> popup_calls(PrivateEnv& env, const std::vector<std::string>& args,
                                                  std::optional<int> client_size);

}  // namespace vesk::test
