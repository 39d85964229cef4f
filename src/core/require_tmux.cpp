#include "core/require_tmux.hpp"

#include <cstdio>
#include <cstdlib>

namespace vesk {

void require_tmux(std::string_view message) {
    const char* tmux = std::getenv("TMUX");
    if (tmux && *tmux) return;
    // Whatever the command printed before must not come after the message.
    std::fflush(stdout);
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::exit(1);
}

}  // namespace vesk
