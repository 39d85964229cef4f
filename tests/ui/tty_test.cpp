#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <chrono>

#include "core/error.hpp"
#include "ui/tty.hpp"

using namespace vesk::ui;
using namespace std::chrono_literals;

namespace {

struct Pty {
    int master = -1, slave = -1;
    Pty() { EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0); }
    ~Pty() {
        if (master >= 0) close(master);
        if (slave >= 0) close(slave);
    }
    void type(const std::string& bytes) const { ASSERT_EQ(write(master, bytes.data(), bytes.size()), (ssize_t)bytes.size()); }
};

}  // namespace

TEST(Tty, RawModeIsUndoneExactly) {
    Pty pty;
    termios before{};
    ASSERT_EQ(tcgetattr(pty.slave, &before), 0);
    {
        RawMode raw(pty.slave);
        termios now{};
        tcgetattr(pty.slave, &now);
        EXPECT_EQ(now.c_lflag & (ICANON | ECHO | ISIG), 0u);
        raw.restore();
        raw.restore();  // a second restore does nothing
    }
    termios after{};
    tcgetattr(pty.slave, &after);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);

    int not_a_tty[2];
    ASSERT_EQ(pipe(not_a_tty), 0);
    EXPECT_THROW(RawMode{not_a_tty[0]}, vesk::SystemError);
    close(not_a_tty[0]);
    close(not_a_tty[1]);
}

TEST(Tty, ReaderTimesOutDecodesAndWaitsOutTheEscapeDelay) {
    Pty pty;
    RawMode raw(pty.slave);
    KeyReader reader(pty.slave);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(reader.next(50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 45ms);

    pty.type("\x1b[Bq");
    auto down = reader.next(1s);
    ASSERT_TRUE(down);
    EXPECT_EQ(down->key, Key::of(KeyCode::Down));
    EXPECT_TRUE(reader.next(1s)->key.is_char('q'));

    // A lone ESC is Esc once the delay has passed; ESC then x at once is Alt-x.
    pty.type("\x1b");
    EXPECT_EQ(reader.next(1s)->key, Key::of(KeyCode::Esc));
    pty.type("\x1bx");
    EXPECT_EQ(reader.next(1s)->key, Key::character('x', false, true));

    // A terminal that hangs up is an error, not a key.
    close(pty.master);
    pty.master = -1;
    EXPECT_THROW(reader.next(1s), vesk::SystemError);
}
