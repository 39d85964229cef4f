#include "pickers/open_with.hpp"

#include <algorithm>
#include <system_error>

#include "core/command.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/finder.hpp"
#include "pickers/fzf.hpp"
#include "pickers/note_lines.hpp"
#include "pickers/text.hpp"
#include "pickers/tools.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

std::vector<OpenWithEntry> parse_open_with_entries(std::string_view text) {
    std::vector<OpenWithEntry> entries;
    for (const std::string& line : split_lines(text)) {
        std::size_t bar = line.find('|');
        if (bar == std::string::npos) continue;
        std::string command(trim(std::string_view(line).substr(bar + 1)));
        if (command.empty()) continue;
        std::string keyword(trim(std::string_view(line).substr(0, bar)));
        if (keyword.empty()) keyword = command;
        entries.push_back({std::move(keyword), std::move(command)});
    }
    return entries;
}

std::string open_with_picker_lines(const std::vector<OpenWithEntry>& entries) {
    std::size_t longest = 0;
    for (const auto& e : entries) longest = std::max(longest, decode_utf8(e.keyword).size());
    std::string out;
    for (const auto& e : entries) {
        out += pad_chars(e.keyword, longest) + " | " + e.command + "\t" + e.command + "\n";
    }
    return out;
}

std::vector<std::string> open_with_fzf_args(const std::optional<std::string>& last) {
    std::vector<std::string> args = {"--prompt=open> ",      "--height=100%", "--border=rounded",
                                     "--layout=reverse-list", "--no-sort",     "--delimiter=\t",
                                     "--with-nth=1",          "--expect=ctrl-n,esc,ctrl-c",
                                     "--bind=ctrl-d:clear-query"};
    if (last && !last->empty()) {
        args.push_back("--query");
        args.push_back(*last);
    }
    return args;
}

OpenWithPick read_open_with_pick(std::string_view fzf_output) {
    FzfExpect e = split_fzf_expect_output(fzf_output);
    if (e.key == "esc" || e.key == "ctrl-c") return {};
    if (e.key == "ctrl-n") return {OpenWithPick::Kind::EditList, {}};
    if (e.selection.empty()) return {};
    std::size_t tab = e.selection.find('\t');
    if (tab == std::string::npos) return {OpenWithPick::Kind::Again, {}};
    std::string_view field = std::string_view(e.selection).substr(tab + 1);
    field = field.substr(0, field.find('\t'));
    std::string command(trim(field));
    if (command.empty()) return {OpenWithPick::Kind::Again, {}};
    return {OpenWithPick::Kind::Run, std::move(command)};
}

namespace {

std::vector<OpenWithEntry> load_entries(const fs::path& list) {
    std::vector<OpenWithEntry> entries = parse_open_with_entries(read_file(list));
    if (entries.empty()) throw Error("lists/find-file-and-exec.list가 비어있습니다.");
    return entries;
}

}  // namespace

std::optional<std::string> select_open_with_cmd(const std::string& editor, const fs::path& list,
                                                const std::optional<std::string>& last) {
    std::error_code ec;
    if (!fs::is_regular_file(list, ec))
        throw Error("lists/find-file-and-exec.list 파일이 없습니다: " + path_text(list));
    std::vector<OpenWithEntry> entries = load_entries(list);
    for (;;) {
        OpenWithPick pick = read_open_with_pick(run_fzf_picker(open_with_picker_lines(entries), open_with_fzf_args(last)));
        switch (pick.kind) {
            case OpenWithPick::Kind::Cancel: return std::nullopt;
            case OpenWithPick::Kind::Run: return pick.command;
            case OpenWithPick::Kind::Again: break;
            case OpenWithPick::Kind::EditList:
                // The editor's status says nothing about the list; whatever it left is read again.
                Child::spawn(ChildCommand(editor, {path_text(list)})).wait();
                entries = load_entries(list);
                break;
        }
    }
}

ExecRoot open_with_exec_root(const fs::path& file, const std::string& pane_path) {
    // The finder stores absolute paths; a relative one can only mean its directory.
    fs::path absolute = file.is_relative() && !pane_path.empty() ? fs::path(pane_path) / file : file;
    if (absolute.has_parent_path()) {
        std::string top;
        try {
            top = command_output(ChildCommand("git", {"-C", path_text(absolute.parent_path()), "rev-parse",
                                                      "--show-toplevel"}));
        } catch (const std::exception&) {
            // Not in a repository (or no git): the finder's directory below.
        }
        std::error_code ec;
        if (!top.empty() && fs::is_directory(top, ec)) {
            std::string text = path_text(absolute);
            std::string prefix = top.ends_with('/') ? top : top + "/";
            if (text.starts_with(prefix)) text.erase(0, prefix.size());
            return {fs::path(top), text};
        }
    }
    // Without the finder's directory the file's own is the natural place to run in (tmux would
    // otherwise start the split wherever the server was started).
    if (pane_path.empty()) return {absolute.parent_path(), path_text(absolute)};
    return {fs::path(pane_path), path_text(absolute)};
}

bool opens_at_line(std::string_view command) {
    std::string_view first = trim(command);
    first = first.substr(0, std::min(first.size(), first.find_first_of(" \t")));
    std::string_view name = first.substr(first.rfind('/') == std::string_view::npos ? 0 : first.rfind('/') + 1);
    return name == "vim" || name == "nvim" || name == "vi" || name == "view";
}

std::string open_with_command_line(std::string_view command, const fs::path& dir, std::string_view file,
                                   std::optional<std::uint64_t> line) {
    std::string quoted = shell_quote(file_argument(file));
    std::string_view first = trim(command);
    first = first.substr(0, std::min(first.size(), first.find_first_of(" \t")));
    if (first == "code" || first == "code-insiders")
        return std::string(command) + " -r " + shell_quote_path(dir) + " -g " + quoted;
    // A content hit opens at its line in the editors that take "+N".
    if (line && opens_at_line(command)) return std::string(command) + " +" + std::to_string(*line) + " " + quoted;
    return std::string(command) + " " + quoted;
}

void cleanup_find_exec_options(const Tmux& tmux) {
    for (const char* name : {"@find_exec_origin_pane", "@find_exec_pane_path", "@find_exec_is_shell", "@find_exec_file",
                             "@find_exec_file_line"}) {
        try {
            tmux.run({"set-option", "-g", "-u", name});
        } catch (const std::exception&) {
            // Already unset, or the server is gone: nothing is left to clear either way.
        }
    }
}

void finder_open_with() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    prepend_tool_path();
    Tmux tmux;
    const fs::path list = zelt_path(tmux) / "lists" / "find-file-and-exec.list";
    const std::optional<std::string> origin = tmux.get_option_global("@find_exec_origin_pane");
    const std::optional<std::string> pane_path = tmux.get_option_global("@find_exec_pane_path");
    const std::optional<std::string> is_shell = tmux.get_option_global("@find_exec_is_shell");
    const std::optional<std::string> file = tmux.get_option_global("@find_exec_file");
    const std::optional<std::string> file_line = tmux.get_option_global("@find_exec_file_line");
    if (!file) {
        tmux.run({"display-message", "선택된 파일이 없습니다."});
        return;
    }
    const std::optional<std::string> last = tmux.get_option_global("@find_exec_last_entry");
    std::string editor = "vim";
    if (auto visual = env_var("VISUAL")) editor = *visual;
    else if (auto e = env_var("EDITOR")) editor = *e;

    std::optional<std::string> command = select_open_with_cmd(editor, list, last);
    if (!command) return;
    tmux.run({"set-option", "-gq", "@find_exec_last_entry", *command});

    const ExecRoot root = open_with_exec_root(fs::path(*file), pane_path.value_or(""));
    const std::string line = open_with_command_line(*command, root.dir, root.file,
                                                     file_line ? parse_line_number(*file_line) : std::nullopt);
    if (is_shell == "1" && origin) {
        std::string typed = root.dir.empty() ? line : "cd " + shell_quote_path(root.dir) + " && " + line;
        // Typed literally (-l): no word of the line is ever looked up as a key name.
        tmux.run({"send-keys", "-t", *origin, "-l", "--", typed});
        tmux.run({"send-keys", "-t", *origin, "C-m"});
    } else {
        std::vector<std::string> split = {"split-window", "-h"};
        // tmux expands formats in the start directory: a # in it must come through doubled.
        if (!root.dir.empty()) split.insert(split.end(), {"-c", tmux_format_escape(path_text(root.dir))});
        split.push_back("sh -lc " + shell_quote(line));
        tmux.run(split);
    }
    cleanup_find_exec_options(tmux);
}

}  // namespace vesk::pickers
