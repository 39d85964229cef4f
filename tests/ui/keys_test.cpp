#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/keys.hpp"

using namespace vesk::ui;

namespace {

// Every key in `bytes`, decoded as a reader does once no more input comes.
std::vector<Key> decode_all(std::string bytes) {
    std::vector<Key> keys;
    while (!bytes.empty()) {
        Decoded d = decode_key(bytes, false);
        if (d.used == 0) d = decode_key(bytes, true);
        EXPECT_GT(d.used, 0u);
        if (d.used == 0) break;
        if (d.key) keys.push_back(*d.key);
        bytes.erase(0, d.used);
    }
    return keys;
}

Key one(const std::string& bytes) {
    std::vector<Key> keys = decode_all(bytes);
    EXPECT_EQ(keys.size(), 1u) << bytes;
    return keys.empty() ? Key{} : keys[0];
}

}  // namespace

TEST(Keys, DecodesWhatTmuxSends) {
    EXPECT_EQ(one("\x1b[15;2~"), Key::function(5, false, false, true));  // S-F5
    EXPECT_EQ(one("\x1b\x18"), Key::character('x', true, true));        // C-M-x
    EXPECT_EQ(one(std::string("\0", 1)), Key::character(' ', true));    // C-Space
    EXPECT_EQ(one("\x7f"), Key::of(KeyCode::Backspace));
    EXPECT_EQ(one("\x1b[3~"), Key::of(KeyCode::Delete));
    EXPECT_EQ(one("\x1b[A"), Key::of(KeyCode::Up));
    EXPECT_EQ(one("\x1bOA"), Key::of(KeyCode::Up));
    EXPECT_EQ(one("\x1b[1;5A"), Key::of(KeyCode::Up, true));
    EXPECT_EQ(one("\x1b[1;3B"), Key::of(KeyCode::Down, false, true));
    EXPECT_EQ(one("\r"), Key::of(KeyCode::Enter));
    EXPECT_EQ(one("\t"), Key::of(KeyCode::Tab));
    EXPECT_EQ(one("\x1b[Z"), Key::of(KeyCode::BackTab, false, false, true));
    EXPECT_EQ(one("\x12"), Key::character('r', true));  // C-r
    EXPECT_EQ(one("\x04"), Key::character('d', true));
    EXPECT_EQ(one("\x0c"), Key::character('l', true));
    EXPECT_EQ(one("\n"), Key::character('j', true));
    EXPECT_EQ(one(" "), Key::character(' '));
    EXPECT_EQ(one("\x1bOP"), Key::function(1));
    EXPECT_EQ(one("\x1b[24~"), Key::function(12));
    EXPECT_EQ(one("\x1b[17~"), Key::function(6));
    EXPECT_EQ(one("\x1b[1~"), Key::of(KeyCode::Home));
    EXPECT_EQ(one("\x1b[4~"), Key::of(KeyCode::End));
    EXPECT_EQ(one("\x1b[H"), Key::of(KeyCode::Home));
    EXPECT_EQ(one("\x1b[F"), Key::of(KeyCode::End));
    EXPECT_EQ(one("\x1b[5~"), Key::of(KeyCode::PageUp));
    EXPECT_EQ(one("\x1b[6~"), Key::of(KeyCode::PageDown));
    EXPECT_EQ(one("\x1b[2~"), Key::of(KeyCode::Insert));
}

TEST(Keys, CharactersShiftAndAlt) {
    Key a = one("A");
    EXPECT_TRUE(a.is_char('A'));
    EXPECT_TRUE(a.shift);
    EXPECT_FALSE(one("a").shift);
    EXPECT_EQ(one("한"), Key::character(U'한'));
    EXPECT_FALSE(one("한").shift);
    EXPECT_EQ(one("\x1b" "a"), Key::character('a', false, true));
    EXPECT_EQ(one("\x1b\x1b"), Key::of(KeyCode::Esc, false, true));
}

TEST(Keys, EscapeWaitsForTheRestOfASequence) {
    // Unfinished input asks for more until the escape delay has passed.
    EXPECT_EQ(decode_key("\x1b", false).used, 0u);
    EXPECT_EQ(decode_key("\x1b[1;5", false).used, 0u);
    EXPECT_EQ(decode_key("\xed\x95", false).used, 0u);  // two bytes of 한
    Decoded lone = decode_key("\x1b", true);
    EXPECT_EQ(lone.used, 1u);
    EXPECT_EQ(lone.key, Key::of(KeyCode::Esc));

    // Several keys in one read come out one by one.
    std::vector<Key> keys = decode_all("\x1b[B\x1b[Bq\r");
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0], Key::of(KeyCode::Down));
    EXPECT_TRUE(keys[2].is_char('q'));
    EXPECT_EQ(keys[3], Key::of(KeyCode::Enter));

    // Mouse and terminal reports, and broken bytes, are consumed without a key.
    EXPECT_TRUE(decode_all("\x1b[<0;10;5M").empty());
    EXPECT_TRUE(decode_all("\x1b[I").empty());
    EXPECT_TRUE(decode_all("\x80").empty());
}
