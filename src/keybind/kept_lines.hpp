// keybindings.conf is also edited by hand. A save writes the file anew from the key-binding
// model, so every line the model does not stand for (a binding for a key the distribution no
// longer has, a note, any other text) would be lost; these are the lines a save carries over.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "keybind/overrides.hpp"

namespace vesk::keybind::overrides {

// The lines of an earlier file text that the entries do not account for, as a block to append
// after render(entries): an empty line, then the lines (blank runs collapsed to one), or "" when
// there are none. Accounted for, and so left out: the two header lines, every bind-key or unbind
// line that matches one of the entries' default bindings (the entries carry its current state)
// and the comment line directly above such a line (its description, written anew).
// A text that is not UTF-8 gives no overrides on loading, so all of its lines are kept.
std::string kept_lines(std::string_view old_text, const std::vector<SaveEntry>& entries);

// The same for the file at `path`: "" when it does not exist. Any other failure to read it
// throws, so that a save never replaces a file it could not read.
std::string kept_lines_of_file(const std::filesystem::path& path, const std::vector<SaveEntry>& entries);

}  // namespace vesk::keybind::overrides
