#include "ui/screen_width.hpp"

#include <utf8proc.h>

#include "core/text.hpp"

namespace vesk::ui {

int screen_char_width(char32_t c) {
    if (c < 0x20 || (c >= 0x7f && c < 0xa0)) return 0;
    int w = utf8proc_charwidth(static_cast<utf8proc_int32_t>(c));
    return w < 0 ? 0 : w;
}

std::size_t screen_width(std::string_view text) {
    std::size_t w = 0;
    for (char32_t c : decode_utf8(text)) w += static_cast<std::size_t>(screen_char_width(c));
    return w;
}

std::string fit_width(std::string_view text, std::size_t w) {
    if (screen_width(text) <= w) return std::string(text);
    if (w == 0) return {};
    std::string out;
    std::size_t sum = 0;
    for (char32_t c : decode_utf8(text)) {
        std::size_t cw = static_cast<std::size_t>(screen_char_width(c));
        if (sum + cw > w - 1) break;
        sum += cw;
        append_utf8(out, c);
    }
    out += "…";
    return out;
}

std::string pad_width(std::string_view text, std::size_t w) {
    std::string out(text);
    std::size_t width = screen_width(text);
    if (width < w) out.append(w - width, ' ');
    return out;
}

std::string show_controls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : decode_utf8(text)) {
        if (c < 0x20) c = 0x2400 + c;
        else if (c == 0x7f) c = 0x2421;
        else if (c >= 0x80 && c < 0xa0) c = 0xfffd;
        append_utf8(out, c);
    }
    return out;
}

}  // namespace vesk::ui
