// The vault index `.index`: one line "dir | name | title | mtime" per item file, built by walking
// the vault, appended to one line at a time, and read back by the listings and the item commands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::agent {

struct QuillboxIndexEntry {
    std::string dir;    // folder relative to the root, "/"-joined; empty directly in the root
    std::string name;   // file name
    std::string title;  // first non-blank line (trimmed, 100 characters, no '|'), or "(empty)"
    std::uint64_t mtime = 0;  // whole seconds since the epoch; 0 when unknown or before it

    // "{dir} | {name} | {title} | {mtime}", without the line end.
    std::string line() const;
};

// The title of a file whose bytes are `text` (none: unreadable): its first non-blank line among
// the first 20, trimmed, cut to 100 characters, every '|' a blank; "(empty)" when there is none
// or the bytes are not UTF-8.
std::string quillbox_title(const std::optional<std::string_view>& text);

// The entry of `file`, which must lie under `root` (else an error). Nothing for a hidden file, a
// name that is not UTF-8, or a path holding a line break (it would split its index line in two).
// Reading the metadata (links followed) may fail: that is the error.
std::optional<QuillboxIndexEntry> quillbox_index_entry(const std::filesystem::path& root,
                                                      const std::filesystem::path& file);

// Walks `folder` (under `root`, links followed, each folder entered once by device and inode,
// never into /proc, /sys and their kind; any depth) and appends the entries of its files. Hidden
// entries, quillbox-ignore.list, .recent, .index and whatever a pattern matches (by name, then by
// path relative to the root) are skipped; a skipped folder is not entered. A file or folder
// removed between being listed and being read is left out, and so is one whose path is too long
// to open; any other failure to list a folder or read metadata is thrown.
void collect_quillbox_index_entries(const std::filesystem::path& root, const std::filesystem::path& folder,
                                    const std::vector<std::string>& patterns,
                                    std::vector<QuillboxIndexEntry>& entries);

// The text of `.index`: entries ordered by mtime, then by their whole lines bytewise; each line
// ends with "\n".
std::string quillbox_index_text(const std::vector<QuillboxIndexEntry>& entries);

// Lines ordered as the index keeps them: by index_mtime, then bytewise (stable).
void sort_index_lines(std::vector<std::string>& lines);

// Appends the entry of `file` (when it has one) as one line to <root>/.index, created 0666
// (before the umask) when missing.
void append_quillbox_index_entry(const std::filesystem::path& root, const std::filesystem::path& file);

// The path relative to the root that an index line (or a picker line of the same shape) names:
// "{dir}/{name}" of its first two '|'-separated fields trimmed, or the name alone when dir is
// empty; nothing with fewer than two fields.
std::optional<std::string> parse_index_line_for_path(std::string_view line);

// The number after the last '|' (the whole line without one), trimmed, optional '+'; 0 when it
// is empty, not a number or beyond 64 bits.
std::uint64_t index_mtime(std::string_view line);

}  // namespace vesk::agent
