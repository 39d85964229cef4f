// Runs the built vesk (or any program) with a private HOME, XDG_CONFIG_HOME, ZELT and TMPDIR,
// LANG=C.UTF-8 and no TMUX; plus the small helpers the test programs share.
#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/process.hpp"

namespace vesk::test {

namespace fs = std::filesystem;

// A fresh temporary directory, removed with everything in it.
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

// Changes this process's variables for one test; the destructor restores them and the working
// directory.
class EnvGuard {
public:
    EnvGuard() : cwd_(fs::current_path()) {}
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;
    void set(const std::string& name, const std::optional<std::string>& value);  // nullopt unsets
    void unset(const std::string& name) { set(name, std::nullopt); }

private:
    fs::path cwd_;
    std::map<std::string, std::optional<std::string>> saved_;
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
    fs::path tmp() const { return dir_ / "tmp"; }               // TMPDIR and TMUX_TMPDIR

    // Extra variables for every run; nullopt removes one.
    std::map<std::string, std::optional<std::string>> vars;
    // The environment changes a child gets.
    std::vector<std::pair<std::string, std::optional<std::string>>> env() const;

    // The built vesk, or another program, in this environment; `input` is its standard input.
    RunResult run(const std::vector<std::string>& args, const std::string& input = {}) const;
    RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& input = {}) const;

private:
    TempDir dir_;
};

std::string vesk_binary();

void write_text(const fs::path& path, const std::string& text);
std::string read_text(const fs::path& path);
// An executable `#!/bin/sh` script with this body.
void write_script(const fs::path& path, const std::string& body);
// The links a planted tree may carry through /proc, made in `folder` (which must exist): the
// folders `selfroot` (to /proc/self/root, the whole filesystem) and `cwd` (/proc/self/cwd), the
// file `passwd.md` (/etc/passwd through /proc/self/root) and `environ.md` (a file /proc makes up).
void plant_proc_links(const fs::path& folder);

// Polls `done`, first after 10 ms, then less often (every 200 ms at most), until it holds or
// `limit` passes; its last answer. The limit is for a machine busy with many tests at once.
bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(60));

// What `f` throws, or "(no error)".
std::string error_text(const std::function<void()>& f);

// What `f` and its children write to standard output.
std::string capture_stdout(const std::function<void()>& f);

}  // namespace vesk::test
