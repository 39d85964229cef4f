#include "ui/tty.hpp"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include "core/error.hpp"

using namespace vesk::ui;
using namespace std::chrono_literals;

TEST(Tty, RawModeIsUndoneExactlyAndReaderDecodesKeysInTime) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios before{}, now{}, after{};
    tcgetattr(slave, &before);
    {
        RawMode raw(slave);
        tcgetattr(slave, &now);
        EXPECT_EQ(now.c_lflag & (ICANON | ECHO | ISIG), 0u);
        raw.restore();
        raw.restore();  // a second restore does nothing
    }
    tcgetattr(slave, &after);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    EXPECT_THROW(RawMode{pipe_ends[0]}, vesk::SystemError);  // not a terminal
    close(pipe_ends[0]), close(pipe_ends[1]);

    RawMode raw(slave);
    KeyReader reader(slave);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(reader.next(50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 45ms);
    const auto type = [&](const std::string& bytes) { ASSERT_EQ(write(master, bytes.data(), bytes.size()), (ssize_t)bytes.size()); };
    type("\x1b[Bq");
    EXPECT_EQ(reader.next(1s)->key, Key::of(KeyCode::Down));
    EXPECT_TRUE(reader.next(1s)->key.is_char('q'));
    // A lone ESC is Esc once the delay has passed; ESC then x at once is Alt-x.
    type("\x1b");
    EXPECT_EQ(reader.next(1s)->key, Key::of(KeyCode::Esc));
    type("\x1bx");
    EXPECT_EQ(reader.next(1s)->key, Key::character('x', false, true));
    // A terminal that hangs up is an error, not a key.
    close(master);
    EXPECT_THROW(reader.next(1s), vesk::SystemError);
    close(slave);
}
