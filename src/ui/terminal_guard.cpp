#include "ui/terminal_guard.hpp"

#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "core/error.hpp"

namespace vesk::ui {

namespace {
constexpr std::string_view enter_alternate = "\x1b[?1049h";
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

TerminalGuard TerminalGuard::enter() { return TerminalGuard(Tty::open_device()); }

// Members come up in order (terminal, raw mode, signal handlers); when the switch to the
// alternate screen fails, the constructed members undo themselves, raw mode included.
TerminalGuard::TerminalGuard(Tty tty)
    : tty_(std::move(tty)), raw_(tty_.fd()), signals_(tty_.fd(), raw_.saved(), true) {
    if (!write_all(tty_.fd(), enter_alternate)) throw_errno();
}

TerminalGuard::~TerminalGuard() {
    if (left_) return;
    write_all(tty_.fd(), leave_screen_sequence);
    try {
        raw_.restore();
    } catch (...) {
    }
}

void TerminalGuard::leave() {
    if (left_) return;
    left_ = true;
    bool written = write_all(tty_.fd(), leave_screen_sequence);
    int write_error = errno;
    raw_.restore();  // raw mode goes even when the screen could not be switched back
    if (!written) throw SystemError(write_error);
}

}  // namespace vesk::ui
