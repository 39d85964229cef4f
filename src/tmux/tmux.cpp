#include "tmux/tmux.hpp"

#include <cstdlib>

#include "core/error.hpp"
#include "core/process.hpp"
#include "core/text.hpp"

namespace vesk {

namespace {

std::string env_or_empty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

ChildCommand tmux_command(const Tmux& tmux, const std::vector<std::string>& args) {
    return ChildCommand(tmux.bin, args);
}

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
    const char* value = std::getenv("TMUX_BIN");
    bin = value && is_valid_utf8(value) ? std::string(value) : std::string("tmux");
}

void Tmux::run(const std::vector<std::string>& args) const {
    Child child = Child::spawn(tmux_command(*this, args));
    ExitStatus status = child.wait();
    if (!status.success()) throw_failed(status);
}

std::string Tmux::output(const std::vector<std::string>& args) const {
    ChildCommand command = tmux_command(*this, args);
    command.in = Stdio::Null;
    command.out = Stdio::Pipe;
    command.err = Stdio::Null;
    Output result = run_child(command);
    if (!result.status.success()) throw_failed(result.status);
    return std::string(trim_end(lossy_utf8(result.out)));
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
        args.push_back("-c");
        args.push_back(*request.cwd);
    }
    args.push_back("--");
    args.push_back(command);
    std::string id = output(args);
    if (id.empty()) throw Error("new-pane did not return a pane id");
    return id;
}

std::string current_pane(const Tmux& tmux) {
    std::string pane = env_or_empty("TMUX_PANE");
    if (!pane.empty()) return pane;
    return tmux.output({"display", "-p", "#{pane_id}"});
}

std::optional<std::string> pane_option(const Tmux& tmux, std::string_view pane, std::string_view name) {
    // Only the value (-v): tmux quotes a value holding blanks or quotes in its "NAME VALUE" line
    // (`@shell_log "/tmp/a b.log"`), and reading that line back would keep the quotes.
    auto value = quiet_query(tmux, {"show-options", "-pqv", "-t", std::string(pane), std::string(name)});
    if (!value) return std::nullopt;
    return non_empty(std::string(trim(*value)));
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
    std::string pane = env_or_empty("TMUX_PANE");
    if (pane.empty()) return;
    try {
        Child::spawn(ChildCommand("tmux", {"kill-pane", "-t", pane})).wait();
    } catch (const std::exception&) {
        // The pane may already be gone; there is nothing left to do either way.
    }
}

}  // namespace vesk
