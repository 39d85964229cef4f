// Brings key-binding changes into the running tmux server without a reload: the key-binding
// screen applies each change as the user makes it, and `config apply-keybindings` binds the
// user's keys again after the plugins have loaded.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vesk::keybind::live {

struct Change {
    std::string table;                                       // tmux key table
    std::optional<std::string> unbind;                       // a key to unbind in that table
    std::optional<std::pair<std::string, std::string>> bind;  // (key, command) to bind

    bool operator==(const Change&) const = default;
};

// "unbind{table option} {key}\n" and/or "bind-key{table option} {key} {command}\n", the table
// option as in keybindings.conf. The command goes in as it stands; the key is quoted where tmux
// would otherwise read it as something else (#, ;, quotes...).
std::string script(const Change& change);

// Outside tmux (TMUX unset or empty) or with nothing to do: nothing. Otherwise the scripts of all
// changes go through one `<tmux> source-file <temporary file>` ($TMUX_BIN, else tmux); a status
// other than 0 throws "tmux가 단축키를 받아들이지 않았습니다: <status>" with tmux's own message as
// the cause. The server keeps whatever lines it accepted before a failing one.
void apply_all(const std::vector<Change>& changes);

}  // namespace vesk::keybind::live
