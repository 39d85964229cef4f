// The ncursesw backend: shows a Buffer on the terminal held by a TerminalGuard and reads its keys.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>

#include "ui/buffer.hpp"
#include "ui/terminal_guard.hpp"
#include "ui/tty.hpp"

namespace vesk::ui {

class Screen {
public:
    // Starts ncurses on the guard's terminal with the cursor hidden. Throws when the terminal
    // type is unknown or the terminal cannot be used.
    explicit Screen(const TerminalGuard& guard);
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;
    ~Screen();

    // The whole screen, following resizes.
    Rect size();
    // One frame: `paint` draws into a blank buffer of the screen's size, which is then shown.
    void draw(const std::function<void(Buffer&)>& paint);
    void show(const Buffer& buffer);
    // The next key or resize; nothing when the timeout passes first.
    std::optional<Event> next_event(std::optional<std::chrono::milliseconds> timeout = std::nullopt);

private:
    int fd_;
    std::FILE* out_ = nullptr;
    std::FILE* in_ = nullptr;
    void* screen_ = nullptr;  // ncurses SCREEN*
    bool direct_colour_ = false;
    KeyReader reader_;
};

// Takes the terminal over, runs `body` on a Screen of it, and gives the terminal back: a failure to
// give it back is thrown, so the caller's result goes with it. On an error from `body` the
// terminal is given back all the same and the error passes on.
void run_full_screen(const std::function<void(Screen&)>& body);

// The colour number a terminal of `colors` colours shows for `c`: -1 for the default colour,
// the RGB value itself on a direct-colour terminal, else the nearest palette entry.
int palette_colour(Color c, int colors, bool direct);

}  // namespace vesk::ui
