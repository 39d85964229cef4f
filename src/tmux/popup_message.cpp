#include "tmux/popup_message.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/signal_cleanup.hpp"
#include "core/quote.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "ui/tty.hpp"
#include "ui/wait_for_key.hpp"

namespace vesk {

namespace fs = std::filesystem;

std::string popup_mode(std::string_view mode) { return mode == "modal" ? "modal" : "popup"; }

std::string popup_title(std::string_view mode) {
    return popup_mode(mode) == "modal" ? "[ ! Message ]" : "[ @ Message ]";
}

std::int64_t popup_percentage(const std::optional<std::string>& value) {
    return value ? parse_i32(*value, 50) : 50;
}

PopupLimits popup_limits(std::int64_t client_width, std::int64_t client_height, std::int64_t width_pct,
                         std::int64_t height_pct) {
    // 64-bit products: a client size times any 32-bit percentage fits.
    return PopupLimits{std::max<std::int64_t>(client_width * width_pct / 100, 20),
                       std::max<std::int64_t>(client_height * height_pct / 100, 5)};
}

namespace {

std::string replace_all(std::string text, std::string_view from, std::string_view to) {
    std::size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
    return text;
}

}  // namespace

std::string split_clauses(std::string_view text) {
    return replace_all(replace_all(std::string(text), ". ", ".\n"), ", ", ",\n");
}

std::int64_t natural_width(const std::vector<std::string>& lines) {
    if (lines.empty()) return 26;
    std::int64_t widest = 0;
    for (const auto& line : lines) widest = std::max(widest, static_cast<std::int64_t>(display_width(line)));
    return std::max<std::int64_t>(widest, 20) + 6;
}

PopupLayout layout_message(std::string_view text, std::int64_t client_width, std::int64_t client_height,
                           std::int64_t width_pct, std::int64_t height_pct) {
    PopupLimits limits = popup_limits(client_width, client_height, width_pct, height_pct);
    PopupLayout layout;
    layout.lines = wrap_message(split_clauses(text), limits.max_width - 4);
    std::int64_t line_count = std::max<std::int64_t>(static_cast<std::int64_t>(layout.lines.size()), 1);
    layout.size.width = std::min({natural_width(layout.lines), limits.max_width, client_width});
    layout.size.height = std::min({line_count + 3, limits.max_height, client_height});
    return layout;
}

namespace {

std::int64_t client_dimension(const Tmux& tmux, const char* format, std::int32_t fallback) {
    try {
        return parse_i32(tmux.output({"display", "-p", format}), fallback);
    } catch (const std::exception&) {
        return fallback;
    }
}

void write_stdout(std::string_view text) {
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) throw_errno();
}

std::uint64_t now_nanoseconds() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count();
    return ns < 0 ? 0 : static_cast<std::uint64_t>(ns);
}

// The message file is created fresh (O_EXCL), so a file or link someone placed under that name in
// a shared temporary directory is never written through.
fs::path write_message_file(const std::vector<std::string>& lines) {
    fs::path path = fs::temp_directory_path() /
                    ("vesk-popup-" + std::to_string(::getpid()) + "-" + std::to_string(now_nanoseconds()) + ".txt");
    std::string body;
    for (const auto& line : lines) body += " " + line + "\n";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) throw_errno(path.string());
    std::string_view rest = body;
    while (!rest.empty()) {
        ssize_t n = ::write(fd, rest.data(), rest.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            std::error_code ec;
            fs::remove(path, ec);
            throw SystemError(err, path.string());
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    ::close(fd);
    return path;
}

}  // namespace

void popup_message(const PopupMessageArgs& args) {
    require_tmux("tmux 세션 안에서만 실행 가능합니다.");
    std::string mode = popup_mode(args.mode);

    std::string text;
    for (std::size_t i = 0; i < args.message.size(); ++i) {
        if (i) text += ' ';
        text += args.message[i];
    }
    if (text.empty()) throw Error("표시할 메시지를 전달하세요.");
    if (running_in_popup()) return show_message_in_place(mode, text);

    Tmux tmux;
    std::int64_t client_width = client_dimension(tmux, "#{client_width}", 80);
    std::int64_t client_height = client_dimension(tmux, "#{client_height}", 24);
    PopupLayout layout = layout_message(text, client_width, client_height,
                                        popup_percentage(tmux.option("@popup_max_width_pct")),
                                        popup_percentage(tmux.option("@popup_max_height_pct")));

    // Ask for the program before writing the file: without @zelt there is no popup to remove it.
    std::string program = vesk_bin(tmux);
    fs::path file = write_message_file(layout.lines);
    // The popup's renderer removes the file once it has read it; a signal that ends this process
    // while tmux shows the popup removes it too.
    OnSignal remove_on_signal = OnSignal::remove(file);
    std::string command = shell_quote(program) + " popup message-render " + shell_quote(mode) + " " +
                          shell_quote_path(file);
    try {
        tmux.run({"display-popup", "-E", "-w", std::to_string(layout.size.width), "-h",
                  std::to_string(layout.size.height), "-x", "C", "-y", "C", "-T", popup_title(mode), "--", command});
    } catch (...) {
        // The popup never ran (or ran and already removed it): do not leave the file behind.
        std::error_code ec;
        fs::remove(file, ec);
        throw;
    }
}

namespace {

// A modal message stays until a key is pressed; any other goes by itself after tmux's
// display-panes-time, or at the first key.
void wait_as_message(std::string_view mode) {
    if (mode == "modal") {
        wait_for_key(std::nullopt);
    } else {
        wait_for_key(display_panes_wait(Tmux().option("display-panes-time")));
    }
}

}  // namespace

std::chrono::milliseconds display_panes_wait(const std::optional<std::string>& option) {
    constexpr std::chrono::milliseconds fallback{1000};
    if (!option) return fallback;
    const std::optional<std::uint64_t> parsed = parse_line_number(trim(*option));
    if (!parsed) return fallback;
    std::uint64_t value = *parsed;
    // Keep the wait representable; nobody waits for a popup longer than a day anyway.
    constexpr std::uint64_t longest = 24ULL * 60 * 60 * 1000;
    if (value > longest) value = longest;
    return std::chrono::milliseconds(std::max<std::uint64_t>(value, 1));
}

void popup_message_render(const PopupMessageRenderArgs& args) {
    try {
        ChildCommand civis("tput", {"civis"});
        Child::spawn(civis).wait();
    } catch (const std::exception&) {
        // Without tput the cursor just stays visible.
    }

    std::error_code ec;
    if (fs::is_regular_file(args.file, ec)) {
        std::string text = read_file(args.file);
        write_stdout(text);
        fs::remove(args.file, ec);
    } else {
        write_stdout("메시지가 없습니다.\n");
    }
    if (std::fflush(stdout) != 0) throw_errno();

    wait_as_message(args.mode);
}

void popup_message_text(std::string_view mode, std::string_view text) {
    PopupMessageArgs args;
    args.mode = std::string(mode);
    args.message = {std::string(text)};
    popup_message(args);
}

void popup_modal(const Tmux& tmux, std::string_view message) {
    if (running_in_popup()) return show_message_in_place("modal", message);
    std::string command = shell_quote(vesk_bin(tmux)) + " popup message modal ";
    // A message starting with '-' would be read as an option by the command line parser.
    if (!message.empty() && message.front() == '-') command += "-- ";
    command += shell_quote(message);
    tmux.run({"display-popup", "-E", "-w", "60%", "-h", "10", "--", command});
}

bool running_in_popup() {
    return inside_tmux() && !env_non_empty("TMUX_PANE") && isatty(STDIN_FILENO);
}

namespace {

void write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw_errno();
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::int64_t terminal_columns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace

void show_message_in_place(std::string_view mode, std::string_view text) {
    // The terminal itself, not standard output: a tool whose output is being read by its caller
    // (`target=$(vesk ...)`) still shows the message to the user.
    ui::Tty tty = ui::Tty::open_device();
    std::int64_t wrap = std::max<std::int64_t>(terminal_columns(tty.fd()) - 4, 16);
    // \r\n: the terminal may still be raw after the tool's own screen.
    std::string body = "\r\n " + popup_title(mode) + "\r\n\r\n";
    for (const auto& line : wrap_message(split_clauses(text), wrap)) body += " " + line + "\r\n";
    write_all(tty.fd(), body);
    wait_as_message(mode);
}

void hold_popup_after_failure() noexcept {
    try {
        if (!running_in_popup() || !isatty(STDOUT_FILENO) || !isatty(STDERR_FILENO)) return;
        std::fputs("\n[아무 키나 누르면 닫힙니다]\n", stderr);
        std::fflush(stderr);
        wait_for_key(std::nullopt);
    } catch (...) {
        // The message is printed already; a popup that cannot be held just closes.
    }
}

}  // namespace vesk
