#include "ui/true_colour.hpp"

#include <cstdint>
#include <vector>

// Last: term.h defines macros with everyday names (lines, columns...).
#include <ncursesw/curses.h>
#include <ncursesw/term.h>

namespace vesk::ui {

namespace {

// ncurses' direct-colour convention with the separators every RGB terminal reads (tmux among
// them): numbers below 8 are the basic colours, the rest 0xRRGGBB.
constexpr const char* kSetaf = "\x1b[%?%p1%{8}%<%t3%p1%d%e38;2;%p1%{65536}%/%d;%p1%{256}%/%{255}%&%d;%p1%{255}%&%d%;m";
constexpr const char* kSetab = "\x1b[%?%p1%{8}%<%t4%p1%d%e48;2;%p1%{65536}%/%d;%p1%{256}%/%{255}%&%d;%p1%{255}%&%d%;m";

constexpr int kMagic32 = 01036;  // term(5): the format whose numbers take 32 bits

void put16(std::string& out, int value) {
    out += static_cast<char>(value & 0xff);
    out += static_cast<char>((value >> 8) & 0xff);
}

void put32(std::string& out, int value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((bits >> shift) & 0xff);
}

char* cap(const char* name) { return const_cast<char*>(name); }

}  // namespace

bool wants_true_colour(std::optional<std::string_view> colorterm, bool entry_rgb, bool entry_tc) {
    return entry_rgb || entry_tc || colorterm == "truecolor" || colorterm == "24bit";
}

std::optional<std::string> direct_colour_entry() {
    std::string bools;
    for (int i = 0; boolnames[i] != nullptr; ++i) bools += static_cast<char>(tigetflag(cap(boolnames[i])) > 0);

    std::vector<int> numbers;
    for (int i = 0; numnames[i] != nullptr; ++i) {
        const int value = std::string_view(numnames[i]) == "colors" ? 1 << 24 : tigetnum(cap(numnames[i]));
        numbers.push_back(value < 0 ? -1 : value);
    }

    std::vector<int> offsets;
    std::string table;
    for (int i = 0; strnames[i] != nullptr; ++i) {
        const std::string_view name = strnames[i];
        const char* value = name == "setaf" ? kSetaf : name == "setab" ? kSetab : tigetstr(cap(strnames[i]));
        if (value == nullptr || value == reinterpret_cast<char*>(-1)) {
            offsets.push_back(-1);
            continue;
        }
        offsets.push_back(static_cast<int>(table.size()));
        table += value;
        table += '\0';
    }
    if (table.size() > 0x7fff) return std::nullopt;  // offsets are signed 16-bit

    const std::string names = std::string(kDirectColourTerm) + "|24-bit colours for vesk's screens";
    std::string out;
    put16(out, kMagic32);
    put16(out, static_cast<int>(names.size() + 1));
    put16(out, static_cast<int>(bools.size()));
    put16(out, static_cast<int>(numbers.size()));
    put16(out, static_cast<int>(offsets.size()));
    put16(out, static_cast<int>(table.size()));
    out += names;
    out += '\0';
    out += bools;
    if (out.size() % 2) out += '\0';  // the numbers start on an even byte
    for (int n : numbers) put32(out, n);
    for (int o : offsets) put16(out, o);
    out += table;
    if (out.size() % 2) out += '\0';

    // The extended part: one flag, RGB, whose name is the only entry of its string table.
    put16(out, 1);  // flags
    put16(out, 0);  // numbers
    put16(out, 0);  // strings
    put16(out, 1);  // offsets: the flag's name
    put16(out, 4);  // bytes of the table: "RGB\0"
    out += '\1';
    out += '\0';  // the flags padded to an even count
    put16(out, 0);
    out += std::string_view("RGB\0", 4);
    return out;
}

}  // namespace vesk::ui
