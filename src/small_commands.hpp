// Commands small enough to need no module of their own: the inside of a message popup, removing
// the last copied text from a command line, and zooming the current pane.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "cli/args.hpp"

namespace vesk {

// `popup message-render MODE FILE`: prints the message file, removes it and waits for a key
// (modal) or for tmux's display-panes-time.
void popup_message_render(const PopupMessageRenderArgs& args);
// `copy cut-selection [PANE]`: one BSpace per character of the paste buffer, sent to the pane.
void copy_cut_selection(const CopyCutSelectionArgs& args);
// `pane zoom-toggle`: resize-pane -Z on the current pane.
void pane_zoom_toggle();

// The wait of a non-modal message popup: display-panes-time in milliseconds (at least 1), 1000
// when the option is unset or not an unsigned decimal number.
std::chrono::milliseconds display_panes_wait(const std::optional<std::string>& option);

}  // namespace vesk
