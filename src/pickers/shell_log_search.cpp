// The log search: one of the project's logs picked in fzf, then searched live, with the matches in
// context beside.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <system_error>

#include "core/command.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/git.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/fzf.hpp"
#include "pickers/picker_tmux.hpp"
#include "pickers/shell_log.hpp"
#include "pickers/walkers.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

namespace {

// How far back from a log's end its last lines are looked for. tail prints everything after the
// lines it counts back, so a log of one endless line (a sparse gigabyte, a binary dump) would go
// whole into fzf; 2000 shell lines rarely take more than this.
constexpr off_t kTailBytes = off_t{8} << 20;

// The log as the search's programs read it: open, and their standard input. Only a regular file
// (a link followed) is opened: a FIFO among the logs would hang them and a link to /dev/zero never
// ends, and a name opened by each of them in turn could be swapped for one in between.
class OpenLog {
public:
    explicit OpenLog(const std::string& file) : fd_(open_regular_file(file)) {}
    ~OpenLog() { ::close(fd_); }
    OpenLog(const OpenLog&) = delete;
    OpenLog& operator=(const OpenLog&) = delete;
    // Read again from the start: tail counts from where the descriptor stands.
    int rewound() const {
        ::lseek(fd_, 0, SEEK_SET);
        return fd_;
    }
    // At most kTailBytes before the end: tail counts back from its end to where this stands.
    int near_end() const {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        ::lseek(fd_, end > kTailBytes ? end - kTailBytes : 0, SEEK_SET);
        return fd_;
    }

private:
    int fd_;
};

// The log's last lines; a tail that fails is an error.
void print_tail(const OpenLog& log, const char* lines) {
    std::fflush(stdout);
    ChildCommand tail("tail", {"-n", lines});
    tail.stdin_from(log.near_end());
    const ExitStatus status = Child::spawn(tail).wait();
    if (!status.success()) throw Error("command failed: " + status.describe());
}

// rg (else grep) over the log, printing straight to standard output. The query is data: after -e,
// so a query such as "--pre=cmd" is a pattern, never an option.
ExitStatus search(const OpenLog& log, const std::string& query, bool preview) {
    std::fflush(stdout);
    ChildCommand c;
    if (which("rg")) {
        c = ChildCommand("rg", {"-n"});
        if (preview) c.args.insert(c.args.end(), {"--color=always", "-C", "2"});
        else c.args.insert(c.args.end(), {"--no-heading", "--color=never"});
    } else {
        c = ChildCommand("grep", {"-n"});
        if (preview) c.args.insert(c.args.end(), {"-C", "2"});
    }
    c.args.insert(c.args.end(), {"-e", query, "--", "-"});
    c.stdin_from(log.rewound());
    return Child::spawn(c).wait();
}

}  // namespace

void collect_logs(const fs::path& dir, std::vector<fs::path>& out) {
    walk_tree(dir, [&](const fs::path& path, bool is_dir) {
        if (!is_dir && path.extension() == ".log" && regular_file_at(path)) out.push_back(path);
        return is_dir;
    });
}

std::vector<fs::path> log_search_candidates(const fs::path& folder) {
    std::vector<fs::path> logs;
    collect_logs(folder, logs);
    // fs::path compares component by component: ".agent/shell" after ".agent/chat", and reversed
    // the newest time-stamped name of a folder comes first.
    std::stable_sort(logs.begin(), logs.end());
    std::reverse(logs.begin(), logs.end());
    return logs;
}

void log_search_popup() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    require_command("fzf", "fzf를 찾을 수 없습니다.");
    Tmux tmux;
    const std::string pane = origin_pane(tmux);
    const fs::path folder = git_root_or(pane_path_or_zelt(tmux, pane)) / ".agent";
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        display_message(tmux, "로그 폴더가 없습니다: " + path_text(folder));
        return;
    }
    std::string input;
    for (const auto& log : log_search_candidates(folder)) {
        // One candidate a line: a path holding a line feed could not come back whole.
        if (log.native().find('\n') != std::string::npos) continue;
        input += path_text(log) + "\n";
    }
    const std::string chosen(
        trim(run_fzf_picker(input, {"--prompt=log> ", "--height=100%", "--border=rounded", "--bind=ctrl-d:clear-query"})));
    if (chosen.empty()) return;

    const std::string file = shell_quote(chosen);
    const std::string program = shell_quote(vesk_bin(tmux));
    const std::string query = program + " log search-query " + file;
    const std::string preview = program + " log search-preview " + file + " {q}";
    std::vector<std::string> args = {"--phony", "--height=100%", "--border=rounded", "--prompt=search> "};
    for (const char* event : {"start", "change", "ctrl-r", "f5"}) {
        args.emplace_back("--bind");
        args.push_back(std::string(event) + ":reload:" + query + " {q}");
    }
    args.insert(args.end(), {"--bind", "ctrl-d:clear-query", "--header", "file: " + chosen + " (ctrl-r/F5 reload)",
                             "--preview", preview, "--preview-window=right:60%"});
    // A viewer: whatever line the user ends on is not acted upon.
    run_fzf_picker("", args);
}

void log_search_query(const LogSearchArgs& args) {
    if (!args.query || args.query->empty()) return print_tail(OpenLog(args.file), "2000");
    std::optional<OpenLog> log;
    try {
        log.emplace(args.file);
    } catch (const SystemError&) {
        // No such file: as no match, an empty list for fzf. Anything but a regular file is refused.
        return;
    }
    search(*log, *args.query, false);
}

void log_search_preview(const LogSearchArgs& args) {
    const OpenLog log(args.file);
    if (!args.query || args.query->empty()) return print_tail(log, "200");
    if (!search(log, *args.query, true).success()) print_tail(log, "200");
}

}  // namespace vesk::pickers
