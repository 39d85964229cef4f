#include "pickers/version.hpp"

#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "core/command.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/git.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/fzf.hpp"
#include "pickers/list_files.hpp"
#include "pickers/picker_tmux.hpp"
#include "pickers/text.hpp"
#include "pickers/tools.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

namespace {

// "_$3": the per-session part of the option names; empty when tmux cannot say.
std::string session_suffix(const Tmux& tmux) {
    const std::string id = current_session_id(tmux);
    return id.empty() ? "" : "_" + id;
}

// Reads standard input up to a line end (or its end): the user has read the exit line.
void wait_for_line() {
    char c = 0;
    while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n' && c != '\r') {
    }
}

}  // namespace

std::vector<VersionEntry> parse_version_entries(std::string_view text) {
    std::vector<VersionEntry> entries;
    for (const std::string& raw : split_lines(text)) {
        const std::string_view line = trim(raw);
        if (line.empty() || line.starts_with('#')) continue;
        const std::size_t first = line.find('|');
        if (first == std::string_view::npos) continue;
        const std::size_t second = line.find('|', first + 1);
        VersionEntry e;
        e.label = trim(line.substr(0, first));
        e.bin = trim(line.substr(first + 1, second == std::string_view::npos ? second : second - first - 1));
        if (second != std::string_view::npos) e.args = trim(line.substr(second + 1));
        if (e.label.empty()) e.label = e.bin;
        if (e.label.empty()) continue;
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<std::string> version_picker_lines(const std::vector<VersionEntry>& entries) {
    std::vector<std::string> lines;
    for (const auto& e : entries) lines.push_back(e.label + "\t" + e.bin + "\t" + e.args);
    return lines;
}

std::optional<VersionEntry> parse_version_fzf_line(std::string_view line) {
    const std::optional<std::string_view> bin = tab_field(line, 1);
    if (!bin) return std::nullopt;
    return VersionEntry{std::string(trim(*tab_field(line, 0))), std::string(trim(*bin)),
                        std::string(trim(tab_field(line, 2).value_or("")))};
}

std::string version_initial_query(const std::optional<std::string>& last_bin, const std::vector<VersionEntry>& entries) {
    const std::string query = last_bin && !last_bin->empty() ? *last_bin : "nvim";
    for (const auto& e : entries)
        if (e.bin == query) return query;
    return "";
}

std::vector<std::string> version_fzf_args(const std::string& query) {
    // fzf counts --nth within the shown fields: with only the label shown, "--nth=1,2" would never
    // search the program. Both are shown, and fzf searches what it shows.
    return {"--height=100%", "--border=rounded", "--prompt=client> ", "--layout=reverse-list", "--no-sort",
            "--expect=ctrl-n,esc,ctrl-c", "--bind=ctrl-d:clear-query", "--delimiter=\t", "--with-nth=1,2", "--query",
            query};
}

void version_controller() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    prepend_tool_path();
    require_command("git", "버전 컨트롤러: git을 찾을 수 없습니다.");
    Tmux tmux;
    const std::string dir = tmux.display(std::nullopt, "#{pane_current_path}");
    // Not a repository (or not a directory git can enter) gives nothing: said below.
    const std::string root = git_output(dir, {"rev-parse", "--show-toplevel"}).value_or("");
    if (root.empty()) {
        display_message(tmux, "버전 컨트롤러: Git 저장소가 아닙니다.");
        return;
    }
    tmux.run({"set-option", "-gq", "@version_controller_repo_root" + session_suffix(tmux), root});
    tmux.run({"display-popup", "-E", "-w", "45%", "-h", "45%", "-T", "[ Git Porcelain ]", "--",
              shell_quote(vesk_bin(tmux)) + " version run"});
}

void version_run() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    prepend_tool_path();
    require_command("fzf", "버전 컨트롤러: fzf를 찾을 수 없습니다.");
    Tmux tmux;
    const fs::path list = zelt_path(tmux) / "lists" / "git-porcelain.list";
    std::error_code ec;
    if (!fs::is_regular_file(list, ec)) tell_and_fail(tmux, "버전 컨트롤러: lists/git-porcelain.list 파일이 없습니다.");
    const std::string suffix = session_suffix(tmux);
    const std::optional<std::string> last_bin =
        tmux.get_option_global("@version_controller_last_bin" + suffix);

    VersionEntry chosen;
    std::vector<VersionEntry> entries = parse_version_entries(read_file(list));
    std::string query = version_initial_query(last_bin, entries);
    for (;;) {
        const std::vector<std::string> lines = version_picker_lines(entries);
        std::string input;
        for (const auto& line : lines) input += line + "\n";
        const FzfExpect pick = split_fzf_expect_output(run_fzf_picker(input, version_fzf_args(query)));
        if (pick.key == "ctrl-n") {
            edit_list(list);
            entries = parse_version_entries(read_file(list));
            continue;
        }
        if (pick.key == "esc" || pick.key == "ctrl-c" || pick.selection.empty()) return;
        std::optional<VersionEntry> entry = entry_for_picked_line(lines, entries, pick.selection, parse_version_fzf_line);
        if (!entry) return;
        chosen = std::move(*entry);
        break;
    }

    if (chosen.bin.empty()) tell_and_fail(tmux, "버전 컨트롤러: 실행 파일이 비어 있습니다.");
    require_command(chosen.bin, "버전 컨트롤러: 실행 파일을 찾을 수 없습니다: " + chosen.bin);
    tmux.run({"set-option", "-gq", "@version_controller_last_bin" + suffix, chosen.bin});
    tmux.run({"set-option", "-gq", "@version_controller_bin" + suffix, chosen.bin});
    tmux.run({"set-option", "-gq", "@version_controller_args" + suffix, chosen.args});
    tmux.run({"set-option", "-gq", "@version_controller_label" + suffix, chosen.label});

    const std::optional<std::string> root = tmux.get_option_global("@version_controller_repo_root" + suffix);
    if (!root || !fs::is_directory(*root, ec)) {
        display_message(tmux, "버전 컨트롤러: Git 저장소가 아닙니다.");
        return;
    }
    // The window's name and directory are formats: '#' doubled, they arrive as written.
    const std::string name = chosen.label.empty() ? "version-controller" : chosen.label;
    tmux.run({"new-window", "-n", tmux_format_escape(name), "-c", tmux_format_escape(*root),
              shell_quote(vesk_bin(tmux)) + " version exec"});
}

void version_exec() {
    prepend_tool_path();
    require_command("git", "git을 찾을 수 없습니다.");
    const std::string pane = env_non_empty("TMUX_PANE").value_or("");
    const std::string top = git_output(".", {"rev-parse", "--show-toplevel"}).value_or("");
    if (top.empty()) {
        std::fputs("Git 저장소가 아닙니다.\n", stdout);
        throw ExitCode(1);
    }
    if (::chdir(top.c_str()) != 0) throw_errno(top);

    Tmux tmux;
    const std::string suffix = session_suffix(tmux);
    const std::string bin = tmux.get_option_global("@version_controller_bin" + suffix).value_or("");
    const std::string args = tmux.get_option_global("@version_controller_args" + suffix).value_or("");
    if (bin.empty()) {
        std::fputs("버전 컨트롤러가 지정되지 않았습니다.\n", stdout);
        throw ExitCode(1);
    }
    require_command(bin, "버전 컨트롤러 실행 파일을 찾을 수 없습니다: " + bin);

    std::fflush(stdout);
    const ExitStatus status = Child::spawn(ChildCommand("sh", {"-c", args.empty() ? bin : bin + " " + args})).wait();
    if (!status.success()) {
        const int code = status.code().value_or(1);
        std::printf("\n[종료 코드 %d] Enter 또는 마우스 클릭으로 닫기\n", code);
        std::fflush(stdout);
        wait_for_line();
    }
    if (pane.empty()) return;
    try {
        tmux.run({"kill-pane", "-t", pane});
    } catch (const std::exception&) {
        // The window is closing anyway.
    }
}

}  // namespace vesk::pickers
