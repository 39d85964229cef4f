#include "core/folder_walk.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/error.hpp"
#include "core/kernel_links.hpp"
#include "core/text.hpp"

namespace vesk {

namespace {

// Descriptors a walk holds at most. A deeper walk closes the folders highest above it, which it
// needs again only on its way back up.
constexpr std::size_t kOpenFolders = 64;

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

int open_folder(int at, const char* name) { return ::openat(at, name, kFolderFlags); }

// The open folder `fd` if it is still (dev, ino), else -1 (and `fd` closed).
int same_folder(int fd, dev_t dev, ino_t ino) {
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == dev && st.st_ino == ino) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

}  // namespace

FolderWalk::FolderWalk(const std::filesystem::path& top, Stay stay)
    : stay_(stay), path_(top.native()), top_size_(path_.size()) {
    const int fd = open_folder(AT_FDCWD, path_.c_str());
    if (fd < 0) throw_errno(path_text(top));
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        throw SystemError(e, path_text(top));
    }
    entered_.emplace(st.st_dev, st.st_ino);
    Frame frame{fd, st.st_dev, st.st_ino, on_generated_filesystem(fd), {}, 0, path_.size()};
    if (const int e = read_listing(fd, frame.entries)) {
        ::close(fd);
        throw SystemError(e, path_text(top));
    }
    frames_.push_back(std::move(frame));
}

// Listed whole when entered: the folder's descriptor can then be closed and opened again while the
// walk is far below it, without losing its place in the listing. The error number, or 0.
int FolderWalk::read_listing(int fd, std::vector<Listed>& entries) {
    const int copy = ::dup(fd);
    DIR* dir = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!dir) {
        const int e = errno;
        if (copy >= 0) ::close(copy);
        return e;
    }
    for (;;) {
        errno = 0;
        const struct dirent* ent = ::readdir(dir);
        if (!ent) break;
        const std::string_view name = ent->d_name;
        if (name != "." && name != "..") entries.push_back({std::string(name), ent->d_type});
    }
    const int e = errno;
    ::closedir(dir);
    return e;
}

FolderWalk::~FolderWalk() {
    for (const Frame& frame : frames_) {
        if (frame.fd >= 0) ::close(frame.fd);
    }
}

bool FolderWalk::next() {
    kind_.reset();
    while (!frames_.empty()) {
        Frame& frame = frames_.back();
        if (frame.next < frame.entries.size()) {
            const std::string& name = frame.entries[frame.next++].name;
            const std::size_t separator = path_.ends_with('/') ? 0 : 1;
            if (path_.size() + separator + name.size() >= PATH_MAX) continue;
            return true;
        }
        leave();
    }
    return false;
}

std::string_view FolderWalk::name() const {
    const Frame& frame = frames_.back();
    return frame.entries[frame.next - 1].name;
}

// The current entry's own type (d_type), asked of the filesystem where the listing does not tell
// it: DT_LNK, DT_DIR, DT_REG, or DT_UNKNOWN for anything else and for an entry gone meanwhile.
unsigned char FolderWalk::own_type() const {
    const Frame& frame = frames_.back();
    const Listed& entry = frame.entries[frame.next - 1];
    if (entry.type != DT_UNKNOWN) return entry.type;
    struct stat st;
    if (::fstatat(frame.fd, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
    return S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
}

FolderWalk::Kind FolderWalk::kind() {
    if (kind_) return *kind_;
    const unsigned char type = own_type();
    kind_ = type == DT_DIR ? Kind::Folder : type == DT_REG ? Kind::File : Kind::Other;
    if (type != DT_LNK) return *kind_;
    // Where a link leads is looked at without reading anything there, and only along a way that
    // passes through none of /proc's per-process links.
    const Frame& frame = frames_.back();
    const char* name = frame.entries[frame.next - 1].name.c_str();
    const int fd = open_without_magic_links(frame.fd, name, O_PATH | O_CLOEXEC);
    struct stat st;
    if (fd < 0) {
        // A link that leads somewhere only through /proc's per-process links; else one that leads
        // nowhere (or in a circle), or one gone since it was listed.
        kind_ = errno == ELOOP && ::fstatat(frame.fd, name, &st, 0) == 0 ? Kind::KernelLink : Kind::Other;
        return *kind_;
    }
    if (::fstat(fd, &st) != 0) kind_ = Kind::Other;
    else if (S_ISDIR(st.st_mode)) kind_ = Kind::Folder;
    // A file of /proc or /sys: what the kernel makes up there (a process's environment, say) is
    // nothing a walk over a user's folder is after, nor anything to read for it.
    else if (S_ISREG(st.st_mode)) kind_ = st.st_dev != frame.dev && on_generated_filesystem(fd) ? Kind::KernelLink : Kind::File;
    ::close(fd);
    return *kind_;
}

std::string_view FolderWalk::folder_below_top() const {
    std::string_view below(path_);
    below.remove_prefix(top_size_);
    if (below.starts_with('/')) below.remove_prefix(1);
    return below;
}

std::string FolderWalk::entry_path() const {
    std::string path = path_;
    if (!path.ends_with('/')) path += '/';
    path += name();
    return path;
}

bool FolderWalk::enter() {
    const std::string name(this->name());
    Frame& parent = frames_.back();
    const int fd = open_without_magic_links(parent.fd, name.c_str(), kFolderFlags);
    // Removed (or replaced by a file) since it was listed, or a link through /proc's per-process
    // links (which kind() tells apart).
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)) return false;
    if (fd < 0) throw_errno(path_text(entry_path()));
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        throw SystemError(e, path_text(entry_path()));
    }
    // Only a folder on another device than the one above it can lie on another filesystem, so
    // only then is its kind asked.
    const bool generated = st.st_dev == parent.dev ? parent.generated : on_generated_filesystem(fd);
    const bool elsewhere = stay_ == Stay::OnTopFilesystem && st.st_dev != frames_.front().dev;
    if (generated || elsewhere || !entered_.emplace(st.st_dev, st.st_ino).second) {
        ::close(fd);
        return false;
    }
    Frame frame{fd, st.st_dev, st.st_ino, generated, {}, 0, 0};
    if (const int e = read_listing(fd, frame.entries)) {
        ::close(fd);
        throw SystemError(e, path_text(entry_path()));
    }
    if (!path_.ends_with('/')) path_ += '/';
    path_ += name;
    frame.path_size = path_.size();
    frames_.push_back(std::move(frame));
    if (frames_.size() - (parked_end_ - 1) > kOpenFolders) {
        ::close(frames_[parked_end_].fd);
        frames_[parked_end_].fd = -1;
        ++parked_end_;
    }
    kind_.reset();
    ++serial_;
    return true;
}

bool FolderWalk::enter_if_readable() {
    try {
        return enter();
    } catch (const SystemError&) {
        return false;
    }
}

void FolderWalk::leave() {
    const std::size_t top = frames_.size() - 1;
    if (top >= 2 && top - 1 < parked_end_) {
        reopen(top - 1, frames_[top].fd);
        parked_end_ = top - 1;
    }
    if (frames_[top].fd >= 0) ::close(frames_[top].fd);
    frames_.pop_back();
    if (!frames_.empty()) path_.resize(frames_.back().path_size);
    ++serial_;
}

// Opens a closed folder again, from the folder just left below it ("..", unless that was reached
// through a link from elsewhere), else by its path; it must still be the same folder. One that is
// not (moved or replaced meanwhile) is treated as gone: the rest of its entries are passed over.
void FolderWalk::reopen(std::size_t index, int child_fd) {
    Frame& frame = frames_[index];
    int fd = child_fd >= 0 ? same_folder(open_folder(child_fd, ".."), frame.dev, frame.ino) : -1;
    if (fd < 0) fd = same_folder(open_folder(AT_FDCWD, path_.substr(0, frame.path_size).c_str()), frame.dev, frame.ino);
    if (fd < 0) frame.next = frame.entries.size();
    frame.fd = fd;
}

}  // namespace vesk
