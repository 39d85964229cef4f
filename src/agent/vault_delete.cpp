// `quillbox delete-item MODE_FILE SELECTION...`: one item file to the trash, never more.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include <fmt/format.h>

#include "agent/quillbox.hpp"
#include "agent/vault_root.hpp"
#include "agent/vault_selection.hpp"
#include "core/command.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void refuse(const Tmux& tmux, const std::string& message) {
    display_message(tmux, message);
    throw ExitCode(1);
}

// Only a file of the vault goes: not the vault itself, nothing outside it or reached through a
// link that leads out of it, no folder and no blank name.
void check_deletable(const Tmux& tmux, const fs::path& root, const fs::path& path, const struct stat& st) {
    std::optional<fs::path> below = path_below(path, root);
    if (below && below->empty()) refuse(tmux, fmt::format("Cannot delete the vault itself: {}", path_text(root)));
    if (!below || !resolves_inside(root, path.parent_path(), true) || !resolves_inside(root, path, false))
        refuse(tmux, fmt::format("Cannot delete outside the vault: {}", path_text(path)));
    if (S_ISDIR(st.st_mode)) refuse(tmux, fmt::format("Cannot delete a folder: {}", path_text(path)));
    if (!S_ISREG(st.st_mode) || is_blank(path_text(below->filename())))
        refuse(tmux, fmt::format("Cannot delete: {}", path_text(path)));
}

void remove_file(const fs::path& path) {
    if (::unlink(path.c_str()) != 0) throw_errno(path_text(path));
}

}  // namespace

void quillbox_delete_item(const QuillboxModeSelectionArgs& args) {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const fs::path root = qbox_root(tmux);
    std::string mode;
    try {
        mode = read_mode_file(args.mode_file);
    } catch (const std::exception&) {
    }
    if (mode == "vault-select") {
        display_message(tmux, "Cannot delete vaults via this shortcut for safety.");
        return;
    }
    std::optional<fs::path> path = path_from_mode_selection(root, args);
    if (!path) return;
    // "keep/" names the folder keep.
    if (!path->has_filename() && path->has_relative_path()) path = path->parent_path();
    struct stat st;
    if (::stat(path->c_str(), &st) != 0) {
        display_message(tmux, fmt::format("File not found: {}", path_text(*path)));
        throw ExitCode(1);
    }
    check_deletable(tmux, root, *path, st);
    const std::string name = is_valid_utf8(path->filename().native()) ? path->filename().native() : std::string();

    if (which("trash")) {
        ChildCommand trash("trash", {path->string()});
        ExitStatus status = Child::spawn(trash).wait();
        if (!status.success()) {
            // Said before it happens: the file will not be in the trash.
            display_message(tmux, "Warning: 'trash' failed. Permanently deleting...");
            remove_file(*path);
        }
    } else {
        display_message(tmux, "Warning: 'trash' command not found. Permanently deleting...");
        remove_file(*path);
    }
    display_message(tmux, fmt::format("Deleted: {}", name));
    quillbox_build_index();
}

}  // namespace vesk::agent
