#include "agent/vault_root.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/kernel_links.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

fs::path qbox_root(const Tmux& tmux) {
    // The picker hands its root to everything it starts: @qbox_root is global, and another
    // picker switching vaults meanwhile must not retarget this one.
    if (auto given = env_non_empty(kQuillboxRootVar)) return fs::path(*given);
    if (auto cached = tmux.option("@qbox_root")) return fs::path(*cached);

    fs::path root;
    if (auto zelt = tmux.option("@zelt")) {
        if (auto text = read_text_if_any(fs::path(*zelt) / "quillbox")) root = expand_home(trim(*text));
    }
    if (root.empty()) {
        std::optional<std::string> home = env_var("HOME");
        root = fs::path(home ? *home : std::string("/")) / ".quillbox";
    }
    // A relative root means the directory this command ran in; stored as it stands, the next
    // command, run elsewhere, would look for another vault.
    if (root.is_relative()) root = fs::absolute(root).lexically_normal();
    tmux.run({"set-option", "-gq", "@qbox_root", path_text(root)});
    return root;
}

VaultLock::VaultLock(const fs::path& root) {
    fd_ = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

VaultLock::~VaultLock() {
    if (fd_ >= 0) ::close(fd_);
}

void make_inbox(const fs::path& root) {
    std::error_code ec;
    fs::create_directories(root / "inbox", ec);
    if (ec) throw SystemError(ec.value(), path_text(root / "inbox"));
}

fs::path normal_form(const fs::path& path) {
    fs::path p = path.lexically_normal();
    if (!p.has_filename() && p.has_relative_path()) p = p.parent_path();
    return p;
}

std::optional<fs::path> path_below(const fs::path& path, const fs::path& root) {
    const fs::path p = normal_form(path);
    const fs::path r = normal_form(root);
    auto pi = p.begin();
    for (auto ri = r.begin(); ri != r.end(); ++ri, ++pi) {
        if (*ri == ".") break;  // the root "." holds every relative path that does not climb out
        if (pi == p.end() || *pi != *ri) return std::nullopt;
    }
    fs::path rest;
    for (; pi != p.end(); ++pi) {
        if (*pi == "..") return std::nullopt;
        if (*pi == ".") continue;
        rest /= *pi;
    }
    return rest;
}

bool lies_under(const fs::path& path, const fs::path& root, bool allow_root) {
    std::optional<fs::path> rest = path_below(path, root);
    return rest && (allow_root || !rest->empty());
}

bool stays_in_vault(const fs::path& root, std::string_view rel, bool allow_root) {
    if (rel.starts_with('/')) return false;
    // Most lines are plain relative paths: told without building a path (the index listing asks
    // this for every line on every keystroke).
    bool plain = !rel.empty();
    for (std::string_view rest = rel; plain && !rest.empty();) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        plain = part != "." && part != "..";
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return plain || lies_under(root / fs::path(std::string(rel)), root, allow_root);
}

std::optional<fs::path> vault_item_path(const fs::path& root, std::string_view rel) {
    if (!stays_in_vault(root, rel)) return std::nullopt;
    fs::path path = root / fs::path(std::string(rel));
    if (reaches_kernel_trees(path)) return std::nullopt;
    return path;
}

bool resolves_inside(const fs::path& root, const fs::path& path, bool allow_root) {
    std::error_code ec;
    const fs::path real_root = fs::canonical(root, ec);
    if (ec) return false;
    const fs::path real = fs::canonical(path, ec);
    return !ec && lies_under(real, real_root, allow_root);
}

}  // namespace vesk::agent
