// The controlling terminal, its raw mode and the key events read from it.
#pragma once

#include <signal.h>
#include <termios.h>

#include <chrono>
#include <optional>
#include <string>

#include "ui/keys.hpp"

namespace vesk::ui {

// A file descriptor on the terminal, closed on destruction when this object opened it.
class Tty {
public:
    // Standard input when it is a terminal, else /dev/tty; nothing when there is no terminal.
    static std::optional<Tty> input();
    // /dev/tty, read and write: the screens draw there so that standard output stays free for
    // the result (`choice=$(vesk ui select)`). Throws SystemError when there is no terminal.
    static Tty open_device();

    Tty(Tty&& other) noexcept;
    Tty& operator=(Tty&&) = delete;
    Tty(const Tty&) = delete;
    ~Tty();
    int fd() const { return fd_; }

private:
    Tty(int fd, bool owned) : fd_(fd), owned_(owned) {}
    int fd_ = -1;
    bool owned_ = false;
};

// Raw mode of a terminal (no echo, no line editing, no signals from keys, bytes as they come),
// restored on destruction with errors ignored.
class RawMode {
public:
    // Throws SystemError when the terminal's modes cannot be read or set; nothing is changed then.
    explicit RawMode(int fd);
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;
    ~RawMode();
    // Puts the saved modes back; throws SystemError on failure. Later calls do nothing.
    void restore();
    const termios& saved() const { return saved_; }

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

struct Event {
    enum class Type { Key, Resize };
    Type type = Type::Key;
    Key key;
};

// Reads key events from a terminal in raw mode. A lone ESC becomes Esc once no further byte
// arrives within the escape delay.
class KeyReader {
public:
    static constexpr std::chrono::milliseconds escape_delay{25};

    // With `watch_resize`, a terminal resize interrupts the wait and comes back as a Resize event.
    explicit KeyReader(int fd, bool watch_resize = false);
    KeyReader(const KeyReader&) = delete;
    KeyReader& operator=(const KeyReader&) = delete;
    ~KeyReader();

    // The next event; nothing when `timeout` passes first (no timeout: wait as long as it takes).
    // Throws SystemError when the terminal cannot be read or has gone away.
    std::optional<Event> next(std::optional<std::chrono::milliseconds> timeout);

private:
    // Waits up to `ms` (-1: no limit) for input and appends it; false on timeout or interruption.
    bool fill(int ms);
    int fd_;
    bool watch_resize_;
    std::string pending_;
    struct sigaction old_winch_{};
};

}  // namespace vesk::ui
