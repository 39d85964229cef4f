// Where the vault lives: the root every vault command works in, and the lock that keeps a whole
// rewrite of the index and a one-line append from overtaking each other.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace vesk {
class Tmux;
}

namespace vesk::agent {

// The variable through which the vault picker gives its root to the commands it starts.
inline constexpr const char* kQuillboxRootVar = "QBZ_ROOT";

// The vault root: $QBZ_ROOT when set and not empty; else the global option @qbox_root when set; else the raw text of the pointer file
// <@zelt>/quillbox, trimmed, with a leading ~ expanded; else $HOME/.quillbox. A root found the
// slow way is made absolute and stored in @qbox_root (a failure to store it is the error).
std::filesystem::path qbox_root(const Tmux& tmux);

// An exclusive lock on the vault root folder, held while `.index` is rewritten or appended to.
// The index is replaced by a rename, so the folder, which stays, carries the lock. A root that
// cannot be opened gives no lock (the operation then fails on its own).
class VaultLock {
public:
    explicit VaultLock(const std::filesystem::path& root);
    ~VaultLock();
    VaultLock(const VaultLock&) = delete;
    VaultLock& operator=(const VaultLock&) = delete;

private:
    int fd_ = -1;
};

// The normal form without a trailing slash: "/vault/" and "/vault" name one folder, and
// "notes/./a.md/" is "notes/a.md".
std::filesystem::path normal_form(const std::filesystem::path& path);
// Makes `root`/inbox with any folder missing on the way; an error when that fails.
void make_inbox(const std::filesystem::path& root);

// The part of `path` below `root`, compared component by component after resolving "." and ".."
// lexically (links are not looked at): "" for the root itself, nothing when `path` lies outside.
std::optional<std::filesystem::path> path_below(const std::filesystem::path& path, const std::filesystem::path& root);
// Whether `path` lies under `root` by path_below; the root itself counts when `allow_root`.
bool lies_under(const std::filesystem::path& path, const std::filesystem::path& root, bool allow_root = false);
// Whether `rel`, a path relative to the root (from a line of .index or .recent, or a command's
// argument), stays inside the vault by lies_under: not absolute, and no ".." that climbs above the
// root. The vault's own commands never write such a line; one planted there would name any file.
bool stays_in_vault(const std::filesystem::path& root, std::string_view rel, bool allow_root = false);
// The item file a line names, `rel` joined onto the root: nothing when `rel` does not stay in the
// vault, or the way to it passes through /proc's per-process links or ends in the kernel's trees
// (a planted `root -> /proc/self/root` link lies inside the vault and leads to every file).
std::optional<std::filesystem::path> vault_item_path(const std::filesystem::path& root, std::string_view rel);
// Whether `path` still lies under `root` by lies_under once the links of both are resolved; false
// when either cannot be resolved.
bool resolves_inside(const std::filesystem::path& root, const std::filesystem::path& path, bool allow_root);

}  // namespace vesk::agent
