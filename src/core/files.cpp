#include "core/files.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <system_error>

#include <fmt/format.h>

#include "core/env.hpp"
#include "core/error.hpp"
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
int write_and_close(int fd, std::string_view bytes) {
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

// A new file from the mkostemp `pattern` (which becomes its name) holding `bytes`. A failed write
// removes the file again and gives the errno; a failed create throws.
int write_new_temp(std::string& pattern, std::string_view bytes) {
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) throw_errno();
    int err;
    {
        IgnoreFileSizeSignal guard;
        err = write_and_close(fd, bytes);
    }
    if (err) ::unlink(pattern.c_str());
    return err;
}

}  // namespace

namespace {

// Appends everything left on the descriptor to `out`.
void read_into(int fd, std::string& out) {
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
}

}  // namespace

std::string read_all(int fd) {
    std::string out;
    read_into(fd, out);
    return out;
}

std::string read_file(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw_errno();
    try {
        // Sized once: a large file (the vault index) would otherwise be copied at every growth.
        struct stat st;
        std::string out;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
            out.reserve(static_cast<std::size_t>(st.st_size));
        read_into(fd, out);
        ::close(fd);
        return out;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

FileBytes::FileBytes(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw_errno();
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        void* map = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            map_ = map;
            size_ = static_cast<std::size_t>(st.st_size);
            ::close(fd);
            return;
        }
    }
    try {
        read_into(fd, read_);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

FileBytes::~FileBytes() {
    if (map_) ::munmap(map_, size_);
}

std::optional<std::string> read_text_if_any(const std::filesystem::path& path) {
    // Missing files are the usual case here (a rebuild asks for one user fragment per fragment),
    // so they are answered without raising anything.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {  // a directory, say
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!is_valid_utf8(text)) return std::nullopt;
    return text;
}

void write_file_atomically(const std::filesystem::path& target, std::string_view bytes) {
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) throw SystemError(ec.value());

    std::string temp = (dir / ".tmpXXXXXX").native();
    if (int err = write_new_temp(temp, bytes)) throw SystemError(err, temp);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int e = errno;
        ::unlink(temp.c_str());
        throw Error(fmt::format("파일을 교체하지 못했습니다: {}", SystemError(e).what()));
    }
}

void touch(const std::filesystem::path& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return;
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) throw_errno();
    ::close(fd);
}

bool regular_file_at(const std::filesystem::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool path_lstat_exists(const std::filesystem::path& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) return true;
    int e = errno;
    if (e == ENOENT) return false;
    try {
        throw SystemError(e);
    } catch (...) {
        rethrow_with_context(fmt::format("{} 상태 확인 실패", path_text(path)));
    }
}

TempFile::TempFile(std::string_view bytes) {
    std::string pattern = env_non_empty("TMPDIR").value_or("/tmp") + "/.tmpXXXXXX";
    if (int err = write_new_temp(pattern, bytes)) throw SystemError(err);
    path_ = pattern;
}

TempFile::~TempFile() { ::unlink(path_.c_str()); }

std::filesystem::path temp_state_file(std::string_view prefix, std::string_view contents) {
    std::filesystem::path path = std::filesystem::temp_directory_path() / fmt::format("{}-{}", prefix, ::getpid());
    // The name is predictable and the directory shared: never follow a link someone else put
    // there, and keep the state (queries, modes) to ourselves.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) throw_errno();
    if (int err = write_and_close(fd, contents)) throw SystemError(err);
    return path;
}

std::string read_mode_file(const std::filesystem::path& path) {
    std::string bytes = read_file(path);
    if (!is_valid_utf8(bytes)) throw Error("stream did not contain valid UTF-8");
    return std::string(trim(bytes));
}

std::string read_note_mode(const std::filesystem::path& path) {
    try {
        return read_mode_file(path);
    } catch (const std::exception&) {
        return "filename";
    }
}

std::filesystem::path expand_home(std::string_view text) {
    std::optional<std::string> env = env_var("HOME");
    std::string home = env ? lossy_utf8(*env) : "/";
    if (text == "~" || text == "$HOME") return home;
    if (text.starts_with("~/")) return home + "/" + std::string(text.substr(2));
    if (text.starts_with("$HOME/")) return home + "/" + std::string(text.substr(6));
    return std::string(text);
}

std::string strip_trailing_slash(const std::filesystem::path& path) {
    std::string text = path_text(path);
    while (!text.empty() && text.back() == '/') text.pop_back();
    return text;
}

void move_line_to_bottom(const std::filesystem::path& path, std::string_view line) {
    std::string out;
    for (const auto& l : split_lines(read_file(path))) {
        if (l == line) continue;
        out += l;
        out += '\n';
    }
    out += line;
    out += '\n';
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw_errno();
    if (int err = write_and_close(fd, out)) throw SystemError(err);
}

}  // namespace vesk
