// Messages shown in a small tmux popup. `popup_message` wraps and sizes the text for the client
// and opens a popup running `vesk popup message-render` on a temporary file, which shows it inside
// the popup; `popup_modal` is the quick fixed-size one that waits for a key.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tmux/tmux.hpp"

namespace vesk {

struct PopupMessageArgs {
    std::string mode = "popup";
    std::vector<std::string> message;
};
struct PopupMessageRenderArgs {
    std::string mode;
    std::string file;
};

// The handler of `popup message MODE MESSAGE...`.
void popup_message(const PopupMessageArgs& args);
// `popup message-render MODE FILE`: prints the message file, removes it and waits for a key
// (modal) or for tmux's display-panes-time.
void popup_message_render(const PopupMessageRenderArgs& args);
// popup_message with one text.
void popup_message_text(std::string_view mode, std::string_view text);
// display-popup -E -w 60% -h 10 running `vesk popup message modal '<message>'`; returns once the
// popup has closed.
void popup_modal(const Tmux& tmux, std::string_view message);

// Messages of a tool that itself runs in a popup. tmux 3.3a opens no popup over a popup (the call
// succeeds and shows nothing), so popup_message and popup_modal print the message where the tool
// runs instead, and wait there as the popup would have.

// Inside tmux, without a pane of its own (TMUX_PANE unset) and reading from a terminal: a popup or
// the floating pane that stands in for one. run-shell jobs have no TMUX_PANE either, but no
// terminal.
bool running_in_popup();
// The title and the message, wrapped to the terminal's width, printed on the terminal; then waits
// for a key (modal) or for tmux's display-panes-time.
void show_message_in_place(std::string_view mode, std::string_view text);
// Called by main after a failure has been printed: a popup closes as soon as its command ends,
// taking the message with it, so when this process owns a popup's terminal (standard input,
// output and error all on it) the popup stays until a key is pressed. Never fails.
void hold_popup_after_failure() noexcept;

// The pieces of popup_message, pure so that the layout is tested without tmux.

// The wait of a non-modal message popup: display-panes-time in milliseconds (at least 1), 1000
// when the option is unset or not an unsigned decimal number.
std::chrono::milliseconds display_panes_wait(const std::optional<std::string>& option);

// "modal" stays "modal"; every other word is "popup".
std::string popup_mode(std::string_view mode);
// "[ ! Message ]" for modal, "[ @ Message ]" otherwise.
std::string popup_title(std::string_view mode);
// A percentage option's value: a whole number, else 50.
std::int64_t popup_percentage(const std::optional<std::string>& value);

struct PopupLimits {
    std::int64_t max_width = 0;   // at least 20
    std::int64_t max_height = 0;  // at least 5
};
PopupLimits popup_limits(std::int64_t client_width, std::int64_t client_height, std::int64_t width_pct,
                         std::int64_t height_pct);

// One sentence or clause a line: ". " becomes ".\n", then ", " becomes ",\n".
std::string split_clauses(std::string_view text);
// The widest line (at least 20) plus 6; 26 without lines.
std::int64_t natural_width(const std::vector<std::string>& lines);

struct PopupSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};
// Everything above together: the wrapped lines and the popup size for a client and the options.
struct PopupLayout {
    std::vector<std::string> lines;
    PopupSize size;
};
PopupLayout layout_message(std::string_view text, std::int64_t client_width, std::int64_t client_height,
                           std::int64_t width_pct, std::int64_t height_pct);

}  // namespace vesk
