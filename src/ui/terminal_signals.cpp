#include "ui/terminal_signals.hpp"

#include <unistd.h>

namespace vesk::ui {

namespace {

constexpr int signals[3] = {SIGINT, SIGTERM, SIGHUP};

// Read by the handler: only plain values, set before the handlers go in.
int restore_fd = -1;
termios restore_modes{};
bool restore_alternate = false;

void on_signal(int sig) {
    if (restore_fd >= 0) {
        if (restore_alternate) {
            ssize_t ignored = ::write(restore_fd, leave_screen_sequence, sizeof leave_screen_sequence - 1);
            (void)ignored;
        }
        tcsetattr(restore_fd, TCSANOW, &restore_modes);
    }
    _exit(128 + sig);
}

}  // namespace

SignalRestore::SignalRestore(int fd, const termios& saved, bool alternate) {
    restore_fd = fd;
    restore_modes = saved;
    restore_alternate = alternate;
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigfillset(&sa.sa_mask);
    for (int i = 0; i < 3; ++i) sigaction(signals[i], &sa, &old_[i]);
}

SignalRestore::~SignalRestore() {
    for (int i = 0; i < 3; ++i) sigaction(signals[i], &old_[i], nullptr);
    restore_fd = -1;
}

}  // namespace vesk::ui
