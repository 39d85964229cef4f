#include "support/private_env.hpp"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vesk::test {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vesk-test-XXXXXX").string();
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

PrivateEnv::PrivateEnv() {
    for (const auto& d : {home(), config_home(), zelt(), tmp()}) fs::create_directories(d);
}

std::vector<std::pair<std::string, std::optional<std::string>>> PrivateEnv::env() const {
    std::vector<std::pair<std::string, std::optional<std::string>>> out = {
        {"HOME", home().string()},
        {"XDG_CONFIG_HOME", config_home().string()},
        {"ZELT", zelt().string()},
        {"TMPDIR", tmp().string()},
        {"TMUX_TMPDIR", tmp().string()},
        {"LANG", "C.UTF-8"},
        {"LC_ALL", std::nullopt},
        {"TMUX", std::nullopt},
        {"TMUX_PANE", std::nullopt},
        {"TMUX_BIN", std::nullopt},
        {"VISUAL", std::nullopt},
        {"EDITOR", std::nullopt},
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
    command.in = Stdio::Pipe;
    command.out = Stdio::Pipe;
    command.err = Stdio::Pipe;
    Output output = run_child(command, input);
    RunResult result;
    result.status = output.status.code().value_or(-1);
    result.out = std::move(output.out);
    result.err = std::move(output.err);
    return result;
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
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace vesk::test
