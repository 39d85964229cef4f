// Setup's plugin bootstrap: the default plugins are fetched by the distribution's own plugin step,
// run on a private tmux server that loads the generated local file alone.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vesk::setup {

// The plugins conf.plugins enables, in the order they are fetched and reported.
const std::vector<std::string>& default_plugin_repos();

// The repositories whose <root>/plugins/<last path component> is not a directory, in order.
std::vector<std::string> missing_plugin_repos(const std::filesystem::path& root, const std::vector<std::string>& repos);

// Runs `tmux -L <socket> ARGS...` without TMUX and TMUX_PANE and returns its standard output.
// A failure to start and an unsuccessful exit throw (messages in plugins.cpp).
std::string run_tmux_for_setup(const std::string& socket, const std::vector<std::string>& args);

// What the wait needs from the world, replaceable so that the 120 s limit is tested in no time.
struct PluginWait {
    std::function<std::chrono::steady_clock::time_point()> now;
    std::function<void(std::chrono::milliseconds)> sleep;
    // Whether the plugin manager is still at work (the server option @__apply_plugins is "true").
    std::function<bool()> busy;
    std::chrono::milliseconds limit{std::chrono::seconds(120)};
    std::chrono::milliseconds interval{std::chrono::seconds(1)};
    // Why the repositories that did not finish are missing, one line each (what the plugin step
    // reported, what git says of each); nothing when unset.
    std::function<std::vector<std::string>(const std::vector<std::string>& unfinished)> why;
};

// What git says when asked for each repository as the plugin manager fetches it: "<repo>: <git's
// first fatal line>" for each one git cannot reach, within `limit` for all of them together.
std::vector<std::string> git_reasons(const std::vector<std::string>& repos,
                                     std::chrono::milliseconds limit = std::chrono::seconds(20));

// The real clock and sleep, and the busy probe of the private server `socket`.
PluginWait plugin_wait_for_socket(const std::string& socket);

// Polls until every repository is installed and the plugin manager has finished, or the limit
// passes. A directory appears as soon as its clone starts, so the directories alone do not say
// that a plugin is ready. Once the manager has been seen at work and has stopped, nothing more
// will come: the wait ends then too. Returns the repositories that did not finish — the missing
// ones, or all of `repos` when the limit found the manager still at work — and prints on standard
// error the warning naming them, the reasons `wait.why` gives (indented) and where to fetch them
// later, when there are any.
std::vector<std::string> wait_for_plugins(const std::filesystem::path& root, const std::vector<std::string>& repos,
                                          const PluginWait& wait);

// Fetches the missing default plugins: `conf` is the local file the rebuild wrote.
void install_plugins_after_setup(const std::filesystem::path& root, const std::filesystem::path& conf);
// The same with a wait of the caller's (tests).
void bootstrap_plugins_with_paths(const std::filesystem::path& root, const std::filesystem::path& conf,
                                  const std::function<PluginWait(const std::string& socket)>& make_wait);

}  // namespace vesk::setup
