// The doctor's checks: the outside programs, the mode, the root as the running tmux sees it, what
// setup and rebuild installed, the live tmux options and key bindings, the user lists and the
// working directories. Nothing here fails: every problem becomes the result of its check.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/places.hpp"
#include "doctor/model.hpp"

namespace vesk::doctor {

// How long a program may take to answer its version question before the doctor gives up on it.
inline constexpr std::chrono::milliseconds kVersionTimeLimit{3000};

// Every check, in its fixed order, for the places the command resolved.
Report collect(const config::Places& places);

// Finds the first candidate (a path to an executable file, else a name on PATH) and asks it for its
// version with `version_flag`; `bad` and `remedy` apply when none is found.
void push_command_check(std::vector<Check>& checks, std::string_view group, std::string_view id,
                        const std::string& title, const std::vector<std::string>& candidates, Severity bad,
                        Remedy remedy, std::string_view version_flag = "--version");

// Tests that the path (links followed) is of the kind.
void push_path_check(std::vector<Check>& checks, std::string_view group, std::string_view id,
                     const std::filesystem::path& path, PathKind kind, Severity bad, Remedy remedy);

// Installing the package with Homebrew when it is there, else the hint alone.
Remedy install_remedy(std::string_view package, std::string hint);
// Running this program again with `args`.
Remedy vesk_remedy(std::string text, std::vector<std::string> args);
// "setup --profile <the platform built for>": a bare `vesk setup` would assemble another platform's
// configuration wherever setup's default differs.
std::vector<std::string> setup_args();

// VISUAL, then EDITOR (each trimmed, when set and not blank), then "vim" and "nvim", without repeats.
std::vector<std::string> editor_candidates(const std::optional<std::string>& visual,
                                           const std::optional<std::string>& editor);

// The first line of a version answer when it names a version (a digit, '.', a digit somewhere in
// it); a copyright or usage line is no version.
std::optional<std::string> version_line(std::string_view output);

// "linux-x86_64": the operating system and processor the program is built for.
std::string host_platform();

}  // namespace vesk::doctor
