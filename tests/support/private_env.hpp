// Runs the built vesk (or any program) with a private HOME, XDG_CONFIG_HOME, ZELT and TMPDIR,
// LANG=C.UTF-8 and no TMUX, so a test never sees or touches the developer's own files or server.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/process.hpp"

namespace vesk::test {

namespace fs = std::filesystem;

// A fresh directory under the system temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

struct RunResult {
    int status = -1;  // exit code; -1 when a signal ended the child
    std::string out;
    std::string err;
};

class PrivateEnv {
public:
    PrivateEnv();
    fs::path root() const { return dir_.path(); }
    fs::path home() const { return dir_ / "home"; }
    fs::path config_home() const { return dir_ / "config"; }  // XDG_CONFIG_HOME
    fs::path zelt() const { return dir_ / "zelt"; }            // ZELT, the installation root
    fs::path tmp() const { return dir_ / "tmp"; }               // TMPDIR

    // Extra variables for every run; nullopt removes one (ZELT, say).
    std::map<std::string, std::optional<std::string>> vars;

    // The environment changes a child gets.
    std::vector<std::pair<std::string, std::optional<std::string>>> env() const;

    // Runs the built vesk with these arguments; `input` goes to its standard input.
    RunResult run(const std::vector<std::string>& args, const std::string& input = {}) const;
    // Runs another program in the same environment.
    RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& input = {}) const;

private:
    TempDir dir_;
};

// The built binary under test.
std::string vesk_binary();

void write_text(const fs::path& path, const std::string& text);
std::string read_text(const fs::path& path);

}  // namespace vesk::test
