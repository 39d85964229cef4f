// Puts the terminal back when the process is ended by SIGINT, SIGTERM or SIGHUP while a screen
// or a raw-mode wait holds it: a killed popup must not leave a raw, alternate-screen terminal.
#pragma once

#include <signal.h>
#include <termios.h>

namespace vesk::ui {

// While alive: on SIGINT, SIGTERM or SIGHUP, restores `saved` on `fd` (and leaves the alternate
// screen and shows the cursor when `alternate` is set), then ends the process with status
// 128 + signal. The previous handlers come back on destruction. One is active at a time.
class SignalRestore {
public:
    SignalRestore(int fd, const termios& saved, bool alternate);
    SignalRestore(const SignalRestore&) = delete;
    SignalRestore& operator=(const SignalRestore&) = delete;
    ~SignalRestore();

private:
    struct sigaction old_[3]{};
};

// The bytes that leave the alternate screen, reset colours and show the cursor again.
inline constexpr char leave_screen_sequence[] = "\x1b[0m\x1b[?25h\x1b[?1049l";

}  // namespace vesk::ui
