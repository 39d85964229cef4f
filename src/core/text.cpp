#include "core/text.hpp"

#include <utf8proc.h>

#include <algorithm>
#include <charconv>
#include <ctime>

namespace vesk {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one character at `i`, advancing `i`. An invalid sequence gives U+FFFD and consumes its
// longest valid prefix (at least one byte), so one bad byte never swallows the good ones after it.
char32_t next_char(std::string_view s, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char b = byte(i);
    if (b < 0x80) {
        ++i;
        return b;
    }
    int need;
    char32_t c;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        c = b & 0x0F;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        c = b & 0x07;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
    } else {
        ++i;
        return kReplacement;
    }
    size_t k = i + 1;
    for (int n = 0; n < need; ++n, ++k) {
        if (k >= s.size()) {
            i = k;
            return kReplacement;
        }
        unsigned char cb = byte(k);
        if (cb < lo || cb > hi) {
            i = k;
            return kReplacement;
        }
        lo = 0x80;
        hi = 0xBF;
        c = (c << 6) | (cb & 0x3F);
    }
    i = k;
    return c;
}

bool is_letter(char32_t c) {
    auto cat = utf8proc_category(static_cast<utf8proc_int32_t>(c));
    return cat >= UTF8PROC_CATEGORY_LU && cat <= UTF8PROC_CATEGORY_LO;
}

std::u32string lower_chars(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    LowerCaseReader reader(text);
    for (char32_t c; reader.next(c);) out += c;
    return out;
}

bool is_wide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2329 && c <= 0x232A) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE10 && c <= 0xFE19) ||
           (c >= 0xFE30 && c <= 0xFE6F) || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6);
}

}  // namespace

char32_t next_utf8_char(std::string_view text, std::size_t& i) { return next_char(text, i); }

bool LowerCaseReader::next(char32_t& out) {
    if (pending_) {
        out = pending_;
        pending_ = 0;
        return true;
    }
    if (i_ >= text_.size()) return false;
    auto b = static_cast<unsigned char>(text_[i_]);
    if (b < 0x80) {  // the common case, without a table lookup
        ++i_;
        prev_letter_ = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
        out = (b >= 'A' && b <= 'Z') ? char32_t(b + 32) : char32_t(b);
        return true;
    }
    char32_t c = next_char(text_, i_);
    if (c == 0x130) {  // İ: the one unconditional mapping to two characters
        out = U'i';
        pending_ = 0x307;
    } else if (c == 0x3A3) {  // Σ at the end of a word is the final sigma
        bool before_letter = false;
        if (i_ < text_.size()) {
            std::size_t peek = i_;
            before_letter = is_letter(next_char(text_, peek));
        }
        out = (prev_letter_ && !before_letter) ? char32_t(0x3C2) : char32_t(0x3C3);
    } else {
        out = static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c)));
    }
    prev_letter_ = is_letter(c);
    return true;
}

std::u32string decode_utf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) out += next_char(text, i);
    return out;
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool is_valid_utf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        size_t start = i;
        char32_t c = next_char(bytes, i);
        // A genuine U+FFFD in the text is three bytes; a replacement for bad input is not.
        if (c == kReplacement && (i - start != 3 || bytes.substr(start, 3) != "\xEF\xBF\xBD")) return false;
    }
    return true;
}

std::string lossy_utf8(std::string_view bytes) {
    if (is_valid_utf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    for (size_t i = 0; i < bytes.size();) append_utf8(out, next_char(bytes, i));
    return out;
}

std::string path_text(const std::filesystem::path& path) { return lossy_utf8(path.native()); }

std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r') --stop;
        lines.emplace_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string_view> split_at_line_feeds(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

bool is_unicode_space(char32_t c) {
    if ((c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85) return true;
    if (c < 0xA0) return false;
    auto cat = utf8proc_category(static_cast<utf8proc_int32_t>(c));
    return cat == UTF8PROC_CATEGORY_ZS || cat == UTF8PROC_CATEGORY_ZL || cat == UTF8PROC_CATEGORY_ZP;
}

std::string_view trim_start(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        size_t j = i;
        if (!is_unicode_space(next_char(text, j))) break;
        i = j;
    }
    return text.substr(i);
}

std::string_view trim_end(std::string_view text) {
    // ASCII at the end needs no decoding (the listings trim every field of every index line).
    while (!text.empty() && static_cast<unsigned char>(text.back()) < 0x80) {
        const char c = text.back();
        if (c != ' ' && (c < 0x09 || c > 0x0D)) return text;
        text.remove_suffix(1);
    }
    // Walk forward, remembering where the last run of white space began.
    size_t end = 0;
    for (size_t i = 0; i < text.size();) {
        char32_t c = next_char(text, i);
        if (!is_unicode_space(c)) end = i;
    }
    return text.substr(0, end);
}

std::string_view trim(std::string_view text) { return trim_end(trim_start(text)); }

bool is_blank(std::string_view text) { return trim(text).empty(); }

std::string to_lower(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : lower_chars(text)) append_utf8(out, c);
    return out;
}

bool is_upper(char32_t c) {
    if (c >= 'A' && c <= 'Z') return true;
    if (c < 0x80) return false;
    return utf8proc_isupper(static_cast<utf8proc_int32_t>(c)) != 0;
}

std::size_t display_width(std::string_view text) {
    std::size_t width = 0;
    for (size_t i = 0; i < text.size();) width += is_wide(next_char(text, i)) ? 2 : 1;
    return width;
}

std::string format_local_time(const char* format) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[128];
    size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, n);
}

std::string timestamp_minute() { return format_local_time("%Y-%m-%d_%H:%M"); }

std::string safe_name(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : decode_utf8(text)) {
        if (c == '/' || c == ':' || c == '\\' || is_unicode_space(c)) out += '-';
        else append_utf8(out, c);
    }
    return out;
}

void push_unique(std::vector<std::string>& list, std::string_view text) {
    if (text.empty()) return;
    if (std::find(list.begin(), list.end(), text) != list.end()) return;
    list.emplace_back(text);
}

std::int32_t parse_i32(std::string_view text, std::int32_t fallback) {
    std::string_view t = trim(text);
    if (t.empty()) return fallback;
    bool negative = false;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (t.empty() || !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) return fallback;
    std::int64_t value = 0;
    for (char c : t) {
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) return fallback;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return fallback;
    return static_cast<std::int32_t>(value);
}

std::optional<std::uint64_t> parse_line_number(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

namespace {

// One character by the popups' own width table (display_width), not the screens' (screen_width).
std::int64_t char_display_width(char32_t c) {
    std::string one;
    append_utf8(one, c);
    return static_cast<std::int64_t>(display_width(one));
}

void wrap_line(std::string_view line, std::int64_t wrap_width, std::vector<std::string>& out) {
    std::string current;
    std::int64_t width = 0;
    auto close = [&] {
        out.emplace_back(trim_end(current));
        current.clear();
        width = 0;
    };
    std::size_t start = 0;
    while (start < line.size()) {
        std::size_t blank = line.find(' ', start);
        std::size_t end = blank == std::string_view::npos ? line.size() : blank + 1;
        std::string_view piece = line.substr(start, end - start);
        start = end;

        std::string_view word = piece;
        while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
        std::int64_t word_width = static_cast<std::int64_t>(display_width(word));
        std::int64_t trailing = piece.size() > word.size() ? 1 : 0;

        if (width != 0 && width + word_width + trailing > wrap_width) close();
        if (word_width > wrap_width) {
            for (char32_t c : decode_utf8(piece)) {
                std::int64_t w = char_display_width(c);
                if (!current.empty() && width + w > wrap_width) close();
                append_utf8(current, c);
                width += w;
            }
        } else {
            current.append(piece);
            width += word_width + trailing;
        }
    }
    close();
}

}  // namespace

std::vector<std::string> wrap_message(std::string_view text, std::int64_t wrap_width) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t nl = text.find('\n', start);
        std::string_view line = text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        wrap_line(line, wrap_width, out);
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
    return out;
}

}  // namespace vesk
