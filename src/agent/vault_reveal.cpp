// `quillbox open-in-finder MODE_FILE SELECTION...`: shows the item in the file manager.
#include <sys/stat.h>

#include <filesystem>

#include "agent/quillbox.hpp"
#include "agent/vault_root.hpp"
#include "agent/vault_selection.hpp"
#include "core/command.hpp"
#include "core/error.hpp"
#include "core/process.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

void quillbox_open_in_finder(const QuillboxModeSelectionArgs& args) {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const fs::path root = qbox_root(tmux);
    std::optional<fs::path> path = path_from_mode_selection(root, args);
    if (!path) return;
    struct stat st;
    if (::stat(path->c_str(), &st) != 0) {
        display_message(tmux, "File not found. Updating index...");
        quillbox_build_index();
        throw ExitCode(1);
    }
    // Run from a picker binding, a failed start would vanish without a word.
    if (!which("open")) {
        display_message(tmux, "open 명령을 찾을 수 없습니다.");
        throw ExitCode(1);
    }
    Child::spawn(ChildCommand("open", {"-R", path->string()})).wait();
}

}  // namespace vesk::agent
