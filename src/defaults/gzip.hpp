// Inflating one gzip member (zlib).
#pragma once

#include <string>
#include <string_view>

namespace vesk {

// The content of the single gzip member `bytes`. Throws Error when the header or the deflate
// stream is corrupt, the checksum fails, the stream ends early or bytes follow the member.
std::string gunzip(std::string_view bytes);

}  // namespace vesk
