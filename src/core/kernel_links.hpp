// /proc holds, for every process, links that lead wherever that process stands: its root, its
// working folder, its program, the files it holds open. The kernel follows them to the place
// itself, not by their text, so a link to /proc/self/root planted in a folder leads to the whole
// filesystem although everything on the way lies on the root disk. Walks and readers over folders
// that others may have filled (a vault is often a cloned repository) open what they find through
// these helpers, and never follow such a link.
#pragma once

#include <filesystem>

namespace vesk {

// Opens `path` (relative to the folder `at`, or to the working folder with AT_FDCWD) as openat
// does, except that the way there never passes through one of those links: -1 with errno ELOOP
// when it would, else openat's result and errno.
int open_without_magic_links(int at, const char* path, int flags);
// The same without openat2 (kernels before 5.6, or a sandbox that forbids it), following each link
// by its text one step at a time; stricter: no link inside /proc is followed at all.
int open_without_magic_links_by_hand(int at, const char* path, int flags);

// Whether the open file lies on a filesystem the kernel makes up as it is read: /proc, /sys and
// their kind (debugfs, tracefs, the cgroup trees, securityfs, bpf). False when it cannot be told.
bool on_generated_filesystem(int fd);

// Whether the way to `path` passes through one of /proc's per-process links, or ends on a
// filesystem the kernel makes up: what a line naming a vault item must never be read through.
// False for a path that is merely missing.
bool reaches_kernel_trees(const std::filesystem::path& path);

}  // namespace vesk
