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

}  // namespace

TEST(Keys, DecodesWhatTmuxSends) {
    const std::vector<std::pair<std::string, Key>> cases = {
        {"\x1b[15;2~", Key::function(5, false, false, true)},  // S-F5
        {"\x1b\x18", Key::character('x', true, true)},          // C-M-x
        {std::string("\0", 1), Key::character(' ', true)},      // C-Space
        {"\x7f", Key::of(KeyCode::Backspace)},
        {"\x1b[3~", Key::of(KeyCode::Delete)},
        {"\x1bOA", Key::of(KeyCode::Up)},
        {"\x1b[1;5A", Key::of(KeyCode::Up, true)},
        {"\x1b[1;3B", Key::of(KeyCode::Down, false, true)},
        {"\r", Key::of(KeyCode::Enter)},
        {"\x1b[Z", Key::of(KeyCode::BackTab, false, false, true)},
        {"\x12", Key::character('r', true)},
        {"\n", Key::character('j', true)},
        {"\x1bOP", Key::function(1)},
        {"\x1b[24~", Key::function(12)},
        {"\x1b[1~", Key::of(KeyCode::Home)},
        {"\x1b[F", Key::of(KeyCode::End)},
        {"\x1b[6~", Key::of(KeyCode::PageDown)},
        {"한", Key::character(U'한')},
        {"\x1b" "a", Key::character('a', false, true)},
        {"\x1b\x1b", Key::of(KeyCode::Esc, false, true)},
    };
    for (const auto& [bytes, key] : cases) {
        std::vector<Key> keys = decode_all(bytes);
        ASSERT_EQ(keys.size(), 1u) << bytes;
        EXPECT_EQ(keys[0], key) << bytes;
    }
    EXPECT_TRUE(decode_all("A")[0].shift);
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
    EXPECT_TRUE(decode_all("\x1b[<0;10;5M\x1b[I\x80").empty());
}
