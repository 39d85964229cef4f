#include "keybind/keys.hpp"

#include "core/quote.hpp"
#include "core/text.hpp"

namespace vesk::keybind::keys {

namespace {

// Characters that tmux's configuration parser does not take literally somewhere in a bare word:
// '#' starts a comment, ';' ends a command, quotes and '\' quote, braces open and close blocks,
// '~' and '$' expand. Quoting them everywhere in a key is harmless and keeps the rule simple.
bool needs_quoting(std::string_view key) {
    return key.find_first_of("#;\"'\\{}~$") != std::string_view::npos;
}

}  // namespace

std::string quote_key(std::string_view key) {
    if (!needs_quoting(key)) return std::string(key);
    if (key.find('\'') == std::string_view::npos) {
        // Nothing is special inside single quotes, not even '\'.
        return "'" + std::string(key) + "'";
    }
    // Only a key holding a single quote gets here ("'" or "M-'").
    return tmux_double_quote(key);
}

std::string unquote_key(std::string_view word) {
    std::string out;
    std::size_t i = 0;
    while (i < word.size()) {
        char c = word[i];
        if (c == '\'') {
            std::size_t close = word.find('\'', i + 1);
            if (close == std::string_view::npos) return std::string(word);
            out.append(word.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '"') {
            std::size_t j = i + 1;
            bool closed = false;
            while (j < word.size()) {
                if (word[j] == '\\' && j + 1 < word.size()) {
                    out += word[j + 1];
                    j += 2;
                } else if (word[j] == '"') {
                    closed = true;
                    ++j;
                    break;
                } else {
                    out += word[j++];
                }
            }
            if (!closed) return std::string(word);
            i = j;
        } else if (c == '\\' && i + 1 < word.size()) {
            out += word[i + 1];
            i += 2;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

bool word_is_key(std::string_view word, std::string_view key) {
    return word == key || unquote_key(word) == key;
}

std::optional<std::string> to_tmux_key(const ui::Key& key) {
    using ui::KeyCode;
    std::string name;
    switch (key.code) {
    case KeyCode::Char:
        if (key.ch == U' ') name = "Space";
        else if (key.ch < 0x20 || key.ch == 0x7f) return std::nullopt;
        else append_utf8(name, key.ch);
        break;
    case KeyCode::Enter: name = "Enter"; break;
    case KeyCode::Esc: name = "Escape"; break;
    case KeyCode::Backspace: name = "BSpace"; break;
    case KeyCode::Tab: name = "Tab"; break;
    case KeyCode::BackTab: name = "S-Tab"; break;
    case KeyCode::Delete: name = "DC"; break;
    case KeyCode::Insert: name = "IC"; break;
    case KeyCode::Up: name = "Up"; break;
    case KeyCode::Down: name = "Down"; break;
    case KeyCode::Left: name = "Left"; break;
    case KeyCode::Right: name = "Right"; break;
    case KeyCode::Home: name = "Home"; break;
    case KeyCode::End: name = "End"; break;
    case KeyCode::PageUp: name = "PageUp"; break;
    case KeyCode::PageDown: name = "PageDown"; break;
    case KeyCode::F:
        if (key.f <= 0) return std::nullopt;
        name = "F" + std::to_string(key.f);
        break;
    }
    // BackTab already carries its Shift in the name.
    bool shift = key.shift && key.code != KeyCode::Char && key.code != KeyCode::BackTab;
    std::string prefix;
    if (key.ctrl) prefix += "C-";
    if (key.alt) prefix += "M-";
    if (shift) prefix += "S-";
    return prefix + name;
}

}  // namespace vesk::keybind::keys
