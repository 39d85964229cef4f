// The note commands that build fzf's list: file names or content hits under a mode header, the
// mode switch, and the content search other tools read.
#include <cstdio>
#include <string>

#include "core/files.hpp"
#include "pickers/note.hpp"
#include "pickers/note_files.hpp"
#include "pickers/note_lines.hpp"
#include "pickers/state_files.hpp"
#include "pickers/text.hpp"

namespace vesk::pickers {

namespace {

// fzf reads the list as it comes: the whole text goes out in one write.
void print_all(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

void note_list_command(const NoteListArgs& args) {
    std::string mode = read_note_mode(args.mode_file);
    std::string query = args.query.value_or("");
    std::string out = note_list_header(mode) + "\n";
    if (mode != "content") {
        for (const auto& file : note_files(false)) {
            std::string line = encode_note_name(file);
            if (query.empty() || subsequence_match(query, line)) out += line + "\n";
        }
    } else if (!query.empty()) {
        if (auto hits = rg_content_hits(query, {"--hidden", "-H", "--line-number"})) {
            for (const auto& hit : *hits) out += note_content_line(hit);
        }
    } else {
        for (const auto& file : note_files(true)) out += encode_note_name(file) + "\n";
    }
    print_all(out);
}

void note_toggle_mode(const NoteModeFileArgs& args) {
    std::string next = read_note_mode(args.mode_file) == "filename" ? "content" : "filename";
    write_file_atomically(args.mode_file, next + "\n", 0600);
    print_all(next + "\n");
}

void note_search_content_command(const NoteSearchContentArgs& args) {
    std::error_code ec;
    if (!std::filesystem::is_directory(args.dir, ec)) return;
    std::string out;
    if (args.query && !args.query->empty()) {
        auto hits = rg_content_hits(*args.query, {"-H", "--line-number", "--glob", "!.git/*", "--glob", "!node_modules/*"},
                                    args.dir);
        if (hits) {
            for (const auto& hit : *hits) out += search_content_hit_line(args.dir, hit);
        }
    } else {
        std::string listed_dir;
        for (const auto& path : note_files_below(args.dir, listed_dir)) {
            if (std::filesystem::is_regular_file(path, ec)) out += search_content_file_line(listed_dir, path);
        }
    }
    print_all(out);
}

}  // namespace vesk::pickers
