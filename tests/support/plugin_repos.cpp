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

}  // namespace vesk::test
