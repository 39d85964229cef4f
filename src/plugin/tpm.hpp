// Installing, updating and removing plugins. Installing and updating run the tmux plugin
// manager's own scripts (<plugins dir>/tpm/scripts/) as background jobs that the plugin screen
// polls between key reads; removing is done here directly.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "core/process.hpp"

namespace vesk::plugin::tpm {

// One running plugin-manager script. An install also owns the temporary directory holding the
// private configuration the script reads; it is removed once the job has been seen to finish.
// Dropping a job neither stops its script nor pulls that configuration away from under it.
class Job {
public:
    Job(Child child, std::optional<std::filesystem::path> temp_dir);
    Job(Job&& other) noexcept;
    Job& operator=(Job&& other) noexcept;
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;
    ~Job();

    // Never waits. False while the script runs, true once it has exited with status 0; any other
    // end throws Error("tpm이 끝내지 못했습니다 (종료 코드 N)"), N = -1 for a signal. Asking
    // again after the end gives the same answer.
    bool finished();

private:
    void remove_temp_dir() noexcept;
    // Gives up the directory: removed when the script has ended, else left to its reaper.
    void let_go() noexcept;

    Child child_;
    std::optional<std::filesystem::path> temp_dir_;
};

// <plugins dir>/tpm/scripts; Error("tpm을 찾지 못했습니다: <path>") when it is not a directory.
std::filesystem::path scripts_dir(const std::filesystem::path& plugins_dir);

// Records the plugins directory (with a trailing "/") as TMUX_PLUGIN_MANAGER_PATH in tmux's global
// environment, where the plugin manager's scripts look for it. Throws when tmux cannot be started
// or refuses (no server outside tmux, say): the scripts would otherwise fall back to "/".
void announce_path(const std::filesystem::path& plugins_dir);

// Starts the plugin manager's installer with a private XDG_CONFIG_HOME whose tmux/tmux.conf
// declares only `repo`.
Job fetch(const std::filesystem::path& plugins_dir, std::string_view repo);

// Starts the plugin manager's updater for `repo` (update_plugin.sh "" <repo>).
Job update(const std::filesystem::path& plugins_dir, std::string_view repo);

// Removes <plugins dir>/<name> with everything in it. `tpm`, the empty name and names that
// reach outside the plugins directory are refused before the disk is touched; a plugin that is
// not there is no error.
void remove(const std::filesystem::path& plugins_dir, std::string_view name);

}  // namespace vesk::plugin::tpm
