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
    // A whole tmux line run after the unbind, giving the key back the binding tmux itself has for
    // it (as `tmux_default_binding` reads it).
    std::optional<std::string> restore = std::nullopt;

    bool operator==(const Change&) const = default;
};

// "unbind{table option} {key}\n", the restore line and a line feed, "bind-key{table option} {key}
// {command}\n", each when present; the table option as in keybindings.conf. The command goes in as
// it stands; the key is quoted where tmux would otherwise read it as something else (#, ;,
// quotes...).
std::string script(const Change& change);

// What tmux binds to `key` in `table` before any configuration has touched it, as the line
// `list-keys` prints for it ("bind-key -T prefix o select-pane -t :.+"), read from a server of
// its own that reads no configuration ($TMUX_BIN, else tmux). Nothing when tmux leaves the key
// free, outside tmux, or when that server cannot tell.
std::optional<std::string> tmux_default_binding(const std::string& table, const std::string& key);

// Outside tmux (TMUX unset or empty) or with nothing to do: nothing. Otherwise the scripts of all
// changes go through one `<tmux> source-file <temporary file>` ($TMUX_BIN, else tmux); a status
// other than 0 throws "tmux가 단축키를 받아들이지 않았습니다: <status>" with tmux's own message as
// the cause. The server keeps whatever lines it accepted before a failing one.
void apply_all(const std::vector<Change>& changes);

}  // namespace vesk::keybind::live
