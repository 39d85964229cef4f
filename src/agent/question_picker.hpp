// The question picker: fzf over a project folder's question files, listing and previewing them by
// calling the program back (`tidewell question-list`, `tidewell question-preview`).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::agent {

struct QuestionChoice {
    enum Kind { Picked, NewQuestion, Cancelled } kind = NewQuestion;
    std::string path;  // Picked only
};

// Runs the picker for `chat-popup`: a picked question, a new one (ctrl-n, Enter on an empty list,
// no fzf), or cancelled (Esc, ctrl-c). `program` is the quoted program.
QuestionChoice select_existing_question(const std::string& program, const std::filesystem::path& folder,
                                        std::string_view project);

// The pieces, pure.

// fzf's list and preview commands for the folder.
std::string question_list_command(const std::string& program, const std::filesystem::path& folder);
std::string question_preview_command(const std::string& program);
// The --bind arguments both pickers share, each with its "--bind" before it.
std::vector<std::string> question_bindings(const std::string& list_command);
// What fzf's ending (exit code, output) means for `chat-popup`. Exit 2 (fzf itself failed) throws.
QuestionChoice question_choice(std::optional<int> code, std::string_view output);
// The path field of a picker row: between the first and the second tab, else after the first.
std::string row_path(std::string_view row);

// A row: the title (the first line without trailing carriage returns, tabs and other control
// characters shown as blanks so that the path stays the second field), a tab, the path.
std::string question_row(const std::filesystem::path& path);
// Newest first: descending by path components, equal paths in their order.
void sort_paths_reverse(std::vector<std::filesystem::path>& paths);
// FZF_PREVIEW_LINES read as an unsigned decimal (one leading '+' allowed); 40 otherwise.
std::uint64_t preview_height(const std::optional<std::string>& value);
// The lines a preview shows around a hit on `line` (1-based).
struct PreviewWindow {
    std::uint64_t first = 1;
    std::uint64_t last = 1;
};
PreviewWindow preview_window_around(std::uint64_t line, std::uint64_t height);

}  // namespace vesk::agent
