// The finder's text: its mode headers and toggles, the fzf arguments and bindings of the
// multimode picker, and the rule that turns a chosen line back into a file and a line number.
// Pure apart from resolve_multimode_selection, which asks git and the file system.
//
// File names are written into the lines in the notes' escaped form (note_lines.hpp), so that every
// line is one line whatever a name holds; content hits are "file<TAB>line<TAB>text".
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::pickers {

// First line of `finder mf-search`: the content header for "content", else the file-name header.
std::string mf_search_header(std::string_view mode);
// First line of `finder git-search`: the content header for "content", else the list header.
std::string git_search_header(std::string_view git_mode);

// "filename" becomes "content", anything else "filename".
std::string next_mf_mode(std::string_view mode);
// "list" becomes "content", anything else "list".
std::string next_git_mode(std::string_view mode);

// ORIGIN_PANE as the key binding passed it; nothing when empty or an unexpanded "#{pane_id}".
std::optional<std::string> given_origin_pane(const std::optional<std::string>& text);

// Lines of the Open With popup for this many list entries: entries + 6, at most 16.
std::string open_with_popup_height(std::size_t entries);

// The variables through which the picker's bindings reach its state; multimode sets them for fzf,
// so that no path is ever written into a binding's shell text. VESK_PREVIEW_SPAN=file among them
// has the preview show the whole file, or 30 lines from 15 before a hit.
struct MultimodeFiles {
    std::string program;   // vesk, as the bindings call it back
    std::string root;      // the directory searched
    std::string source;    // mf-source: "normal" or "git"
    std::string mode;      // mf-mode: "filename" or "content"
    std::string git_mode;  // mf-git-mode: "list" or "content"
    std::string root_file;      // mf-root: the root, for the preview
    std::string git_root_file;  // the git top level (or the root), for the preview of git lines
};
std::vector<std::pair<std::string, std::optional<std::string>>> multimode_env(const MultimodeFiles& files);

// fzf's arguments for `finder multimode`. Enter prints the chosen line; alt-enter prints
// "alt-enter" before it (--expect), and multimode itself takes the origin pane to the file's
// directory.
std::vector<std::string> multimode_fzf_args();
// The preview: `vesk note preview` on the root (or git top) file, the mode file of the source and
// the line, which fzf passes as one quoted word; its span comes from multimode_env.
std::string multimode_preview_command();

// The file and line a chosen line names, before it is joined to its base: for the git source a
// path relative to the git top level, otherwise relative to the root.
struct MultimodePick {
    std::string file;
    std::optional<std::uint64_t> line;
    bool git = false;
};
std::optional<MultimodePick> multimode_pick(std::string_view source, std::string_view mode, std::string_view git_mode,
                                            std::string_view line);

// The chosen file, absolute, and its line: nothing when the line names no file or the file is not
// a regular file (any more).
struct MultimodeSelection {
    std::filesystem::path path;
    std::optional<std::uint64_t> line;
};
std::optional<MultimodeSelection> resolve_multimode_selection(const std::filesystem::path& root, std::string_view source,
                                                              std::string_view mode, std::string_view git_mode,
                                                              std::string_view line);

}  // namespace vesk::pickers
