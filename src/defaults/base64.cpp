#include "defaults/base64.hpp"

#include <array>

#include <fmt/format.h>

#include "core/error.hpp"

namespace vesk {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int, 256> make_table() {
    std::array<int, 256> table{};
    for (auto& v : table) v = -1;
    for (size_t i = 0; i < kAlphabet.size(); ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
    return table;
}

constexpr std::array<int, 256> kTable = make_table();

[[noreturn]] void invalid_symbol(unsigned char byte, size_t offset) {
    throw Error(fmt::format("Invalid symbol {}, offset {}.", byte, offset));
}

}  // namespace

std::string decode_base64(std::string_view text) {
    if (text.size() % 4 != 0) throw Error("Invalid input length.");
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t block = 0; block < text.size(); block += 4) {
        const bool last = block + 4 == text.size();
        unsigned value = 0;
        int fill = 0;
        for (size_t i = 0; i < 4; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[block + i]);
            if (c == '=') {
                // '=' only closes the last block, and never stands in the first two places.
                if (!last || i < 2) invalid_symbol(c, block + i);
                ++fill;
                value <<= 6;
                continue;
            }
            if (fill > 0) throw Error("Invalid padding.");
            const int v = kTable[c];
            if (v < 0) invalid_symbol(c, block + i);
            value = (value << 6) | static_cast<unsigned>(v);
        }
        // Bits that the fill leaves over must be zero, or the text was not written by an encoder.
        if ((fill == 1 && (value & 0xFF) != 0) || (fill == 2 && (value & 0xFFFF) != 0)) {
            throw Error(fmt::format("Invalid last symbol {}, offset {}.",
                                    static_cast<unsigned char>(text[block + 3 - fill]), block + 3 - fill));
        }
        out += static_cast<char>((value >> 16) & 0xFF);
        if (fill < 2) out += static_cast<char>((value >> 8) & 0xFF);
        if (fill < 1) out += static_cast<char>(value & 0xFF);
    }
    return out;
}

}  // namespace vesk
