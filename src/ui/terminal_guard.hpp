// Takes the terminal over for a full-screen screen and gives it back however the screen ends.
#pragma once

#include <string_view>

#include "ui/terminal_signals.hpp"
#include "ui/tty.hpp"

namespace vesk::ui {

// While it lives: the terminal (/dev/tty) is in raw mode and shows the alternate screen, and
// SIGINT, SIGTERM and SIGHUP restore it before ending the process. Destroying it leaves the
// alternate screen, shows the cursor and puts the terminal's modes back, ignoring errors.
// Create it before the Screen and let it go after.
class TerminalGuard {
public:
    // Throws SystemError when the terminal cannot be opened or set up; a failure half-way leaves
    // the terminal as it was (raw mode is undone).
    static TerminalGuard enter();

    TerminalGuard(const TerminalGuard&) = delete;
    TerminalGuard& operator=(const TerminalGuard&) = delete;
    ~TerminalGuard();

    // Gives the terminal back now and reports a failure (SystemError), for callers that must
    // know; the destructor then has nothing left to do.
    void leave();

    int fd() const { return tty_.fd(); }
    // The terminal modes from before raw mode.
    const termios& saved_modes() const { return raw_.saved(); }

private:
    explicit TerminalGuard(Tty tty);
    Tty tty_;
    RawMode raw_;
    SignalRestore signals_;
    bool left_ = false;
};

// Writes all of `bytes` to `fd`; false on failure.
bool write_all(int fd, std::string_view bytes);

}  // namespace vesk::ui
