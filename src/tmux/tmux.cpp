#include "tmux/tmux.hpp"

#include <unistd.h>

#include <cstdio>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"

namespace vesk {

namespace {

[[noreturn]] void throw_failed(const ExitStatus& status) {
    throw Error("tmux command failed: " + status.describe());
}

std::optional<std::string> non_empty(std::string value) {
    if (value.empty()) return std::nullopt;
    return value;
}

// An option query whose failure reads as no value.
std::optional<std::string> quiet_query(const Tmux& tmux, const std::vector<std::string>& args) {
    try {
        return non_empty(tmux.output(args));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

Tmux::Tmux() {
    std::optional<std::string> value = env_var("TMUX_BIN");
    bin = value && is_valid_utf8(*value) ? *value : std::string("tmux");
}

Tmux Tmux::named() { return Tmux(std::string("tmux")); }

Tmux Tmux::private_server(std::string program, std::string socket) {
    Tmux tmux(std::move(program));
    tmux.global_args = {"-L", std::move(socket), "-f", "/dev/null"};
    tmux.env = {{"TMUX", std::nullopt}, {"TMUX_PANE", std::nullopt}};
    tmux.stop_on_signal = true;
    return tmux;
}

ChildCommand Tmux::command(const std::vector<std::string>& args) const {
    ChildCommand child(bin, global_args);
    child.args.insert(child.args.end(), args.begin(), args.end());
    child.env = env;
    child.stop_on_signal = stop_on_signal;
    return child;
}

void Tmux::run(const std::vector<std::string>& args) const {
    Child child = Child::spawn(command(args));
    ExitStatus status = child.wait();
    if (!status.success()) throw_failed(status);
}

void Tmux::run_with_input(const std::vector<std::string>& args, std::string_view input) const {
    ChildCommand child = command(args);
    child.in = Stdio::Pipe;
    child.out = Stdio::Null;
    Output result = run_child(child, input);
    if (!result.status.success()) throw_failed(result.status);
    if (result.input_errno) throw SystemError(result.input_errno);
}

std::string Tmux::output(const std::vector<std::string>& args) const {
    ChildCommand child = command(args);
    child.in = Stdio::Null;
    child.out = Stdio::Pipe;
    child.err = Stdio::Null;
    Output result = run_child(child);
    if (!result.status.success()) throw_failed(result.status);
    return std::string(trim_end(lossy_utf8(result.out)));
}

Output Tmux::capture(const std::vector<std::string>& args) const {
    ChildCommand child = command(args);
    child.in = Stdio::Null;
    child.out = Stdio::Pipe;
    child.err = Stdio::Pipe;
    return run_child(child);
}

std::optional<std::string> Tmux::option(std::string_view name) const {
    return quiet_query(*this, {"show-option", "-gqv", std::string(name)});
}

std::optional<std::string> Tmux::get_option_global(std::string_view name) const {
    return quiet_query(*this, {"show-option", "-g", "-v", std::string(name)});
}

std::string Tmux::display(const std::optional<std::string>& target, std::string_view format) const {
    std::vector<std::string> args = {"display", "-p"};
    if (target) {
        args.push_back("-t");
        args.push_back(*target);
    }
    args.emplace_back(format);
    return output(args);
}

bool Tmux::pane_exists(std::string_view pane) const {
    std::string listing = output({"list-panes", "-a", "-F", "#{pane_id}"});
    for (const auto& line : split_lines(listing))
        if (line == pane) return true;
    return false;
}

std::string Tmux::open_floating_pane(const FloatingPane& request, const std::string& command) const {
    std::vector<std::string> args = {"new-pane", "-P", "-F", "#{pane_id}", "-x", request.width, "-y", request.height};
    if (request.x) {
        args.push_back("-X");
        args.push_back(*request.x);
    }
    if (request.y) {
        args.push_back("-Y");
        args.push_back(*request.y);
    }
    if (request.cwd) {
        // The start directory is expanded as a format (#{...} replaced, #(...) run): a directory
        // named with # reaches tmux doubled, so that it names itself.
        args.push_back("-c");
        args.push_back(tmux_format_escape(*request.cwd));
    }
    args.push_back("--");
    args.push_back(command);
    std::string id = output(args);
    if (id.empty()) throw Error("new-pane did not return a pane id");
    return id;
}

std::filesystem::path tmux_socket_path(std::string_view label) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path dir;
    if (auto tmpdir = env_non_empty("TMUX_TMPDIR")) dir = fs::canonical(*tmpdir, ec);
    if (dir.empty() || ec) dir = fs::canonical("/tmp", ec);
    fs::path base = dir / ("tmux-" + std::to_string(::getuid()));
    fs::path resolved = fs::canonical(base, ec);
    return (ec ? base : resolved) / std::string(label);
}

void display_message(const Tmux& tmux, std::string_view text) {
    tmux.run({"display-message", tmux_format_escape(text)});
}

bool inside_tmux() { return env_non_empty("TMUX").has_value(); }

void require_tmux(std::string_view message) {
    if (inside_tmux()) return;
    // Whatever the command printed before must not come after the message.
    std::fflush(stdout);
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    throw ExitCode(1);
}

std::string current_pane(const Tmux& tmux) {
    if (auto pane = env_non_empty("TMUX_PANE")) return *pane;
    return tmux.output({"display", "-p", "#{pane_id}"});
}

std::optional<std::string> pane_option(const Tmux& tmux, std::string_view pane, std::string_view name) {
    // Only the value (-v): tmux quotes a value holding blanks or quotes in its "NAME VALUE" line
    // (`@shell_log "/tmp/a b.log"`), and reading that line back would keep the quotes.
    auto value = quiet_query(tmux, {"show-options", "-pqv", "-t", std::string(pane), std::string(name)});
    if (!value) return std::nullopt;
    return non_empty(std::string(trim(*value)));
}

bool pane_piped(const Tmux& tmux, const std::string& pane) {
    std::string pipe;
    try {
        pipe = tmux.display(pane, "#{pane_pipe}");
    } catch (const std::exception&) {
        return false;
    }
    return !pipe.empty() && pipe != "0";
}

void unset_pane_option(const Tmux& tmux, std::string_view pane, std::string_view name) {
    tmux.run({"set-option", "-p", "-t", std::string(pane), "-u", std::string(name)});
}

void append_show_option_line(const Tmux& tmux, std::string_view pane, std::string_view name, std::string& report) {
    if (auto line = quiet_query(tmux, {"show-options", "-p", "-t", std::string(pane), std::string(name)})) {
        report += *line;
        report += '\n';
    }
}

std::optional<std::string> get_tmux_option_for_session(const Tmux& tmux, std::string_view session,
                                                       std::string_view name) {
    if (session.empty()) return quiet_query(tmux, {"show-option", "-g", "-v", std::string(name)});
    return quiet_query(tmux, {"show-option", "-t", std::string(session), "-v", std::string(name)});
}

void set_tmux_option_for_session(const Tmux& tmux, std::string_view session, std::string_view name,
                                 std::string_view value) {
    if (session.empty())
        tmux.run({"set-option", "-gq", std::string(name), std::string(value)});
    else
        tmux.run({"set-option", "-t", std::string(session), "-q", std::string(name), std::string(value)});
}

std::string vesk_bin(const Tmux& tmux) { return path_text(zelt_path(tmux) / "bin" / "vesk"); }

std::filesystem::path zelt_path(const Tmux& tmux) {
    auto zelt = tmux.option("@zelt");
    if (!zelt) throw Exit99();
    return std::filesystem::path(*zelt);
}

std::filesystem::path pane_path_or_zelt(const Tmux& tmux, std::string_view pane) {
    try {
        std::string path = tmux.display(std::string(pane), "#{pane_current_path}");
        if (!path.empty()) return std::filesystem::path(path);
    } catch (const std::exception&) {
        // An unknown pane or no server: fall back to the installation root.
    }
    return zelt_path(tmux);
}

void kill_current_pane() {
    std::optional<std::string> pane = env_non_empty("TMUX_PANE");
    if (!pane) return;
    try {
        Child::spawn(Tmux::named().command({"kill-pane", "-t", *pane})).wait();
    } catch (const std::exception&) {
        // The pane may already be gone; there is nothing left to do either way.
    }
}

}  // namespace vesk
