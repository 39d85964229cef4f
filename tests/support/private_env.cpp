#include "support/private_env.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace vesk::test {

TempDir::TempDir() {
    // The real path: tmux and the kernel report working directories without TMPDIR's links.
    auto pattern = (fs::canonical(fs::temp_directory_path()) / "vesk-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only directories behind; give the owner write access before removing.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

static void set_variable(const std::string& name, const std::optional<std::string>& value) {
    if (value) ::setenv(name.c_str(), value->c_str(), 1);
    else ::unsetenv(name.c_str());
}

void EnvGuard::set(const std::string& name, const std::optional<std::string>& value) {
    const char* old = std::getenv(name.c_str());
    if (!saved_.count(name)) saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    set_variable(name, value);
}

EnvGuard::~EnvGuard() {
    for (const auto& [name, value] : saved_) set_variable(name, value);
    std::error_code ec;
    fs::current_path(cwd_, ec);
}

PrivateEnv::PrivateEnv() {
    for (const auto& d : {home(), config_home(), zelt(), tmp()}) fs::create_directories(d);
}

std::vector<std::pair<std::string, std::optional<std::string>>> PrivateEnv::env() const {
    auto out = std::vector<std::pair<std::string, std::optional<std::string>>>{
        {"HOME", home().string()},   {"XDG_CONFIG_HOME", config_home().string()},
        {"ZELT", zelt().string()},   {"TMPDIR", tmp().string()},
        {"TMUX_TMPDIR", tmp().string()}, {"LANG", "C.UTF-8"},
        {"LC_ALL", std::nullopt},    {"TMUX", std::nullopt},
        {"TMUX_PANE", std::nullopt}, {"TMUX_BIN", std::nullopt},
        // Not the user's own shell, whatever it is: a tmux server started from here runs it in its
        // panes, and fzf runs its default command with it.
        {"SHELL", "/bin/bash"},
        {"VISUAL", std::nullopt},    {"EDITOR", std::nullopt},
        // The listings filter through fzf, which reads these.
        {"FZF_DEFAULT_OPTS", std::nullopt}, {"FZF_DEFAULT_COMMAND", std::nullopt},
    };
    for (const auto& [k, v] : vars) out.emplace_back(k, v);
    return out;
}

RunResult PrivateEnv::run(const std::vector<std::string>& args, const std::string& input) const {
    return run_program(vesk_binary(), args, input);
}

RunResult PrivateEnv::run_program(const std::string& program, const std::vector<std::string>& args,
                                  const std::string& input) const {
    ChildCommand command(program, args);
    command.env = env();
    Output output = run_child(command.stdin_(Stdio::Pipe).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe), input);
    return RunResult{output.status.code().value_or(-1), std::move(output.out), std::move(output.err)};
}

std::string vesk_binary() { return VESK_BINARY; }

void write_text(const fs::path& path, const std::string& text) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_script(const fs::path& path, const std::string& body) {
    write_text(path, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
}

void plant_proc_links(const fs::path& folder) {
    fs::create_directory_symlink("/proc/self/root", folder / "selfroot");
    fs::create_directory_symlink("/proc/self/cwd", folder / "cwd");
    fs::create_symlink("/proc/self/root/etc/passwd", folder / "passwd.md");
    fs::create_symlink("/proc/self/environ", folder / "environ.md");
}

bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    // Most answers come within milliseconds; a long wait polls less and less often, so that the
    // polls (often a tmux client each) do not take the processor from what they wait for.
    auto pause = std::chrono::milliseconds(10);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(200));
    }
    return done();
}

std::string error_text(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

std::string capture_stdout(const std::function<void()>& f) {
    TempDir dir;
    const fs::path file = dir / "stdout";
    std::fflush(stdout);
    struct Redirect {
        int saved = ::dup(1);
        explicit Redirect(const fs::path& file) {
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 1);
            ::close(fd);
        }
        ~Redirect() {
            std::fflush(stdout);
            ::dup2(saved, 1);
            ::close(saved);
        }
    };
    {
        Redirect redirect(file);
        f();
    }
    return read_text(file);
}

}  // namespace vesk::test
