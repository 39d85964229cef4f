// Standard base64 (RFC 4648 alphabet with '+' and '/'), the '=' fill required.
#pragma once

#include <string>
#include <string_view>

namespace vesk {

// The decoded bytes. Throws Error naming the fault: a symbol outside the alphabet (and its
// offset), a length that is not a multiple of four, or a misplaced or missing '=' fill.
std::string decode_base64(std::string_view text);

}  // namespace vesk
