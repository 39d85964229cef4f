// Plugin repositories without a network: bare repositories <root>/srv/<owner>/<name>.git, worked
// on in <root>/work, reached as https://github.com/<owner>/<name> by a git that reads gitconfig()
// (GIT_CONFIG_GLOBAL).
#pragma once

#include <string>
#include <vector>

#include "support/private_env.hpp"

namespace vesk::test {

// The six plugins the distribution enables, as conf.plugins declares them.
extern const std::vector<std::string> kDefaultPluginRepos;

// The repository's last path component: the plugin's directory name.
std::string plugin_name(const std::string& repo);

class ServedRepos {
public:
    explicit ServedRepos(fs::path root);
    fs::path gitconfig() const { return root_ / "gitconfig"; }
    // A repository `repo` (owner/name) with one commit adding `file`.
    void serve(const std::string& repo, const std::string& file);
    // One more commit adding `file`, pushed to the served repository.
    void commit(const std::string& repo, const std::string& file);
    void clone(const std::string& repo, const fs::path& into);
    // tmux-plugins/tpm (Debian's plugin manager as it is), and for each of `repos` a stand-in
    // plugin whose <name>.tmux sets the global option @loaded_<name> to "yes".
    void serve_plugins(const std::vector<std::string>& repos);

private:
    void git(const std::vector<std::string>& args, const fs::path& cwd) const;
    void publish(const std::string& repo);  // commits everything in the work tree and serves it
    fs::path work(const std::string& repo) const { return root_ / "work" / repo; }
    fs::path bare(const std::string& repo) const { return root_ / "srv" / (repo + ".git"); }
    fs::path root_;
};

}  // namespace vesk::test
