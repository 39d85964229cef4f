// Lets a private tmux server parse a configuration before it replaces the user's file.
#pragma once

#include <string_view>

namespace vesk::rebuild {

// Writes the text to a temporary file and has `$TMUX_BIN` (else tmux) parse it on the server
// vesk-rebuild-<pid>. tmux 3.3a's `source-file -n` exits 0 even when the file has errors and
// prints them on standard output, so any error text on either stream is a rejection as well as
// a failure status. Throws "tmux가 설정을 받아들이지 않았습니다: <errors>" on rejection, the
// system error when tmux cannot be started. The temporary file never stays behind.
void check_with_tmux(std::string_view text);

}  // namespace vesk::rebuild
