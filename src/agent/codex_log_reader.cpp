#include "agent/codex_log_reader.hpp"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include <fmt/format.h>

#include "core/command.hpp"
#include "core/env.hpp"
#include "core/files.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

// A switch's value when it is set and valid text.
std::optional<std::string> switch_value(const char* name) {
    auto value = env_var(name);
    if (!value || !is_valid_utf8(*value)) return std::nullopt;
    return value;
}

// CSI sequences (private parameters such as ESC[>4;1m and ESC[?2004h included, bracketed-paste
// marks ESC[200~ and ESC[201~ too), charset designations, the single-character escapes for
// saving the cursor and the keypad modes; then line ends: a terminal ends lines with CR LF, which
// is one line end, and a lone CR (a line redrawn in place) starts a new line.
constexpr std::string_view kStripControls =
    R"( | perl -pe '$|=1; s/\x1b\[[0-?]*[ -\/]*[@-~]//g; s/\x1b[()*+][ -~]//g; s/\x1b[78=>]//g; s/\r+\n/\n/g; s/\r/\n/g; s/\x08//g')";
// OSC sequences (window titles, hyperlinks), ended by BEL or by ESC \ (whose backslash goes too).
constexpr std::string_view kStripOsc = R"( | perl -pe '$|=1; s/\x1b\][^\a\x1b]*(?:\a|\x1b\\)//g')";

std::optional<std::string> command_line_of(pid_t pid) {
    const fs::path proc = fs::path("/proc") / std::to_string(pid) / "cmdline";
    std::error_code ec;
    if (fs::exists("/proc/self/cmdline", ec)) {
        try {
            std::string words = read_file(proc);
            for (char& c : words) {
                if (c == '\0') c = ' ';
            }
            return words;
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    try {
        return command_output(ChildCommand("ps", {"-o", "args=", "-p", std::to_string(pid)}));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

CodexLogSwitches codex_log_switches() {
    CodexLogSwitches switches;
    switches.filter_regex = switch_value("CODEX_LOG_FILTER_REGEX").value_or("");
    switches.strip_ansi = switch_value("CODEX_LOG_STRIP_ANSI").value_or("0") == "1";
    switches.allow_chat_dir = switch_value("CODEX_LOG_ALLOW_CHAT_DIR").value_or("0") == "1";
    switches.guard_tail = switch_value("CODEX_LOG_GUARD_TAIL").value_or("1") == "1";
    return switches;
}

std::string codex_log_project_name(const fs::path& git_root) {
    std::string name = safe_name(path_text(git_root.filename()));
    std::size_t dots = name.find_first_not_of('.');
    name.erase(0, dots == std::string::npos ? name.size() : dots);
    return name.empty() ? "unknown" : name;
}

fs::path codex_log_file(const fs::path& git_root, std::string_view minute) {
    return git_root / ".agent" / "chat" / fmt::format("{}_{}.log", minute, codex_log_project_name(git_root));
}

std::string codex_fifo_name(std::string_view session_name, std::string_view pane_id) {
    while (pane_id.starts_with('%')) pane_id.remove_prefix(1);
    return fmt::format("{}_{}", safe_name(session_name), pane_id);
}

std::string codex_reader_text(const fs::path& fifo, std::string_view filter_regex, bool strip_ansi, bool have_stdbuf) {
    std::string text = (have_stdbuf ? "stdbuf -o0 -e0 cat " : "cat ") + shell_quote_path(fifo);
    if (!filter_regex.empty())
        text += fmt::format(" | awk -v re={} '$0 ~ re {{print; fflush()}}'", shell_quote(filter_regex));
    if (strip_ansi) text += kStripControls;
    text += kStripOsc;
    return text;
}

bool is_codex_reader(pid_t pid, const fs::path& fifo) {
    if (pid <= 1 || ::getpgid(pid) != pid) return false;
    auto words = command_line_of(pid);
    return words && words->find(shell_quote_path(fifo)) != std::string::npos;
}

namespace {

// The process group of `pid`, read from /proc/<pid>/stat (the field after the state, past the
// command name in parentheses, which may itself hold blanks and parentheses).
std::optional<pid_t> process_group_of(const fs::path& proc_dir) {
    std::ifstream in(proc_dir / "stat");
    std::string stat;
    if (!std::getline(in, stat)) return std::nullopt;
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    char state = 0;
    int parent = 0, group = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d %d", &state, &parent, &group) != 3) return std::nullopt;
    return static_cast<pid_t>(group);
}

bool holds_file(const fs::path& proc_dir, dev_t dev, ino_t ino) {
    std::error_code ec;
    for (fs::directory_iterator it(proc_dir / "fd", ec), end; !ec && it != end; it.increment(ec)) {
        struct stat st;
        if (::stat(it->path().c_str(), &st) == 0 && st.st_dev == dev && st.st_ino == ino) return true;
    }
    return false;
}

}  // namespace

std::optional<bool> reader_holds_fifo(pid_t group, const fs::path& fifo) {
    struct stat pipe_st;
    std::error_code ec;
    if (::stat(fifo.c_str(), &pipe_st) != 0 || !fs::is_directory("/proc/self/fd", ec)) return std::nullopt;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        if (process_group_of(it->path()) == group && holds_file(it->path(), pipe_st.st_dev, pipe_st.st_ino))
            return true;
    }
    return false;
}

void stop_codex_reader(std::string_view pid_text, const std::optional<std::string>& fifo) {
    if (!fifo || pid_text.empty() || pid_text.size() > 9) return;
    pid_t pid = 0;
    for (char c : pid_text) {
        if (c < '0' || c > '9') return;
        pid = pid * 10 + (c - '0');
    }
    if (is_codex_reader(pid, *fifo)) ::kill(-pid, SIGTERM);
}

int passed_on_status(const ExitStatus& status) {
    if (auto code = status.code()) return *code;
    if (auto signal = status.signal()) return 128 + *signal;
    return 1;
}

IgnoreInterrupts::IgnoreInterrupts() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGINT, &ignore, &int_);
    ::sigaction(SIGQUIT, &ignore, &quit_);
}

IgnoreInterrupts::~IgnoreInterrupts() {
    ::sigaction(SIGINT, &int_, nullptr);
    ::sigaction(SIGQUIT, &quit_, nullptr);
}

}  // namespace vesk::agent
