#include "ui/tty.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "core/error.hpp"

namespace vesk::ui {

namespace {

volatile sig_atomic_t resize_seen = 0;

void on_winch(int) { resize_seen = 1; }

}  // namespace

std::optional<Tty> Tty::input() {
    if (isatty(STDIN_FILENO)) return Tty(STDIN_FILENO, false);
    int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    return Tty(fd, true);
}

Tty Tty::open_device() {
    int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw_errno("/dev/tty");
    return Tty(fd, true);
}

Tty::Tty(Tty&& other) noexcept : fd_(other.fd_), owned_(other.owned_) {
    other.fd_ = -1;
    other.owned_ = false;
}

Tty::~Tty() {
    if (owned_ && fd_ >= 0) ::close(fd_);
}

RawMode::RawMode(int fd) : fd_(fd) {
    if (tcgetattr(fd, &saved_) != 0) throw_errno();
    termios raw = saved_;
    cfmakeraw(&raw);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    int rc;
    do rc = tcsetattr(fd, TCSADRAIN, &raw);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) throw_errno();
    active_ = true;
}

RawMode::~RawMode() {
    try {
        restore();
    } catch (...) {
    }
}

void RawMode::restore() {
    if (!active_) return;
    active_ = false;
    int rc;
    do rc = tcsetattr(fd_, TCSADRAIN, &saved_);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) throw_errno();
}

KeyReader::KeyReader(int fd, bool watch_resize) : fd_(fd), watch_resize_(watch_resize) {
    if (watch_resize_) {
        struct sigaction sa {};
        sa.sa_handler = on_winch;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no SA_RESTART: the resize has to interrupt poll()
        sigaction(SIGWINCH, &sa, &old_winch_);
        resize_seen = 0;
    }
}

KeyReader::~KeyReader() {
    if (watch_resize_) sigaction(SIGWINCH, &old_winch_, nullptr);
}

bool KeyReader::fill(int ms) {
    pollfd p{fd_, POLLIN, 0};
    int r = ::poll(&p, 1, ms);
    if (r < 0) {
        if (errno == EINTR || errno == EAGAIN) return false;
        throw_errno();
    }
    if (r == 0) return false;
    if (p.revents & POLLNVAL) throw SystemError(EBADF);
    char buf[256];
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) return false;
        throw_errno();
    }
    // End of input: the terminal has hung up and no key can come any more.
    if (n == 0) throw SystemError(EIO);
    pending_.append(buf, static_cast<size_t>(n));
    return true;
}

std::optional<Event> KeyReader::next(std::optional<std::chrono::milliseconds> timeout) {
    using clock = std::chrono::steady_clock;
    const auto deadline = timeout ? std::optional(clock::now() + *timeout) : std::nullopt;
    while (true) {
        if (watch_resize_ && resize_seen) {
            resize_seen = 0;
            return Event{Event::Type::Resize, {}};
        }
        if (!pending_.empty()) {
            Decoded d = decode_key(pending_, false);
            if (d.used == 0) {
                // The start of a sequence: give the rest the escape delay to arrive.
                if (fill(static_cast<int>(escape_delay.count()))) continue;
                d = decode_key(pending_, true);
            }
            pending_.erase(0, d.used);
            if (d.key) return Event{Event::Type::Key, *d.key};
            continue;
        }
        int ms = -1;
        if (deadline) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - clock::now());
            if (left.count() <= 0) return std::nullopt;
            ms = static_cast<int>(left.count());
        }
        fill(ms);
        if (deadline && pending_.empty() && clock::now() >= *deadline) return std::nullopt;
    }
}

}  // namespace vesk::ui
