#include "core/files.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <system_error>

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

// A new file from the mkostemp `pattern` (which becomes its name) holding `bytes`, with the
// permission bits `mode` and, when given, the group `group`; `on_signal` removes it when a signal
// ends the process meanwhile. A failed write removes the file again and gives the errno; a failed
// create throws, naming the directory.
int write_new_temp(std::string& pattern, std::string_view bytes, unsigned mode, OnSignal& on_signal,
                   std::optional<gid_t> group = std::nullopt) {
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) throw_errno(path_text(std::filesystem::path(pattern).parent_path()));
    on_signal = OnSignal::remove(pattern);
    // The replaced file's group where we may give it (one we belong to), so that a file shared
    // with a group stays shared; where we may not, the file is still written. Set before the bits,
    // which a change of group may clear.
    if (group && ::fchown(fd, static_cast<uid_t>(-1), *group) != 0) {
        // Not a group of ours: the file keeps ours.
    }
    int err = 0;
    if ((mode != 0600 || group) && ::fchmod(fd, mode) != 0) err = errno;
    if (!err) {
        IgnoreFileSizeSignal guard;
        err = write_then_close(fd, bytes);
    } else {
        ::close(fd);
    }
    if (err) ::unlink(pattern.c_str());
    return err;
}

// The file a user's path stands for: the end of its chain of symbolic links, which need not exist
// yet (a dangling link is written through). A relative link is read from the folder holding it,
// as the kernel does, so nothing is normalised away. As many links as the kernel follows.
std::filesystem::path final_target(const std::filesystem::path& target) {
    std::filesystem::path path = target;
    for (int links = 0;; ++links) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        if (links == 40) throw SystemError(ELOOP, path_text(target));
        std::error_code ec;
        std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec) throw SystemError(ec.value(), path_text(path));
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
}

}  // namespace

std::string read_all(int fd) {
    std::string out;
    char buffer[65536];
    while (true) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw_errno();
        }
        if (n == 0) break;
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
Opened open_regular(const std::filesystem::path& path, std::size_t limit) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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
Opened open_regular_or_throw(const std::filesystem::path& path, std::size_t limit) {
    Opened opened = open_regular(path, limit);
    if (opened.error == -1) throw Error(fmt::format("일반 파일이 아닙니다 ({})", path_text(path)));
    if (opened.error) throw SystemError(opened.error, path_text(path));
    return opened;
}

// Reads to the end, but never past `limit` bytes: a regular file may still grow while it is read
// (or report no size at all, as /proc files do). Returns 0 or the errno.
int read_limited(int fd, std::size_t limit, std::string& out) {
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        if (out.size() + static_cast<std::size_t>(n) > limit) return EFBIG;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

std::string read_file(const std::filesystem::path& path, std::size_t limit) {
    Opened opened = open_regular_or_throw(path, limit);
    std::string out;
    // Sized once: a large file (the vault index) would otherwise be copied at every growth.
    out.reserve(opened.size);
    int error = read_limited(opened.fd, limit, out);
    ::close(opened.fd);
    if (error) throw SystemError(error, path_text(path));
    return out;
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

void write_file_atomically(const std::filesystem::path& target, std::string_view bytes, std::optional<unsigned> mode) {
    // The temporary file goes beside the file really replaced, so that the rename never crosses
    // file systems and a link's target is what changes.
    const std::filesystem::path file = mode ? target : final_target(target);
    unsigned bits = 0;
    std::optional<gid_t> group;
    if (mode) {
        bits = *mode;
    } else if (struct stat st; ::stat(file.c_str(), &st) == 0) {
        bits = st.st_mode & 07777;
        group = st.st_gid;
    } else {
        bits = new_file_mode();
    }

    std::filesystem::path dir = file.parent_path();
    if (dir.empty()) dir = ".";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) throw SystemError(ec.value(), path_text(dir));

    std::string temp = (dir / ".tmpXXXXXX").native();
    OnSignal remove_temp;
    if (int err = write_new_temp(temp, bytes, bits, remove_temp, group)) throw SystemError(err, temp);
    if (::rename(temp.c_str(), file.c_str()) != 0) {
        int e = errno;
        ::unlink(temp.c_str());
        throw Error(fmt::format("파일을 교체하지 못했습니다: {}", SystemError(e, path_text(file)).what()));
    }
}

TempFile::TempFile(std::string_view bytes) {
    std::string pattern = env_non_empty("TMPDIR").value_or("/tmp") + "/.tmpXXXXXX";
    if (int err = write_new_temp(pattern, bytes, 0600, on_signal_)) throw SystemError(err, pattern);
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

bool regular_file_at(const std::filesystem::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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
