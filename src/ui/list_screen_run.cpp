// The list screen on the terminal: draw, wait for a key, hand it over, poll what runs meanwhile.
#include "ui/list_screen.hpp"
#include "ui/screen.hpp"

namespace vesk::ui {

void run_list_loop(Screen& screen, const ListLoop& loop) {
    while (true) {
        screen.draw(loop.draw);
        // Without anything running the loop sleeps until a key comes.
        std::optional<std::chrono::milliseconds> timeout;
        if (loop.busy && loop.busy()) timeout = loop.poll_every;
        const std::optional<Event> event = screen.next_event(timeout);
        if (event && event->type == Event::Type::Key && !loop.key(event->key)) return;
        if (loop.poll) loop.poll();
    }
}

}  // namespace vesk::ui
