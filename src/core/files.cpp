#include "core/files.hpp"

#include <fcntl.h>
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

// A new file from the mkostemp `pattern` (which becomes its name) holding `bytes`. A failed write
// removes the file again and gives the errno; a failed create throws.
int write_new_temp(std::string& pattern, std::string_view bytes) {
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) throw_errno();
    int err;
    {
        IgnoreFileSizeSignal guard;
        err = write_then_close(fd, bytes);
    }
    if (err) ::unlink(pattern.c_str());
    return err;
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

std::string read_file(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw_errno();
    try {
        std::string out = read_all(fd);
        ::close(fd);
        return out;
    } catch (...) {
        ::close(fd);
        throw;
    }
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

TempFile::TempFile(std::string_view bytes) {
    std::string pattern = env_non_empty("TMPDIR").value_or("/tmp") + "/.tmpXXXXXX";
    if (int err = write_new_temp(pattern, bytes)) throw SystemError(err);
    path_ = pattern;
}

TempFile::~TempFile() { ::unlink(path_.c_str()); }

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
