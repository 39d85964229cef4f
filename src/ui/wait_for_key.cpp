#include "ui/wait_for_key.hpp"

#include <thread>

#include "core/error.hpp"
#include "ui/terminal_signals.hpp"
#include "ui/tty.hpp"

namespace vesk {

namespace {

bool ends_untimed_wait(const ui::Key& key) {
    switch (key.code) {
    case ui::KeyCode::Backspace:
    case ui::KeyCode::Enter:
    case ui::KeyCode::Esc:
    case ui::KeyCode::Char: return true;
    default: return false;
    }
}

}  // namespace

void wait_for_key(std::optional<std::chrono::milliseconds> timeout) {
    std::optional<ui::Tty> tty = ui::Tty::input();
    if (!tty) {
        if (timeout) std::this_thread::sleep_for(*timeout);
        return;
    }
    std::optional<ui::RawMode> raw;
    try {
        raw.emplace(tty->fd());
    } catch (const SystemError&) {
        // Waiting still works without raw mode, only a key then needs Enter to arrive.
    }
    {
        // A popup closed by tmux (SIGHUP) or a kill must not leave the terminal raw behind it.
        std::optional<ui::SignalRestore> on_signal;
        if (raw) on_signal.emplace(tty->fd(), raw->saved(), false);
        ui::KeyReader reader(tty->fd());
        try {
            if (timeout) {
                reader.next(*timeout);
            } else {
                while (true) {
                    std::optional<ui::Event> event = reader.next(std::nullopt);
                    if (event && event->type == ui::Event::Type::Key && ends_untimed_wait(event->key)) break;
                }
            }
        } catch (const SystemError&) {
            // A terminal that cannot be read (or has hung up) will never deliver the key:
            // stop waiting instead of spinning on the error.
        }
    }
    if (raw) raw->restore();
}

}  // namespace vesk
