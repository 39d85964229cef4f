// What a walk that follows symbolic links to folders needs in order to end: each folder entered
// once, known by device and inode (a link loop, or several links to one folder nested level under
// level, would walk the same tree again and again), and never the trees the kernel makes up as
// they are read.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <set>
#include <utility>

namespace vesk {

// The folders a walk has entered.
class FoldersEntered {
public:
    // True the first time the folder (device, inode) comes, which is then remembered; false after.
    bool first_time(dev_t dev, ino_t ino) { return seen_.emplace(dev, ino).second; }

private:
    std::set<std::pair<dev_t, ino_t>> seen_;
};

// Whether the folder lies on a filesystem the kernel generates as it is read: /proc holds a tree
// per process with links back into the whole filesystem, /sys is a maze of links, and debugfs,
// tracefs, the cgroup trees, securityfs and bpf are of the same kind. False when it cannot be told.
bool generated_filesystem(int dir_fd);
bool generated_filesystem(const std::filesystem::path& dir);

}  // namespace vesk
