// What the pickers ask of tmux beyond the handle: the pane a picker works for, the session it runs
// in, and how it tells the user something before it gives up.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tmux/tmux.hpp"

namespace vesk::pickers {

// The pane the user was in when the key started the picker: current_pane, except in a floating
// pane made to run the picker (the pane's own process is this one), where that would name the
// picker itself, which closes when it ends. There it is the window's other active pane, else the
// pane that was active before. Exit99 when there is none.
std::string origin_pane(const Tmux& tmux);

// Tmux::display, or "" when tmux cannot say (no server, no such target): for what a picker can
// go on without.
std::string quiet_display(const Tmux& tmux, const std::optional<std::string>& target, std::string_view format);

// The current session's id ("$3"): a session's name may start with '$' or '=' or hold what a
// target would read otherwise, its id names exactly it. Empty when tmux cannot say.
std::string current_session_id(const Tmux& tmux);

// display_message() (tmux/tmux.hpp), and in a popup also printed there (a status-line message
// hides behind the popup's wait); then the command ends with status 1.
[[noreturn]] void tell_and_fail(const Tmux& tmux, std::string_view message);

// A message to acknowledge, then status 1: popup_modal, except in a popup, where the message is
// printed in place and main keeps the popup open until a key (one key, not two).
[[noreturn]] void modal_and_fail(const Tmux& tmux, std::string_view message);

}  // namespace vesk::pickers
