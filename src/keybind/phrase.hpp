// Korean phrases for tmux commands, used as descriptions of bindings that have no comment above.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::keybind::phrase {

// The phrase of the copy-mode command named by the word after the first `-X`
// ("위로 스크롤" for `send -X scroll-up`); nothing without `-X`, a word after it, or a known command.
std::optional<std::string> copy_action(const std::vector<std::string_view>& words);

// The phrase for a command given as its words ("수평 분할" for `split-window -v`); nothing when
// the first word has none.
std::optional<std::string> command_phrase(const std::vector<std::string_view>& words);

// The group label of a command: by the word after "vesk " (or "vesk' ", the program's path
// single-quoted for the shell) when there is one that names a group,
// else by the command's first word ("기타" when neither does).
std::string group_for(std::string_view command);

}  // namespace vesk::keybind::phrase
