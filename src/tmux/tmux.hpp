// The handle for talking to the running tmux server, and the helpers built on it. Every
// operation is one tmux child process with its arguments as separate words (never a shell);
// nothing is cached between calls.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// Where and how large a floating pane opens. Sizes are tmux sizes ("95%", "80").
struct FloatingPane {
    std::string width;
    std::string height;
    std::optional<std::string> x;
    std::optional<std::string> y;
    std::optional<std::string> cwd;
};

class Tmux {
public:
    // The program is $TMUX_BIN when set (an empty value stays empty and every call then fails to
    // start), else "tmux".
    Tmux();
    explicit Tmux(std::string bin) : bin(std::move(bin)) {}

    std::string bin;

    // Runs tmux with the caller's standard streams. Throws SystemError when tmux cannot start and
    // Error("tmux command failed: exit status: N") when it fails.
    void run(const std::vector<std::string>& args) const;
    // Runs tmux with empty input and standard error discarded; returns its standard output
    // (invalid UTF-8 replaced) without trailing white space. Errors as run().
    std::string output(const std::vector<std::string>& args) const;
    // show-option -gqv NAME: the value, or nothing when it is empty or the query fails.
    std::optional<std::string> option(std::string_view name) const;
    // show-option -g -v NAME, read like option().
    std::optional<std::string> get_option_global(std::string_view name) const;
    // display -p [-t TARGET] FORMAT, trimmed.
    std::string display(const std::optional<std::string>& target, std::string_view format) const;
    // Whether a pane with exactly this id exists on the server.
    bool pane_exists(std::string_view pane) const;
    // new-pane -P -F #{pane_id} -x W -y H [-X X] [-Y Y] [-c DIR] -- COMMAND; returns the new pane's
    // id. Throws Error("new-pane did not return a pane id") on an empty answer.
    std::string open_floating_pane(const FloatingPane& request, const std::string& command) const;
};

// $TMUX_PANE when set and not empty, else the pane tmux reports as current.
std::string current_pane(const Tmux& tmux);
// The value of a pane option, or nothing when unset, empty or unreadable.
std::optional<std::string> pane_option(const Tmux& tmux, std::string_view pane, std::string_view name);
// set-option -p -t PANE -u NAME.
void unset_pane_option(const Tmux& tmux, std::string_view pane, std::string_view name);
// Appends tmux's "NAME VALUE" line for a pane option and a line end to `report`; nothing when the
// option is unset or the query fails.
void append_show_option_line(const Tmux& tmux, std::string_view pane, std::string_view name, std::string& report);
// A session's option (the global one when `session` is empty); nothing when empty or unreadable.
std::optional<std::string> get_tmux_option_for_session(const Tmux& tmux, std::string_view session,
                                                       std::string_view name);
void set_tmux_option_for_session(const Tmux& tmux, std::string_view session, std::string_view name,
                                 std::string_view value);
// "<@zelt>/bin/vesk": the program copy inside the installation root. Exit99 when @zelt is unset.
std::string vesk_bin(const Tmux& tmux);
// The installation root from @zelt. Exit99 when unset.
std::filesystem::path zelt_path(const Tmux& tmux);
// The pane's current directory, else the installation root; Exit99 when neither is known.
std::filesystem::path pane_path_or_zelt(const Tmux& tmux, std::string_view pane);
// Kills $TMUX_PANE with the program named "tmux" (not $TMUX_BIN); every failure is ignored.
void kill_current_pane();

}  // namespace vesk
