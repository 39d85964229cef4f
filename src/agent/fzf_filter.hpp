// The lines `fzf --filter QUERY` prints, worked out in this process: the listings that fzf reloads
// on every keystroke filter tens of thousands of lines, and starting fzf for that costs more than
// everything else the listing does.
//
// fzf 0.38's rules, default options: extended search (`'exact`, `^prefix`, `suffix$`, `!not`,
// `a | b`), smart case per term, accented Latin letters matched by their base letter, the
// "default" scoring scheme, and the order score (best first), then length without surrounding
// blanks (shortest first), then input order.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace vesk {

// Positions of the matching lines, in the order fzf prints them. An empty query (blanks only)
// keeps every line in input order.
std::vector<std::size_t> fzf_filter_order(std::span<const std::string_view> lines, std::string_view query);

}  // namespace vesk
