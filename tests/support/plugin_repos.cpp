#include "support/plugin_repos.hpp"

#include <stdexcept>

namespace vesk::test {

const std::vector<std::string> kDefaultPluginRepos = {
    "tmux-plugins/tmux-yank", "tmux-plugins/tmux-resurrect",  "tmux-plugins/tmux-fpp",
    "sainnhe/tmux-fzf",       "artemave/tmux_super_fingers", "nhdaly/tmux-tab",
};

std::string plugin_name(const std::string& repo) { return repo.substr(repo.rfind('/') + 1); }

ServedRepos::ServedRepos(fs::path root) : root_(std::move(root)) {
    write_text(gitconfig(), "[url \"file://" + (root_ / "srv").string() +
                                "/\"]\n\tinsteadOf = https://github.com/\n\tinsteadOf = https://git::@github.com/\n"
                                "[protocol \"file\"]\n\tallow = always\n");
}

void ServedRepos::git(const std::vector<std::string>& args, const fs::path& cwd) const {
    ChildCommand command("git", {"-c", "user.name=Test", "-c", "user.email=test@example.com"});
    command.args.insert(command.args.end(), args.begin(), args.end());
    command.dir(cwd.string()).set_env("GIT_CONFIG_GLOBAL", gitconfig().string()).set_env("GIT_CONFIG_NOSYSTEM", "1");
    command.stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe);
    const Output o = run_child(command);
    if (!o.status.success()) throw std::runtime_error("git " + args.front() + " failed: " + o.err);
}

void ServedRepos::publish(const std::string& repo) {
    git({"init", "-q", "-b", "main"}, work(repo));
    git({"add", "-A"}, work(repo));
    git({"commit", "-q", "-m", "init"}, work(repo));
    fs::create_directories(bare(repo).parent_path());
    git({"clone", "-q", "--bare", work(repo).string(), bare(repo).string()}, root_);
}

void ServedRepos::serve(const std::string& repo, const std::string& file) {
    write_text(work(repo) / file, file + "\n");
    publish(repo);
}

void ServedRepos::commit(const std::string& repo, const std::string& file) {
    write_text(work(repo) / file, file + "\n");
    git({"add", file}, work(repo));
    git({"commit", "-q", "-m", file}, work(repo));
    git({"push", "-q", bare(repo).string(), "HEAD:main"}, work(repo));
}

void ServedRepos::clone(const std::string& repo, const fs::path& into) {
    git({"clone", "-q", bare(repo).string(), into.string()}, root_);
}

void ServedRepos::serve_plugins(const std::vector<std::string>& repos) {
    fs::create_directories(work("tmux-plugins/tpm").parent_path());
    fs::copy("/usr/share/tmux-plugin-manager", work("tmux-plugins/tpm"), fs::copy_options::recursive);
    publish("tmux-plugins/tpm");
    for (const auto& repo : repos) {
        const std::string name = plugin_name(repo);
        write_script(work(repo) / (name + ".tmux"), "tmux set -g @loaded_" + name + " yes\n");
        publish(repo);
    }
}

}  // namespace vesk::test
