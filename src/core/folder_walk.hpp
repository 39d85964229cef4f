// A walk below one folder that follows symbolic links to folders and ends on any tree: each folder
// is entered once, known by device and inode (a link loop, or several links to one folder nested
// level under level, would walk the same tree again and again), and never the trees the kernel
// makes up as they are read (/proc, /sys and their kind). Nor does it follow a link through one of
// /proc's per-process links (a planted `root -> /proc/self/root` lies on the root disk and leads
// to the whole of it): such an entry is told apart (KernelLink), never entered nor looked into.
//
// It does not recurse and keeps no path per level: a stack of the folders it is inside, each read
// relative to the one above it (openat), and the one path of the folder it is in. A tree thousands
// of levels deep costs memory in proportion to its depth, and the descriptors it holds are capped
// (the folders high above are closed and opened again on the way back). An entry whose path is too
// long to be opened (PATH_MAX) is passed over as if it were not there: nothing could open it by
// that path afterwards, and everything below it would be as long.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk {

class FolderWalk {
public:
    // Links followed. Other: a device, a FIFO, a dangling link... KernelLink: a link that leads
    // somewhere only through /proc's per-process links, or to a file of a tree the kernel makes up.
    enum class Kind { Folder, File, Other, KernelLink };
    // Whether the walk enters folders on another filesystem than the top's.
    enum class Stay { Anywhere, OnTopFilesystem };

    // Opens and lists `top`; failing that throws SystemError naming it.
    explicit FolderWalk(const std::filesystem::path& top, Stay stay = Stay::Anywhere);
    ~FolderWalk();
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    // Moves to the next entry, in the order the listings give; the entries of a folder just
    // entered come before the rest of the folder above it. False at the end of the walk.
    bool next();

    // The current entry (valid until next() or enter()): its name and what it is.
    std::string_view name() const;
    Kind kind();
    // The path of the current entry's folder, that path below the top ("" for the top itself),
    // and the entry's own path.
    const std::string& folder_path() const { return path_; }
    std::string_view folder_below_top() const;
    std::string entry_path() const;
    // Changes whenever the walk moves into another folder.
    std::size_t folder_serial() const { return serial_; }

    // Enters the current entry, a Folder: its entries come next. False, and nothing entered, for a
    // folder entered before, one on a kernel filesystem (or, with Stay::OnTopFilesystem, on another
    // filesystem than the top's), one reached through /proc's per-process links, or one gone since
    // it was listed. Any other failure to open or list it throws SystemError naming it; the walk
    // can go on from there.
    bool enter();
    // As enter(), but a folder that cannot be opened or listed is passed over (false): for walks
    // that list what they can read and the rest beside it.
    bool enter_if_readable();

private:
    struct Listed {
        std::string name;
        unsigned char type;  // d_type
    };
    struct Frame {
        int fd;
        dev_t dev;
        ino_t ino;
        bool generated;  // on a filesystem the kernel makes up
        std::vector<Listed> entries;
        std::size_t next = 0;       // entries[next - 1] is the current entry
        std::size_t path_size = 0;  // path_ is this folder's path up to here
    };

    static int read_listing(int fd, std::vector<Listed>& entries);
    unsigned char own_type() const;
    void leave();
    void reopen(std::size_t index, int child_fd);

    Stay stay_;
    std::vector<Frame> frames_;
    std::size_t parked_end_ = 1;  // frames_[1, parked_end_) are closed for now
    std::set<std::pair<dev_t, ino_t>> entered_;
    std::string path_;
    std::size_t top_size_ = 0;
    std::size_t serial_ = 0;
    std::optional<Kind> kind_;
};

}  // namespace vesk
