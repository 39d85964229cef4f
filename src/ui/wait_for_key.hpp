// Keeps a message on screen until the user presses a key, or for a while.
#pragma once

#include <chrono>
#include <optional>

namespace vesk {

// Puts the terminal into raw mode (no alternate screen: the message stays visible), waits and
// leaves raw mode again; a failure to leave it is thrown as SystemError.
// Without a timeout: waits for Backspace, Enter, Esc or a character key; other keys are skipped.
// With a timeout: waits at most that long and consumes the one event that comes.
// The keys are read from standard input when it is a terminal, else from /dev/tty. With no
// terminal at all no key can ever arrive: a timed wait just sleeps, an untimed one returns at once
// rather than hang forever.
void wait_for_key(std::optional<std::chrono::milliseconds> timeout);

}  // namespace vesk
