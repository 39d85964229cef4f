// Carrying out a check's remedy: an immediate outcome (nothing to run, a directory made, a program
// that would not start) or a running job whose output goes to a private log file that the caller
// polls between key reads without ever waiting on it.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/process.hpp"
#include "doctor/model.hpp"

namespace vesk::doctor {

struct Outcome {
    std::string message;             // one Korean line
    std::vector<std::string> lines;  // shown under it
    bool ok = false;
};

// A fix running as a child process. Dropping it removes its log and closes its handles but neither
// stops nor waits for the child: a fix goes on when the screen is left.
class Job {
public:
    Job(std::filesystem::path log, Child child) : log_(std::move(log)), child_(std::move(child)) {}
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Never blocks: nothing while the child runs, its outcome (with the last lines) once it ended.
    std::optional<Outcome> finished();
    // The last 8 non-blank lines of the log, right-trimmed; none when it cannot be read as UTF-8.
    std::vector<std::string> tail() const;
    const std::filesystem::path& log() const { return log_; }

private:
    std::filesystem::path log_;
    Child child_;
};

using Started = std::variant<std::unique_ptr<Job>, Outcome>;

// Carries out the action of check `id`'s remedy. Never throws: every failure is an outcome.
Started start(std::string_view id, const Action& action);

// "vesk-doctor-<pid>-<id>-<n>-": the start of a job's log name, the id with every character other
// than an ASCII letter or digit made '-', and n counting the jobs of this process. The log itself
// is made by mkstemp (0600) in the temporary directory: this prefix, six random characters, ".log".
std::string log_name_prefix(std::string_view id);

}  // namespace vesk::doctor
