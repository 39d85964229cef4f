#include "core/files.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/signal_cleanup.hpp"
#include "core/text.hpp"

namespace vesk {

namespace {

// Writes everything or reports errno.
int write_all(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

// Writes everything, then closes; the first errno of the two, or 0.
int write_then_close(int fd, std::string_view bytes) {
    int err = write_all(fd, bytes);
    if (::close(fd) != 0 && !err) err = errno;
    return err;
}

// A write past the file size limit would end the process through SIGXFSZ and leave the temporary
// file behind; ignored, the write fails with EFBIG and the normal clean-up runs.
class IgnoreFileSizeSignal {
public:
    IgnoreFileSizeSignal() { old_ = ::signal(SIGXFSZ, SIG_IGN); }
    ~IgnoreFileSizeSignal() { ::signal(SIGXFSZ, old_); }

private:
    void (*old_)(int);
};

// A descriptor, closed when this goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(-1); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) reset(std::exchange(other.fd_, -1));
        return *this;
    }
    int get() const { return fd_; }

private:
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int fd_;
};

// Replaces the last six characters of `pattern` with random letters and digits and creates that
// file exclusively (0600) in the folder open on `dir` (AT_FDCWD: the pattern is a path of its
// own), trying other names while they are taken. The descriptor, or -1 with errno set.
int create_unique(int dir, std::string& pattern) {
    static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = pattern.size() - 6; i < pattern.size(); ++i) pattern[i] = kChars[random() % 62];
        int fd = ::openat(dir, pattern.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// A new file from `pattern` ("...XXXXXX", which becomes its name) in the folder open on `dir`,
// holding `bytes`, with the permission bits `mode` and, when given, the group `group`;
// `on_signal` removes it when a signal ends the process meanwhile. A failed write removes the file
// again and gives the errno; a failed create throws, naming the folder `dir_text`.
int write_new_temp(int dir, const std::string& dir_text, std::string& pattern, std::string_view bytes, unsigned mode,
                   OnSignal& on_signal, std::optional<gid_t> group = std::nullopt) {
    int fd = create_unique(dir, pattern);
    if (fd < 0) throw_errno(dir_text);
    on_signal = OnSignal::remove_at(dir, pattern);
    // The replaced file's group where we may give it (one we belong to), so that a file shared
    // with a group stays shared; where we may not, the file is still written. Set before the bits,
    // which a change of group may clear.
    if (group && ::fchown(fd, static_cast<uid_t>(-1), *group) != 0) {
        // Not a group of ours: the file keeps ours.
    }
    // Set whatever the umask took away at the create.
    int err = ::fchmod(fd, mode) != 0 ? errno : 0;
    if (!err) {
        IgnoreFileSizeSignal guard;
        err = write_then_close(fd, bytes);
    } else {
        ::close(fd);
    }
    if (err) ::unlinkat(dir, pattern.c_str(), 0);
    return err;
}

// Search permission is all a folder needs to have files made and renamed in it.
#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

int open_folder(int base, const std::filesystem::path& dir) {
    return ::openat(base, dir.empty() ? "." : dir.c_str(), kFolderFlags);
}

[[noreturn]] void not_regular(const std::filesystem::path& path) {
    throw Error(fmt::format("일반 파일이 아닙니다 ({})", path_text(path)));
}

// The text of the link `name` in the folder open on `dir`; `path` names it in an error.
std::filesystem::path read_link_at(int dir, const std::string& name, const std::filesystem::path& path) {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t n = ::readlinkat(dir, name.c_str(), buffer.data(), buffer.size());
        if (n < 0) throw_errno(path_text(path));
        if (static_cast<std::size_t>(n) < buffer.size()) return buffer.substr(0, static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

// Where the atomic writer puts a file: the folder, open, and the file's name in it; `path` names
// the file in messages; `existing` is what the rename replaces (nothing for a missing file or a
// link replaced as such).
struct Destination {
    Fd dir;
    std::filesystem::path path;
    std::string name;
    std::optional<struct stat> existing;
};

// The target's folder is made when missing; with Links::Followed the chain of links at the target
// is then followed folder by folder, each link read in the folder that holds it as the kernel
// does, and no folder is made for a link's target.
Destination destination(const std::filesystem::path& target, Links links) {
    std::filesystem::path path = target;
    Fd dir(open_folder(AT_FDCWD, target.parent_path()));
    if (dir.get() < 0 && errno == ENOENT) {
        std::error_code ec;
        std::filesystem::create_directories(target.parent_path(), ec);
        if (ec) throw SystemError(ec.value(), path_text(target.parent_path()));
        dir = Fd(open_folder(AT_FDCWD, target.parent_path()));
    }
    for (int hops = 0;; ++hops) {
        if (dir.get() < 0) throw_errno(path_text(path.has_parent_path() ? path.parent_path() : std::filesystem::path(".")));
        std::string name = path.filename().native();
        struct stat st;
        if (::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) throw_errno(path_text(path));
            return {std::move(dir), path, std::move(name), std::nullopt};
        }
        // A folder is left to the rename, which refuses it with the system's own words.
        if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return {std::move(dir), path, std::move(name), st};
        if (!S_ISLNK(st.st_mode)) not_regular(path);
        if (links == Links::NotFollowed) return {std::move(dir), path, std::move(name), std::nullopt};
        if (hops == 40) throw SystemError(ELOOP, path_text(target));
        const std::filesystem::path next = read_link_at(dir.get(), name, path);
        path = next.is_absolute() ? next : path.parent_path() / next;
        dir = Fd(open_folder(dir.get(), next.parent_path()));
    }
}

}  // namespace

std::string read_all(int fd, std::size_t limit) {
    std::string out;
    char buffer[65536];
    while (true) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw_errno();
        }
        if (n == 0) break;
        if (static_cast<std::size_t>(n) > limit - out.size()) throw SystemError(EFBIG);
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

void write_and_close(int fd, std::string_view bytes) {
    if (int err = write_then_close(fd, bytes)) throw SystemError(err);
}

namespace {

// A descriptor and the size fstat gave, or a failure: the errno (EFBIG for a file over the
// limit), or -1 for something that is no regular file.
struct Opened {
    int fd = -1;
    int error = 0;
    std::size_t size = 0;
};

// Opens `path` for reading if it is a regular file of at most `limit` bytes. Opening does not
// block (a FIFO without a writer would), and nothing else is ever read.
Opened open_regular(const std::filesystem::path& path, std::size_t limit, Links links = Links::Followed) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::NotFollowed ? O_NOFOLLOW : 0));
    if (fd < 0) return {-1, errno};
    struct stat st;
    int error = 0;
    if (::fstat(fd, &st) != 0) error = errno;
    else if (!S_ISREG(st.st_mode)) error = -1;
    else if (static_cast<std::uintmax_t>(st.st_size) > limit) error = EFBIG;
    if (error) {
        ::close(fd);
        return {-1, error};
    }
    return {fd, 0, static_cast<std::size_t>(st.st_size)};
}

// open_regular for the readers that throw: every failure names the path.
Opened open_regular_or_throw(const std::filesystem::path& path, std::size_t limit, Links links = Links::Followed) {
    Opened opened = open_regular(path, limit, links);
    if (opened.error == -1) not_regular(path);
    if (opened.error) throw SystemError(opened.error, path_text(path));
    return opened;
}

// Reads to the end, but never past `limit` bytes: a regular file may still grow while it is read
// (or report no size at all, as /proc files do). Returns 0, or the errno: EFBIG when there was
// more, `out` then holding the first `limit` bytes.
int read_limited(int fd, std::size_t limit, std::string& out) {
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        const std::size_t room = limit - out.size();
        out.append(buffer, std::min(static_cast<std::size_t>(n), room));
        if (static_cast<std::size_t>(n) > room) return EFBIG;
    }
}

}  // namespace

std::string read_file(const std::filesystem::path& path, std::size_t limit, Links links) {
    Opened opened = open_regular_or_throw(path, limit, links);
    std::string out;
    // Sized once: a large file (the vault index) would otherwise be copied at every growth.
    out.reserve(opened.size);
    int error = read_limited(opened.fd, limit, out);
    ::close(opened.fd);
    if (error) throw SystemError(error, path_text(path));
    return out;
}

FileHead read_file_head(const std::filesystem::path& path, std::size_t limit) {
    Opened opened = open_regular_or_throw(path, SIZE_MAX);
    FileHead head;
    head.bytes.reserve(std::min(opened.size, limit));
    int error = read_limited(opened.fd, limit, head.bytes);
    ::close(opened.fd);
    if (error == EFBIG) {
        head.whole = false;
    } else if (error) {
        throw SystemError(error, path_text(path));
    }
    return head;
}

int open_regular_file(const std::filesystem::path& path) {
    const int fd = open_regular_or_throw(path, SIZE_MAX).fd;
    // The flag was for the open alone: a child reads as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

FileBytes::FileBytes(const std::filesystem::path& path, std::size_t limit) {
    Opened opened = open_regular_or_throw(path, limit);
    if (opened.size > 0) {
        void* map = ::mmap(nullptr, opened.size, PROT_READ, MAP_PRIVATE, opened.fd, 0);
        if (map != MAP_FAILED) {
            map_ = map;
            size_ = opened.size;
            ::close(opened.fd);
            return;
        }
    }
    int error = read_limited(opened.fd, limit, read_);
    ::close(opened.fd);
    if (error) throw SystemError(error, path_text(path));
}

FileBytes::~FileBytes() {
    if (map_) ::munmap(map_, size_);
}

std::optional<std::string> read_text_if_any(const std::filesystem::path& path) {
    // Missing files are the usual case here (a rebuild asks for one user fragment per fragment),
    // so they are answered without raising anything.
    Opened opened = open_regular(path, kReadLimit);
    if (opened.error) return std::nullopt;
    std::string text;
    int error = read_limited(opened.fd, kReadLimit, text);
    ::close(opened.fd);
    if (error || !is_valid_utf8(text)) return std::nullopt;
    return text;
}

unsigned new_file_mode() {
    // The umask is only read by setting it; no other thread can create a file meanwhile.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~static_cast<unsigned>(mask);
}

void write_file_atomically(const std::filesystem::path& target, std::string_view bytes, std::optional<unsigned> mode,
                           Links links) {
    const Destination to = destination(target, links);
    unsigned bits = 0;
    std::optional<gid_t> group;
    if (mode) {
        bits = *mode;
    } else if (to.existing && S_ISREG(to.existing->st_mode)) {
        // The bits that give access, never those that give a program its owner's or group's rights.
        bits = to.existing->st_mode & 0777;
        group = to.existing->st_gid;
    } else {
        bits = new_file_mode();
    }

    const std::filesystem::path dir = to.path.has_parent_path() ? to.path.parent_path() : std::filesystem::path(".");
    std::string temp = ".tmpXXXXXX";
    OnSignal remove_temp;
    if (int err = write_new_temp(to.dir.get(), path_text(dir), temp, bytes, bits, remove_temp, group))
        throw SystemError(err, path_text(dir / temp));
    if (::renameat(to.dir.get(), temp.c_str(), to.dir.get(), to.name.c_str()) != 0) {
        int e = errno;
        ::unlinkat(to.dir.get(), temp.c_str(), 0);
        throw Error(fmt::format("파일을 교체하지 못했습니다: {}", SystemError(e, path_text(to.path)).what()));
    }
}

namespace {

// What open_for_append and open_for_rewrite share: `flags` are added to the open, `mode` is for a
// file it creates.
int open_regular_for_writing(const std::filesystem::path& path, Links links, int flags, unsigned mode) {
    const int follow = links == Links::NotFollowed ? O_NOFOLLOW : 0;
    for (int attempt = 1;; ++attempt) {
        struct stat st;
        const bool found = (links == Links::Followed ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) == 0;
        if (!found && errno != ENOENT) throw_errno(path_text(path));
        if (found && !S_ISREG(st.st_mode)) not_regular(path);
        // A name that was missing is taken only if it still is. Through a link (a dangling one
        // names the file to make) the name is the link's, so there the open creates as usual.
        const int create = O_CREAT | (!found && links == Links::NotFollowed ? O_EXCL : 0);
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | follow | create | flags, mode);
        if (fd < 0) {
            const int e = errno;
            // Made meanwhile by someone else: look at what it is.
            if (e == EEXIST && attempt < 3) continue;
            // ENXIO: a FIFO that nobody reads, or a socket, put there since it was looked at.
            if (e == ENXIO || e == EISDIR) not_regular(path);
            if (e == ELOOP && links == Links::NotFollowed && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
                not_regular(path);
            throw SystemError(e, path_text(path));
        }
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            not_regular(path);
        }
        // The flag was for the open alone; whoever gets the descriptor writes as usual.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
}

}  // namespace

int open_for_append(const std::filesystem::path& path, Links links) {
    return open_regular_for_writing(path, links, O_APPEND, 0666);
}

int open_for_rewrite(const std::filesystem::path& path, unsigned mode, Links links) {
    const int fd = open_regular_for_writing(path, links, 0, mode);
    if (::ftruncate(fd, 0) != 0) {
        const int e = errno;
        ::close(fd);
        throw SystemError(e, path_text(path));
    }
    return fd;
}

void create_folders_inside(const std::filesystem::path& base, const std::filesystem::path& below) {
    Fd dir(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) throw_errno(path_text(base));
    std::filesystem::path reached = base;
    for (const std::filesystem::path& part : below) {
        if (part.empty() || part == "." || part == "/") continue;
        reached /= part;
        if (part == "..") throw Error(fmt::format("폴더가 아닙니다 ({})", path_text(reached)));
        Fd next;
        if (::mkdirat(dir.get(), part.c_str(), 0777) == 0 || errno == EEXIST)
            next = Fd(::openat(dir.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0) {
            if (errno == ELOOP || errno == ENOTDIR) throw Error(fmt::format("폴더가 아닙니다 ({})", path_text(reached)));
            throw_errno(path_text(reached));
        }
        dir = std::move(next);
    }
}

void append_to_file(const std::filesystem::path& path, std::string_view bytes, Links links) {
    if (int err = write_then_close(open_for_append(path, links), bytes)) throw SystemError(err, path_text(path));
}

TempFile::TempFile(std::string_view bytes) {
    const std::string dir = env_non_empty("TMPDIR").value_or("/tmp");
    std::string pattern = dir + "/.tmpXXXXXX";
    if (int err = write_new_temp(AT_FDCWD, dir, pattern, bytes, 0600, on_signal_)) throw SystemError(err, pattern);
    path_ = pattern;
}

TempFile::~TempFile() {
    on_signal_.release();
    ::unlink(path_.c_str());
}

PrivateTempDir::PrivateTempDir(std::string_view prefix, const std::optional<std::filesystem::path>& base) {
    std::string pattern = (base ? base->string() : env_non_empty("TMPDIR").value_or("/tmp")) + "/" +
                          std::string(prefix) + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw_errno(pattern);
    path_ = pattern;
    on_signal_.push_back(OnSignal::remove_dir(path_));
}

PrivateTempDir::~PrivateTempDir() {
    on_signal_.clear();
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path PrivateTempDir::file(std::string_view name) {
    std::filesystem::path path = path_ / std::string(name);
    on_signal_.push_back(OnSignal::remove(path));
    return path;
}

bool regular_file_at(const std::filesystem::path& path, Links links) {
    struct stat st;
    const int result = links == Links::Followed ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    return result == 0 && S_ISREG(st.st_mode);
}

std::string read_mode_file(const std::filesystem::path& path) {
    std::string bytes = read_file(path);
    if (!is_valid_utf8(bytes)) throw Error("stream did not contain valid UTF-8");
    return std::string(trim(bytes));
}

std::filesystem::path expand_home(std::string_view text) {
    std::optional<std::string> env = env_var("HOME");
    std::string home = env ? lossy_utf8(*env) : "/";
    if (text == "~" || text == "$HOME") return home;
    if (text.starts_with("~/")) return home + "/" + std::string(text.substr(2));
    if (text.starts_with("$HOME/")) return home + "/" + std::string(text.substr(6));
    return std::string(text);
}

}  // namespace vesk
