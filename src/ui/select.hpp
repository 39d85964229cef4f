// The list selector: picks one entry of a short list on a full-screen screen, without fzf.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/buffer.hpp"
#include "ui/keys.hpp"
#include "ui/widgets.hpp"

namespace vesk {

struct SelectState {
    std::string prompt;
    std::vector<std::string> entries;
    // The highlighted entry and the list's first shown row (kept by drawing).
    ui::ListState list;

    std::size_t selected() const { return list.selected.value_or(0); }
};

enum class SelectResult { Pending, Chosen, Cancelled };

struct SelectStep {
    SelectState state;
    SelectResult result = SelectResult::Pending;
};

// The starting state: the highlight on the first entry equal to `initial`, else on the first.
SelectState select_start(std::string prompt, std::vector<std::string> entries, const std::optional<std::string>& initial);
// Up and Down move without wrapping, Enter chooses, Esc and q cancel; every other key is ignored.
SelectStep select_handle(SelectState state, const ui::Key& key);
// A prompt box (3 rows, more when the prompt wraps at the screen's width) over a framed list whose
// highlighted row is in reverse video. Drawing scrolls the list so the highlight stays visible,
// which it records in the state.
void select_draw(SelectState& state, ui::Buffer& buffer);

// Shows the selector on the terminal and returns the chosen entry, or nothing when the user
// cancelled. An empty list returns nothing at once without touching the terminal.
std::optional<std::string> ui_select(const std::string& prompt, const std::vector<std::string>& entries,
                                     const std::optional<std::string>& initial);

// The items of `ui select`: the lines of the input (ended by \n or \r\n) that are not blank, as
// they are.
std::vector<std::string> select_items(std::string_view text);

struct UiSelectArgs {
    std::string prompt = "select> ";
    std::optional<std::string> items_from;
};

// `ui select`: reads the items from standard input or --items-from, lets the user pick one and
// prints it without a line end (nothing when cancelled).
void ui_select_command(const UiSelectArgs& args);

}  // namespace vesk
