// Plugin repositories without a network: local bare repositories stand in for the public ones,
// reached through a git configuration that rewrites https://github.com/ to file://<srv>/.
//
//   write_plugin_git_config(dir / "gitconfig", dir / "srv");   // then GIT_CONFIG_GLOBAL=<that file>
//   serve_plugin_repos(dir, dir / "srv", kDefaultPluginRepos);  // plus tmux-plugins/tpm
//
// Each stand-in plugin holds one <name>.tmux that sets the global option @loaded_<name> to "yes"
// when the plugin manager loads it; the plugin manager is Debian's, committed as it is.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vesk::test {

// The six plugins the distribution enables, as conf.plugins declares them.
extern const std::vector<std::string> kDefaultPluginRepos;

// The repository's last path component: the plugin's directory name.
std::string plugin_name(const std::string& repo);

void write_plugin_git_config(const std::filesystem::path& file, const std::filesystem::path& srv);

// Creates the bare repositories <srv>/<owner>/<name>: tmux-plugins/tpm from
// /usr/share/tmux-plugin-manager and one stand-in for each of `repos`. `work` is a scratch
// directory. Throws std::runtime_error when git fails.
void serve_plugin_repos(const std::filesystem::path& work, const std::filesystem::path& srv,
                        const std::vector<std::string>& repos);

// Repositories made commit by commit: <root>/srv/<owner>/<name>.git, worked on in <root>/work,
// reached as github.com through gitconfig() (the rewriting of write_plugin_git_config).
class ServedRepos {
public:
    explicit ServedRepos(std::filesystem::path root);
    std::filesystem::path gitconfig() const { return root_ / "gitconfig"; }
    // A repository `repo` (owner/name) with one commit adding `file`.
    void serve(const std::string& repo, const std::string& file);
    // One more commit adding `file`, pushed to the served repository.
    void commit(const std::string& repo, const std::string& file);
    // A clone of the served repository at `into`.
    void clone(const std::string& repo, const std::filesystem::path& into);

private:
    void git(const std::vector<std::string>& args, const std::filesystem::path& cwd) const;
    std::filesystem::path root_;
};

}  // namespace vesk::test
