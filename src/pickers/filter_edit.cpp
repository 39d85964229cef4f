#include "pickers/filter_edit.hpp"

#include <cstdio>
#include <system_error>

#include "core/command.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/fzf.hpp"
#include "pickers/tools.hpp"
#include "pickers/walkers.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

std::string numbered_lines(std::string_view text) {
    std::string out;
    std::size_t n = 0;
    for (const std::string& line : split_lines(text)) {
        if (n) out += '\n';
        out += std::to_string(++n) + "\t" + line;
    }
    return out;
}

std::vector<std::string> filter_edit_fzf_args() {
    // Fields split at the TAB: the line is shown exactly as it is (indentation kept), and with
    // no --nth the search covers all of what is shown (--nth counts the fields of the shown text,
    // so "2.." would hide each line's first word from the search).
    return {"--no-sort",         "--height=100%", "--border=rounded",          "--prompt=pattern> ",
            "--bind=start:first", "--delimiter=\t", "--bind=ctrl-d:clear-query", "--with-nth=2.."};
}

std::optional<std::uint64_t> chosen_line_number(std::string_view fzf_output) {
    return parse_line_number(trim(fzf_output.substr(0, fzf_output.find('\t'))));
}

void finder_filter_edit(const FinderFileArgs& args) {
    prepend_tool_path();
    const std::string editor = env_var("VIM_BIN").value_or("vim");
    std::error_code ec;
    if (!fs::is_regular_file(args.file, ec)) {
        std::fputs("파일이 없습니다.\n", stdout);
        throw ExitCode(1);
    }
    require_command(editor, "vim을 찾을 수 없습니다.");
    require_fzf();
    std::optional<std::uint64_t> line =
        chosen_line_number(run_fzf_picker(numbered_lines(read_file(args.file)), filter_edit_fzf_args()));
    if (!line) return;
    // "--": a file named like "+!cmd" or "-x" is a file to vim, never a command or an option.
    Child::spawn(ChildCommand(editor, {"+" + std::to_string(*line), "--", args.file})).wait();
}

std::string filter_edit_dispatch_line(const std::string& program) {
    return "file=$(fzf --bind=ctrl-d:clear-query); [ -n \"$file\" ] && " + shell_quote(program) +
           " finder filter-edit -- \"$file\"; true";
}

bool is_shell_command(std::string_view command) {
    return command == "sh" || command == "bash" || command == "zsh" || command == "fish";
}

void finder_filter_edit_dispatch() {
    require_tmux("tmux 세션에서만 사용할 수 있습니다.");
    Tmux tmux;
    const std::string pane = current_pane(tmux);
    const std::string command = tmux.display(pane, "#{pane_current_command}");
    const std::string line = filter_edit_dispatch_line(vesk_bin(tmux));
    if (is_shell_command(command)) {
        tmux.run({"send-keys", "-t", pane, "-l", "--", line});
        tmux.run({"send-keys", "-t", pane, "Enter"});
        return;
    }
    // Beside the pane, in its directory: fzf lists the files the user was working on.
    std::vector<std::string> split = {"split-window", "-h", "-t", pane};
    const std::string dir = tmux.display(pane, "#{pane_current_path}");
    if (!dir.empty()) split.insert(split.end(), {"-c", tmux_format_escape(dir)});
    split.push_back("sh -c " + shell_quote(line));
    tmux.run(split);
}

fs::path select_file_dir(const fs::path& target) {
    std::error_code ec;
    if (!fs::is_regular_file(target, ec)) return target;
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

bool select_file_keeps(std::string_view name, std::string_view regex) {
    if (regex.empty() || regex == ".*") return true;
    while (regex.starts_with('*')) regex.remove_prefix(1);
    while (regex.ends_with('*')) regex.remove_suffix(1);
    while (regex.starts_with('.')) regex.remove_prefix(1);
    while (regex.ends_with('.')) regex.remove_suffix(1);
    return name.find(regex) != std::string_view::npos;
}

void finder_select_file(const FinderSelectArgs& args) {
    prepend_tool_path();
    require_fzf();
    const fs::path dir = select_file_dir(args.target);
    // rg's own names: rg_files joined each onto the directory.
    const std::size_t prefix = (dir / "").native().size();
    std::string input;
    for (const fs::path& path : rg_files(dir)) {
        const std::string name = path.filename().native();
        // fzf reads one candidate a line and the pick comes back as one line: a name holding a
        // line feed cannot be offered whole, so it is not offered at all.
        if (name.empty() || !is_valid_utf8(name) || path.native().find('\n') != std::string::npos) continue;
        if (!select_file_keeps(name, args.regex)) continue;
        input += path.native().substr(prefix) + "\n";
    }
    std::string chosen = run_fzf_picker(input, {"--bind=ctrl-d:clear-query"});
    if (chosen.empty()) return;
    chosen += '\n';
    std::fwrite(chosen.data(), 1, chosen.size(), stdout);
}

}  // namespace vesk::pickers
