// `log codex-run`, `log codex-status` and `log codex-tail`: the agent run under the pane's mark,
// the report on the marked pane, and following the active log.
#include <cstdio>

#include <fmt/format.h>

#include "agent/codex_log.hpp"
#include "agent/codex_log_reader.hpp"
#include "core/command.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNotice =
    "OpenAI Codex가 시작되었습니다. 'PREFIX C-g' 키를 눌러 로그를 저장할 수 있습니다. 권한 설정하는 것을 잊지 마세요.";

void end_with(int status) {
    if (status != 0) throw ExitCode(status);
}

// Waits for the child with Ctrl-C going to it alone; its status as the command passes it on.
int wait_in_foreground(Child& child) {
    IgnoreInterrupts quiet;
    return passed_on_status(child.wait());
}

// The words of a "list-panes" line after the first blank, trimmed.
std::string_view after_first_word(std::string_view line) {
    for (std::size_t k = 0; k < line.size(); ++k) {
        if (line[k] == ' ' || line[k] == '\t') return trim(line.substr(k + 1));
    }
    return {};
}

std::string pane_report(const Tmux& tmux, const std::string& pane) {
    std::string pipe = tmux.display(pane, "#{pane_pipe}");
    std::string command = tmux.display(pane, "#{pane_current_command}");
    std::string report = fmt::format("pane_id={}\npane_pipe={}\n", pane, pipe);
    for (const char* name : {"@codex_log", "@codex_fifo", "@codex_log_pid"}) append_show_option_line(tmux, pane, name, report);
    report += command;
    report += '\n';
    return report;
}

std::string status_report(const Tmux& tmux) {
    if (!tmux.capture({"has-session"}).status.success()) return "tmux 세션을 찾을 수 없습니다.\n";
    for (const auto& line : split_lines(tmux.output({"list-panes", "-a", "-F", "#{pane_id} #{?@codex_pane,1,0}"}))) {
        std::string_view rest = line;
        std::size_t blank = rest.find(' ');
        if (blank == std::string_view::npos || blank == 0) continue;
        if (trim(rest.substr(blank + 1)) == "1") return pane_report(tmux, line.substr(0, blank));
    }
    std::string panes = tmux.output({"list-panes", "-a", "-F",
                                     "#{session_name}:#{window_index}.#{pane_index} #{pane_id} #{pane_current_command} "
                                     "#{?@codex_pane,1,0}"});
    return fmt::format("Codex pane 표식(@codex_pane=1)이 없습니다.\n현재 pane 목록:\n{}\n", panes);
}

}  // namespace

void log_codex_run(const CodexRunArgs& args) {
    Tmux tmux;
    if (!tmux.option("@zelt")) throw Exit99();
    const std::string program = env_non_empty("CODEX_BIN").value_or("/opt/homebrew/bin/codex");
    std::error_code ec;
    if (!fs::exists(program, ec) && !which(program)) {
        std::fflush(stdout);
        std::fputs(fmt::format("CODEX_BIN 경로를 찾을 수 없습니다: {}\n", program).c_str(), stderr);
        throw ExitCode(127);
    }
    ChildCommand agent(program, args.args);
    const std::optional<std::string> pane = env_non_empty("TMUX_PANE");
    if (!inside_tmux() || !pane) {
        with_context(fmt::format("codex 실행 실패: {}", program), [&] { replace_process(agent); });
    }

    tmux.run({"run-shell", "-b",
              tmux_format_escape(fmt::format("{} popup message modal {}", shell_quote(vesk_bin(tmux)), shell_quote(kNotice)))});
    if (pane_option(tmux, *pane, "@codex_log")) {
        tmux.run({"pipe-pane", "-t", *pane});
        unset_log_options(tmux, *pane);
        display_message(tmux, "Codex log off (auto)");
    }
    tmux.run({"set-option", "-p", "-t", *pane, "@codex_pane", "1"});
    Child child = Child::spawn(agent);
    const int status = wait_in_foreground(child);
    try {
        unset_pane_option(tmux, *pane, "@codex_pane");
    } catch (const std::exception&) {
    }
    end_with(status);
}

void log_codex_status() {
    Tmux tmux;
    const fs::path root = zelt_path(tmux);
    fs::create_directories(root / ".agent");
    const std::string report = status_report(tmux);
    std::fwrite(report.data(), 1, report.size(), stdout);
    write_file_atomically(root / ".agent" / "codex-log-status.txt", report);
    std::fflush(stdout);
}

void log_codex_tail() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const std::string pane = current_pane(tmux);
    std::optional<std::string> log = pane_option(tmux, pane, "@codex_log");
    if (!log) {
        try {
            for (const auto& line : split_lines(tmux.output({"list-panes", "-a", "-F", "#{pane_id} #{@codex_log}"}))) {
                std::string_view path = after_first_word(line);
                if (!path.empty()) {
                    log = std::string(path);
                    break;
                }
            }
        } catch (const std::exception&) {
        }
    }
    if (!log) {
        display_message(tmux, "Active Codex log not found.");
        return;
    }
    std::error_code ec;
    if (!fs::is_regular_file(*log, ec)) {
        display_message(tmux, fmt::format("Codex log file not found: {}", *log));
        return;
    }
    try {
        tmux.output({"set-option", "-p", "-t", pane, "remain-on-exit", "off"});
    } catch (const std::exception&) {
    }
    ChildCommand tail = which("stdbuf") ? ChildCommand("stdbuf", {"-o0", "-e0", "tail"}) : ChildCommand("tail");
    tail.args.insert(tail.args.end(), {"-c", "+1", "-F", "--", *log});
    Child child = Child::spawn(tail);
    const int status = wait_in_foreground(child);
    try {
        tmux.output({"kill-pane", "-t", pane});
    } catch (const std::exception&) {
    }
    end_with(status);
}

}  // namespace vesk::agent
