#include "ui/keys.hpp"

#include <gtest/gtest.h>

using namespace vesk::ui;

// Every key in `bytes`, decoded as a reader does once no more input comes.
static std::vector<Key> decode_all(std::string bytes) {
    std::vector<Key> keys;
    while (!bytes.empty()) {
        Decoded d = decode_key(bytes, false);
        if (d.used == 0) d = decode_key(bytes, true);
        if (d.used == 0) return ADD_FAILURE() << "stuck", keys;
        if (d.key) keys.push_back(*d.key);
        bytes.erase(0, d.used);
    }
    return keys;
}

TEST(Keys, DecodesWhatTmuxSends) {
    const std::vector<std::pair<std::string, std::vector<Key>>> cases = {
        {"\x1b[15;2~", {Key::function(5, false, false, true)}},  // S-F5
        {"\x1b\x18", {Key::character('x', true, true)}},          // C-M-x
        {std::string("\0", 1), {Key::character(' ', true)}},      // C-Space
        {"\x7f", {Key::of(KeyCode::Backspace)}},
        {"\x1b[3~", {Key::of(KeyCode::Delete)}},
        {"\x1bOA", {Key::of(KeyCode::Up)}},
        {"\x1b[1;5A", {Key::of(KeyCode::Up, true)}},
        {"\x1b[1;3B", {Key::of(KeyCode::Down, false, true)}},
        {"\r", {Key::of(KeyCode::Enter)}},
        {"\x1b[Z", {Key::of(KeyCode::BackTab, false, false, true)}},
        {"\x12", {Key::character('r', true)}},
        {"\n", {Key::character('j', true)}},
        {"\x1bOP", {Key::function(1)}},
        {"\x1b[24~", {Key::function(12)}},
        {"\x1b[1~", {Key::of(KeyCode::Home)}},
        {"\x1b[F", {Key::of(KeyCode::End)}},
        {"\x1b[6~", {Key::of(KeyCode::PageDown)}},
        {"한", {Key::character(U'한')}},
        {"\x1b" "a", {Key::character('a', false, true)}},
        {"\x1b\x1b", {Key::of(KeyCode::Esc, false, true)}},
        {"\x1b", {Key::of(KeyCode::Esc)}},  // once the escape delay has passed
        // Several keys in one read come out one by one.
        {"\x1b[B\x1b[Bq\r", {Key::of(KeyCode::Down), Key::of(KeyCode::Down), Key::character('q'), Key::of(KeyCode::Enter)}},
        // Mouse and terminal reports, and broken bytes, are consumed without a key.
        {"\x1b[<0;10;5M\x1b[I\x80", {}},
    };
    for (const auto& [bytes, keys] : cases) EXPECT_EQ(decode_all(bytes), keys) << bytes;
    EXPECT_TRUE(decode_all("A")[0].shift);
    // Unfinished input asks for more until the escape delay has passed.
    for (const char* part : {"\x1b", "\x1b[1;5", "\xed\x95"}) EXPECT_EQ(decode_key(part, false).used, 0u) << part;
}
