#include "ui/keys.hpp"

#include <utf8proc.h>

#include <string>
#include <vector>

namespace vesk::ui {

Key Key::character(char32_t c, bool ctrl, bool alt) {
    Key k;
    k.code = KeyCode::Char;
    k.ch = c;
    k.ctrl = ctrl;
    k.alt = alt;
    k.shift = utf8proc_isupper(static_cast<utf8proc_int32_t>(c));
    return k;
}

Key Key::of(KeyCode code, bool ctrl, bool alt, bool shift) {
    Key k;
    k.code = code;
    k.ctrl = ctrl;
    k.alt = alt;
    k.shift = shift;
    return k;
}

Key Key::function(int n, bool ctrl, bool alt, bool shift) {
    Key k = of(KeyCode::F, ctrl, alt, shift);
    k.f = n;
    return k;
}

namespace {

constexpr unsigned char ESC = 0x1b;

// Modifier parameter of xterm-style sequences: 1 + (Shift 1 | Alt 2 | Ctrl 4 | Meta 8).
Key with_modifier(Key k, int param) {
    if (param < 2) return k;
    int bits = param - 1;
    k.shift = k.shift || (bits & 1);
    k.alt = k.alt || (bits & 2) || (bits & 8);
    k.ctrl = k.ctrl || (bits & 4);
    return k;
}

// Keys that are one byte, or one UTF-8 character.
Decoded decode_plain(std::string_view b, bool final) {
    unsigned char c = static_cast<unsigned char>(b[0]);
    switch (c) {
    case '\r': return {Key::of(KeyCode::Enter), 1};
    case '\t': return {Key::of(KeyCode::Tab), 1};
    case 0x7f: return {Key::of(KeyCode::Backspace), 1};
    case 0x00: return {Key::character(' ', true), 1};
    default: break;
    }
    // In raw mode the tty no longer turns \r into \n, so \n (0x0a) is what Ctrl-J sends.
    if (c >= 0x01 && c <= 0x1a) return {Key::character(U'a' + (c - 0x01), true), 1};
    if (c >= 0x1c && c <= 0x1f) return {Key::character(U'4' + (c - 0x1c), true), 1};

    size_t len = c < 0x80 ? 1 : (c & 0xe0) == 0xc0 ? 2 : (c & 0xf0) == 0xe0 ? 3 : (c & 0xf8) == 0xf0 ? 4 : 0;
    if (len == 0) return {std::nullopt, 1};  // a stray continuation byte
    if (b.size() < len) {
        if (!final) return {std::nullopt, 0};
        return {std::nullopt, b.size()};
    }
    utf8proc_int32_t cp = -1;
    utf8proc_ssize_t n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(b.data()),
                                          static_cast<utf8proc_ssize_t>(len), &cp);
    if (n <= 0 || cp < 0) return {std::nullopt, 1};
    return {Key::character(static_cast<char32_t>(cp)), static_cast<size_t>(n)};
}

std::optional<Key> tilde_key(int code) {
    switch (code) {
    case 1: case 7: return Key::of(KeyCode::Home);
    case 2: return Key::of(KeyCode::Insert);
    case 3: return Key::of(KeyCode::Delete);
    case 4: case 8: return Key::of(KeyCode::End);
    case 5: return Key::of(KeyCode::PageUp);
    case 6: return Key::of(KeyCode::PageDown);
    default: break;
    }
    if (code >= 11 && code <= 15) return Key::function(code - 10);
    if (code >= 17 && code <= 21) return Key::function(code - 11);
    if (code >= 23 && code <= 26) return Key::function(code - 12);
    if (code == 28 || code == 29) return Key::function(code - 13);
    if (code >= 31 && code <= 34) return Key::function(code - 14);
    return std::nullopt;
}

// A key given by its code point, as in "CSI code ; mod u" and "CSI 27 ; mod ; code ~".
std::optional<Key> codepoint_key(int cp) {
    switch (cp) {
    case 13: return Key::of(KeyCode::Enter);
    case 27: return Key::of(KeyCode::Esc);
    case 9: return Key::of(KeyCode::Tab);
    case 127: case 8: return Key::of(KeyCode::Backspace);
    default: break;
    }
    if (cp < 32 || cp > 0x10ffff) return std::nullopt;
    return Key::character(static_cast<char32_t>(cp));
}

// The final letter that CSI and SS3 sequences share: arrows, Home, End and F1-F4.
std::optional<Key> cursor_or_function_key(char c) {
    switch (c) {
    case 'A': return Key::of(KeyCode::Up);
    case 'B': return Key::of(KeyCode::Down);
    case 'C': return Key::of(KeyCode::Right);
    case 'D': return Key::of(KeyCode::Left);
    case 'H': return Key::of(KeyCode::Home);
    case 'F': return Key::of(KeyCode::End);
    case 'P': return Key::function(1);
    case 'Q': return Key::function(2);
    case 'R': return Key::function(3);
    case 'S': return Key::function(4);
    default: return std::nullopt;
    }
}

// `b` starts after "ESC [".
Decoded decode_csi(std::string_view b, bool final) {
    size_t i = 0;
    while (i < b.size() && static_cast<unsigned char>(b[i]) >= 0x20 && static_cast<unsigned char>(b[i]) <= 0x3f) ++i;
    if (i == b.size()) {
        if (!final) return {std::nullopt, 0};
        if (b.empty()) return {Key::character('[', false, true), 2};
        return {std::nullopt, 2 + b.size()};
    }
    unsigned char fin = static_cast<unsigned char>(b[i]);
    size_t used = 2 + i + 1;
    if (fin < 0x40 || fin > 0x7e) return {std::nullopt, 2 + i};  // broken sequence: drop what we read

    std::vector<int> params;
    bool private_marker = !b.empty() && (b[0] == '<' || b[0] == '=' || b[0] == '>' || b[0] == '?');
    if (private_marker) return {std::nullopt, used};  // mouse and terminal reports: no keys
    {
        int value = -1;
        for (size_t k = 0; k < i; ++k) {
            char ch = b[k];
            if (ch >= '0' && ch <= '9') {
                value = (value < 0 ? 0 : value);
                if (value < 100000000) value = value * 10 + (ch - '0');
            } else if (ch == ';') {
                params.push_back(value);
                value = -1;
            } else if (ch == ':') {
                // Sub-parameters (kitty's shifted keys and event types): keep the first value only.
                while (k + 1 < i && b[k + 1] != ';') ++k;
            }
        }
        params.push_back(value);
    }
    auto param = [&](size_t n, int dflt) { return n < params.size() && params[n] >= 0 ? params[n] : dflt; };
    int mod = param(1, 1);

    std::optional<Key> key = cursor_or_function_key(static_cast<char>(fin));
    switch (fin) {
    case 'Z': key = Key::of(KeyCode::BackTab, false, false, true); break;
    case '~':
        if (param(0, 0) == 27) {
            key = codepoint_key(param(2, -1));
        } else {
            key = tilde_key(param(0, 0));
        }
        break;
    case 'u': key = codepoint_key(param(0, -1)); break;
    default: break;
    }
    if (!key) return {std::nullopt, used};
    return {with_modifier(*key, mod), used};
}

// `b` starts after "ESC O".
Decoded decode_ss3(std::string_view b, bool final) {
    if (b.empty()) {
        if (!final) return {std::nullopt, 0};
        return {Key::character('O', false, true), 2};
    }
    if (b[0] == 'M') return {Key::of(KeyCode::Enter), 3};
    return {cursor_or_function_key(b[0]), 3};
}

}  // namespace

Decoded decode_key(std::string_view b, bool final) {
    if (b.empty()) return {std::nullopt, 0};
    if (static_cast<unsigned char>(b[0]) != ESC) return decode_plain(b, final);
    if (b.size() == 1) {
        if (!final) return {std::nullopt, 0};
        return {Key::of(KeyCode::Esc), 1};
    }
    unsigned char next = static_cast<unsigned char>(b[1]);
    if (next == '[') return decode_csi(b.substr(2), final);
    if (next == 'O') return decode_ss3(b.substr(2), final);
    if (next == ESC) return {Key::of(KeyCode::Esc, false, true), 2};
    // ESC before another key within the escape delay: that key with Alt.
    Decoded rest = decode_plain(b.substr(1), final);
    if (rest.used == 0) return rest;
    if (rest.key) rest.key->alt = true;
    rest.used += 1;
    return rest;
}

}  // namespace vesk::ui
