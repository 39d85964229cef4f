// Pieces of vim script that more than one of the scripts handed to vim carry.
#pragma once

#include <string>
#include <string_view>

namespace vesk {

// A script-local function s:<name>(path) that inserts the text of the file `path` at the cursor,
// splitting the current line around it, and leaves the cursor after it. An unreadable file echoes
// `not_found` (no single quotes in it: it stands inside a vim single-quoted string).
std::string vim_insert_file_function(std::string_view name, std::string_view not_found);

// <Leader>o calls s:<name>() from normal mode. Insert mode reaches it through Ctrl-O: with the
// distribution's leader (a blank), an insert-mode mapping would fire on every " o" typed.
std::string vim_leader_o_mapping(std::string_view name);

}  // namespace vesk
