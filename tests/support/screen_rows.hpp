// The text of a full-screen screen drawn into a cell buffer, as the screen tests compare it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/buffer.hpp"

namespace vesk::test {

// The rows drawn, each without the right border and the blanks before it.
inline std::vector<std::string> screen_rows(const ui::Buffer& buffer) {
    std::vector<std::string> rows;
    for (std::uint16_t y = 0; y < buffer.area().height; ++y) {
        std::string s = buffer.row_text(y);
        if (s.starts_with("│") && s.ends_with("│")) s.erase(s.size() - std::string("│").size());
        while (!s.empty() && s.back() == ' ') s.pop_back();
        rows.push_back(s);
    }
    return rows;
}

}  // namespace vesk::test
