#include "support/plugin_repos.hpp"

#include <stdexcept>

#include "core/process.hpp"
#include "support/private_env.hpp"

namespace vesk::test {

const std::vector<std::string> kDefaultPluginRepos = {
    "tmux-plugins/tmux-yank", "tmux-plugins/tmux-resurrect",  "tmux-plugins/tmux-fpp",
    "sainnhe/tmux-fzf",       "artemave/tmux_super_fingers", "nhdaly/tmux-tab",
};

std::string plugin_name(const std::string& repo) { return repo.substr(repo.rfind('/') + 1); }

void write_plugin_git_config(const std::filesystem::path& file, const std::filesystem::path& srv) {
    write_text(file, "[url \"file://" + srv.string() +
                         "/\"]\n\tinsteadOf = https://github.com/\n"
                         "\tinsteadOf = https://git::@github.com/\n"
                         "[protocol \"file\"]\n\tallow = always\n");
}

void serve_plugin_repos(const std::filesystem::path& work, const std::filesystem::path& srv,
                        const std::vector<std::string>& repos) {
    std::filesystem::create_directories(work);
    std::string script =
        "serve() { rm -rf w && cp -r \"$2\" w && cd w && git init -q && git add -A && "
        "git -c user.name=t -c user.email=t@t commit -qm init && cd .. && "
        "mkdir -p \"$SRV/$(dirname $1)\" && git clone -q --bare w \"$SRV/$1\" && rm -rf w; }\n"
        "serve tmux-plugins/tpm /usr/share/tmux-plugin-manager\n";
    for (const auto& repo : repos) {
        const std::string name = plugin_name(repo);
        script += "rm -rf p && mkdir p && printf '#!/bin/sh\\ntmux set -g @loaded_" + name +
                  " yes\\n' > p/" + name + ".tmux && chmod +x p/" + name + ".tmux && serve " + repo +
                  " p && rm -rf p\n";
    }
    ChildCommand command("sh", {"-ec", script});
    command.dir(work.string()).set_env("SRV", srv.string()).set_env("GIT_CONFIG_NOSYSTEM", "1");
    command.in = Stdio::Null;
    command.out = Stdio::Pipe;
    command.err = Stdio::Pipe;
    const Output o = run_child(command);
    if (!o.status.success()) throw std::runtime_error("serving plugin repositories failed: " + o.err);
}

ServedRepos::ServedRepos(std::filesystem::path root) : root_(std::move(root)) {
    std::filesystem::create_directories(root_ / "srv");
    write_plugin_git_config(gitconfig(), root_ / "srv");
}

void ServedRepos::git(const std::vector<std::string>& args, const std::filesystem::path& cwd) const {
    ChildCommand command("git", {"-c", "user.name=Test", "-c", "user.email=test@example.com"});
    for (const auto& a : args) command.args.push_back(a);
    command.dir(cwd.string()).set_env("GIT_CONFIG_GLOBAL", gitconfig().string()).set_env("GIT_CONFIG_NOSYSTEM", "1");
    command.stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe);
    const Output o = run_child(command);
    if (!o.status.success()) throw std::runtime_error("git " + args.front() + " failed: " + o.err);
}

void ServedRepos::serve(const std::string& repo, const std::string& file) {
    const auto work = root_ / "work" / repo;
    std::filesystem::create_directories(work);
    git({"init", "-q", "-b", "main"}, work);
    commit(repo, file);
    const auto bare = root_ / "srv" / (repo + ".git");
    std::filesystem::create_directories(bare.parent_path());
    git({"clone", "-q", "--bare", work.string(), bare.string()}, root_);
}

void ServedRepos::commit(const std::string& repo, const std::string& file) {
    const auto work = root_ / "work" / repo;
    write_text(work / file, file + "\n");
    git({"add", file}, work);
    git({"commit", "-q", "-m", file}, work);
    const auto bare = root_ / "srv" / (repo + ".git");
    if (std::filesystem::exists(bare)) git({"push", "-q", bare.string(), "HEAD:main"}, work);
}

void ServedRepos::clone(const std::string& repo, const std::filesystem::path& into) {
    git({"clone", "-q", (root_ / "srv" / (repo + ".git")).string(), into.string()}, root_);
}

}  // namespace vesk::test
