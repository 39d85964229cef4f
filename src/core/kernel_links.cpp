#include "core/kernel_links.hpp"

#include <fcntl.h>
#include <limits.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <deque>
#include <string>
#include <string_view>

namespace vesk {

namespace {

constexpr unsigned long kProcMagic = 0x9fa0UL;

// The links a path may pass through, as the kernel counts them (MAXSYMLINKS).
constexpr int kMaxLinks = 40;

unsigned long filesystem_kind(int fd) {
    struct statfs st;
    return ::fstatfs(fd, &st) == 0 ? static_cast<unsigned long>(st.f_type) : 0;
}

// Where the kernel has no openat2, asking again for every file would only cost a failed call each.
std::atomic<bool> no_openat2{false};

// The components of a path text, in order; empty ones and "." name nothing.
void push_components(std::deque<std::string>& parts, std::string_view text) {
    std::deque<std::string> mine;
    while (!text.empty()) {
        const std::size_t slash = text.find('/');
        const std::string_view part = text.substr(0, slash);
        if (!part.empty() && part != ".") mine.emplace_back(part);
        if (slash == std::string_view::npos) break;
        text.remove_prefix(slash + 1);
    }
    parts.insert(parts.begin(), mine.begin(), mine.end());
}

}  // namespace

bool on_generated_filesystem(int fd) {
    switch (filesystem_kind(fd)) {
        case kProcMagic:    // proc
        case 0x62656572UL:  // sysfs
        case 0x64626720UL:  // debugfs
        case 0x74726163UL:  // tracefs
        case 0x27e0ebUL:    // cgroup
        case 0x63677270UL:  // cgroup2
        case 0x73636673UL:  // securityfs
        case 0xcafe4a11UL:  // bpf
            return true;
        default:
            return false;
    }
}

int open_without_magic_links(int at, const char* path, int flags) {
    if (!no_openat2.load(std::memory_order_relaxed)) {
        struct open_how how{};
        how.flags = static_cast<unsigned long long>(flags);
        how.resolve = RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, at, path, &how, sizeof how);
        if (fd >= 0) return static_cast<int>(fd);
        // Older container sandboxes answer EPERM for a call they do not know; the way by hand
        // then meets the same refusal if it was meant.
        if (errno != ENOSYS && errno != EPERM) return -1;
        if (errno == ENOSYS) no_openat2.store(true, std::memory_order_relaxed);
    }
    return open_without_magic_links_by_hand(at, path, flags);
}

int open_without_magic_links_by_hand(int at, const char* path, int flags) {
    const std::string_view text(path);
    if (text.empty()) {
        errno = ENOENT;
        return -1;
    }
    std::deque<std::string> parts;
    push_components(parts, text);
    // The folder reached so far, held without being opened for reading.
    int here = ::openat(text.starts_with('/') ? AT_FDCWD : at, text.starts_with('/') ? "/" : ".",
                        O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (here < 0) return -1;
    auto fail = [&](int e) {
        ::close(here);
        errno = e;
        return -1;
    };
    int links = 0;
    while (!parts.empty()) {
        const std::string part = std::move(parts.front());
        parts.pop_front();
        const int next = ::openat(here, part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) return fail(errno);
        struct stat st;
        if (::fstat(next, &st) != 0) {
            const int e = errno;
            ::close(next);
            return fail(e);
        }
        if (S_ISLNK(st.st_mode)) {
            ::close(next);
            // Read by its text, a per-process link would lead where its text says ("/" for a
            // root): none inside /proc is taken, since they cannot be told from the others.
            if (filesystem_kind(here) == kProcMagic || ++links > kMaxLinks) return fail(ELOOP);
            char target[PATH_MAX];
            const ssize_t size = ::readlinkat(here, part.c_str(), target, sizeof target);
            if (size < 0) return fail(errno);
            if (size == 0 || static_cast<std::size_t>(size) == sizeof target) return fail(size == 0 ? ENOENT : ENAMETOOLONG);
            const std::string_view to(target, static_cast<std::size_t>(size));
            if (to.starts_with('/')) {
                const int top = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
                if (top < 0) return fail(errno);
                ::close(here);
                here = top;
            }
            push_components(parts, to);
            continue;
        }
        if (parts.empty()) {
            // The last step: opened for what the caller asked, as the thing just looked at.
            ::close(next);
            const int fd = ::openat(here, part.c_str(), flags | O_NOFOLLOW);
            return fd >= 0 ? (::close(here), fd) : fail(errno);
        }
        ::close(here);
        here = next;
    }
    // The path ends in a folder ("/", ".", "a/.."): opened as asked.
    const int fd = ::openat(here, ".", flags);
    return fd >= 0 ? (::close(here), fd) : fail(errno);
}

bool reaches_kernel_trees(const std::filesystem::path& path) {
    const int fd = open_without_magic_links(AT_FDCWD, path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP;
    const bool generated = on_generated_filesystem(fd);
    ::close(fd);
    return generated;
}

}  // namespace vesk
