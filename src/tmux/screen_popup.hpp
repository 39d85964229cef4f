// The list screens shown in a floating pane: a pane as large as the list wants, within three
// quarters of the client, running this same program on the screen's own command.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace vesk {

// Size and place of the popup for a client of a given size.
struct PopupGeometry {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    bool operator==(const PopupGeometry&) const = default;
};

// `natural_width` wide and eight rows of frame, search line and footer taller than `entries`
// (ten rows at least), both held to the client and centred in it.
PopupGeometry popup_geometry(int natural_width, std::size_t entries, int client_width, int client_height);

// Inside tmux only: reads the client's size (80 x 24 when tmux cannot tell), asks `geometry` for
// the pane and opens it running this program with `arguments` ("config keybindings").
void open_screen_popup(const std::function<PopupGeometry(int client_width, int client_height)>& geometry,
                       std::string_view arguments);

}  // namespace vesk
