// fzf's folding of accented and other Latin letters to plain ones.
#pragma once

namespace vesk {

// The plain ASCII letter fzf matches `c` as, or `c` itself.
char32_t fzf_normalize(char32_t c);

}  // namespace vesk
