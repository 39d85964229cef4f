// Making the running tmux read the configuration again after a rebuild.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vesk::rebuild {

struct ReloadOutcome {
    enum class Kind { Reloaded, NotApplicable, Failed };
    Kind kind = Kind::NotApplicable;
    std::string text;  // why it failed
};

// When `output` is $HOME/.tmux.conf.local and this runs inside tmux: `tmux source-file
// $HOME/.tmux.conf`, then a short message popup (or display-message when no popup can be shown).
ReloadOutcome reload(const std::optional<std::filesystem::path>& home, const std::filesystem::path& output);

}  // namespace vesk::rebuild
