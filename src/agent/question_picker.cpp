#include "agent/question_picker.hpp"

#include <algorithm>
#include <cstdio>
#include <limits>

#include <fmt/format.h>

#include "agent/preview.hpp"
#include "agent/text.hpp"
#include "agent/tidewell.hpp"
#include "core/command.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/file_preview.hpp"
#include "pickers/fzf.hpp"
#include "pickers/note_lines.hpp"
#include "pickers/walkers.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kDefaultPreviewHeight = 40;

bool is_folder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

std::vector<fs::path> md_files(const fs::path& dir) {
    std::vector<fs::path> files;
    visit_files(dir, find_md_files(files));
    return files;
}

// `rg -l` over the folder; a folder without a hit gives no paths.
std::vector<fs::path> rg_hits(const fs::path& dir, std::string_view query) {
    ChildCommand rg("rg", {"-l", "--null", "--smart-case", "--no-messages", "--", std::string(query), dir.native()});
    rg.in = Stdio::Null;
    rg.out = Stdio::Pipe;
    rg.err = Stdio::Null;
    std::vector<fs::path> paths;
    for (std::string& name : pickers::split_nul_entries(run_child(rg).out)) paths.emplace_back(std::move(name));
    return paths;
}

std::vector<fs::path> questions_matching(const fs::path& dir, std::string_view query) {
    if (query.empty()) return md_files(dir);
    if (which("rg")) return rg_hits(dir, query);
    std::vector<fs::path> hits;
    for (auto& path : md_files(dir)) {
        if (smart_case_contains(read_text_if_any(path).value_or(""), query)) hits.push_back(std::move(path));
    }
    return hits;
}

void print(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

std::string question_list_command(const std::string& program, const fs::path& folder) {
    return fmt::format("{} tidewell question-list {}", program, shell_quote_path(folder));
}

std::string question_preview_command(const std::string& program) {
    return fmt::format("{} tidewell question-preview {{2}} {{q}}", program);
}

std::vector<std::string> question_bindings(const std::string& list_command) {
    std::vector<std::string> args;
    for (const char* event : {"start", "change", "ctrl-r", "f5"}) {
        args.emplace_back("--bind");
        args.push_back(fmt::format("{}:reload:{} {{q}}", event, list_command));
    }
    args.emplace_back("--bind");
    args.push_back(fmt::format("ctrl-x:execute-silent(rm -f -- {{2}})+reload:{} {{q}}", list_command));
    args.emplace_back("--bind");
    args.emplace_back("ctrl-d:clear-query");
    return args;
}

std::string row_path(std::string_view row) {
    std::size_t tab = row.find('\t');
    if (tab == std::string_view::npos) return "";
    std::string_view rest = row.substr(tab + 1);
    return std::string(rest.substr(0, rest.find('\t')));
}

QuestionChoice question_choice(std::optional<int> code, std::string_view output) {
    if (code == 2) throw Error("fzf가 실패했습니다: exit status: 2");
    // Over an empty list (a project without questions, a query matching nothing) fzf ends with 1
    // whatever the key, still naming it: Enter there is the wish to write the first question.
    if (code != 0 && code != 1) return {QuestionChoice::Cancelled, {}};
    auto lines = split_lines(output);
    std::string key = lines.empty() ? "" : lines[0];
    if (key == "esc" || key == "ctrl-c") return {QuestionChoice::Cancelled, {}};
    if (key == "ctrl-n" || lines.size() < 2) return {QuestionChoice::NewQuestion, {}};
    std::string path = row_path(lines[1]);
    if (path.empty()) return {QuestionChoice::NewQuestion, {}};
    return {QuestionChoice::Picked, path};
}

QuestionChoice select_existing_question(const std::string& program, const fs::path& folder, std::string_view project) {
    if (!which("fzf")) return {QuestionChoice::NewQuestion, {}};
    std::vector<std::string> args = {"--phony",
                                     "--height=100%",
                                     "--border=rounded",
                                     fmt::format("--prompt={}> ", project),
                                     "--expect=esc,ctrl-c,ctrl-n",
                                     "--delimiter=\t",
                                     "--with-nth=1"};
    auto binds = question_bindings(question_list_command(program, folder));
    args.insert(args.end(), binds.begin(), binds.end());
    args.insert(args.end(), {"--preview", question_preview_command(program), "--preview-window=right:48%:wrap"});
    FzfRun run = run_fzf_with_input_status("", args);
    return question_choice(run.code, run.output);
}

std::string question_row(const fs::path& path) {
    std::string title;
    // Only the first line is wanted: a question file of a gigabyte is not read whole for it.
    FileHead head;
    try {
        head = read_file_head(path, kTitleBytes);
    } catch (const std::exception&) {
    }
    std::string_view first = head.bytes;
    first = first.substr(0, first.find('\n'));
    while (first.ends_with('\r')) first.remove_suffix(1);
    if (is_valid_utf8(first)) {
        // A tab in the title would make part of it the row's path field, which the picker's
        // delete binding hands to rm.
        for (char32_t c : decode_utf8(first)) append_utf8(title, c < 0x20 || c == 0x7f ? U' ' : c);
    }
    return fmt::format("{}\t{}\n", title, path_text(path));
}

void sort_paths_reverse(std::vector<fs::path>& paths) {
    std::stable_sort(paths.begin(), paths.end(), [](const fs::path& a, const fs::path& b) { return b < a; });
}

std::uint64_t preview_height(const std::optional<std::string>& value) {
    if (!value) return kDefaultPreviewHeight;
    return parse_line_number(*value).value_or(kDefaultPreviewHeight);
}

PreviewWindow preview_window_around(std::uint64_t line, std::uint64_t height) {
    std::uint64_t half = height / 2;
    std::uint64_t first = line >= half ? line - half : 0;
    if (first < 2) first = 1;
    std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - first;
    return {first, first + std::min(height == 0 ? 0 : height - 1, room)};
}

void tidewell_question_list(const QuestionListArgs& args) {
    fs::path dir(args.dir);
    if (!is_folder(dir)) return;
    std::vector<fs::path> paths = questions_matching(dir, args.query.value_or(""));
    sort_paths_reverse(paths);
    std::string out;
    for (const auto& path : paths) out += question_row(path);
    print(out);
}

void tidewell_question_preview(const QuestionPreviewArgs& args) {
    fs::path file(args.file);
    // The hit is looked for as far as the preview can show it.
    const std::optional<FileHead> head = preview_head(file);
    if (!head) return;
    std::uint64_t height = preview_height(env_var("FZF_PREVIEW_LINES"));
    if (height == 0) return;
    std::string query = args.query.value_or("");
    if (!query.empty()) {
        auto lines = split_lines(lossy_utf8(head->bytes));
        for (std::size_t k = 0; k < lines.size(); ++k) {
            if (!smart_case_contains(lines[k], query)) continue;
            PreviewWindow window = preview_window_around(k + 1, height);
            show_range(file, k + 1, LineRange{window.first, window.last});
            return;
        }
    }
    show_range(file, std::nullopt, LineRange{1, height});
}

void tidewell_question_select(const QuestionSelectArgs& args) {
    fs::path dir(args.dir);
    if (!is_folder(dir)) return;
    if (!which("fzf")) return;
    const std::string program = shell_quote(vesk_bin(Tmux()));
    std::vector<std::string> fzf = {"--phony", "--height=100%", "--border=rounded", "--prompt=filter> ",
                                    "--delimiter=\t", "--with-nth=1"};
    auto binds = question_bindings(question_list_command(program, dir));
    fzf.insert(fzf.end(), binds.begin(), binds.end());
    fzf.insert(fzf.end(), {"--preview", question_preview_command(program), "--preview-window", "right:60%:wrap"});
    std::string chosen = run_fzf_picker("", fzf);
    if (trim(chosen).empty()) return;
    print(row_path(split_lines(chosen).front()));
}

}  // namespace vesk::agent
