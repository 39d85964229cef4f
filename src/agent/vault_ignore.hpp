// The patterns of files and folders the vault index leaves out, and their wildcard matching.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::agent {

// The vault's own <root>/.lists/quillbox-ignore.list when it is a regular file, else
// <zelt>/lists/quillbox-ignore.list; lines trimmed, blank lines and `#` lines dropped. Never
// fails: a missing or unreadable list is empty.
std::vector<std::string> quillbox_ignore_patterns(const std::filesystem::path& zelt, const std::filesystem::path& root);

// Whole-text match of a pattern, bytewise: `*` any run of bytes, `?` exactly one byte, anything
// else itself. Trailing slashes of the pattern are dropped first ("drafts/" is "drafts").
bool wildcard_match(std::string_view pattern, std::string_view text);

// Whether a pattern skips an entry: the first that matches its name (a name that is not UTF-8
// counts as empty text), else its path relative to the vault root (`rel`, lossy text).
bool quillbox_ignored(const std::vector<std::string>& patterns, std::string_view name, std::string_view rel);

}  // namespace vesk::agent
