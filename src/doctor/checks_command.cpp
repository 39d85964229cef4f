// Command checks: which program a tool would run, and what version it says it is.
#include <sys/stat.h>

#include <cctype>
#include <fmt/format.h>

#include "core/command.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "doctor/checks.hpp"

namespace vesk::doctor {

namespace fs = std::filesystem;

namespace {

bool executable_file(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111);
}

std::optional<fs::path> find_candidate(std::string_view candidate) {
    if (candidate.find('/') != std::string_view::npos && executable_file(fs::path(candidate)))
        return fs::path(candidate);
    return which(candidate);
}

struct VersionAnswer {
    std::optional<std::string> line;
    bool timed_out = false;
};

// The program runs in a session of its own with empty input: it can neither wait for the user nor
// reach the terminal, and the time limit ends it with everything it started. Only the first line of
// its output is read; what it says on standard error is of no use here.
VersionAnswer ask_version(const fs::path& program, std::string_view flag) {
    ChildCommand command(program.string(), {std::string(flag)});
    command.stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Null).own_session().limit(kVersionTimeLimit);
    try {
        Output out = run_child(command);
        if (out.timed_out) return {std::nullopt, true};
        if (!out.status.success()) return {};
        return {version_line(lossy_utf8(out.out)), false};
    } catch (const std::exception&) {
        return {};  // it could not be started: only the version is missing
    }
}

}  // namespace

std::optional<std::string> version_line(std::string_view output) {
    std::string_view first = output.substr(0, output.find('\n'));
    if (first.ends_with('\r')) first.remove_suffix(1);
    first = trim(first);
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    for (size_t i = 1; i + 1 < first.size(); ++i)
        if (first[i] == '.' && digit(first[i - 1]) && digit(first[i + 1])) return std::string(first);
    return std::nullopt;
}

std::vector<std::string> editor_candidates(const std::optional<std::string>& visual,
                                           const std::optional<std::string>& editor) {
    std::vector<std::string> out;
    for (const auto& value : {visual, editor})
        if (value && is_valid_utf8(*value)) push_unique(out, trim(*value));
    push_unique(out, "vim");
    push_unique(out, "nvim");
    return out;
}

void push_command_check(std::vector<Check>& checks, std::string_view group, std::string_view id,
                        const std::string& title, const std::vector<std::string>& candidates, Severity bad,
                        Remedy remedy, std::string_view version_flag) {
    for (const auto& candidate : candidates) {
        const std::string_view name = trim(candidate);
        const std::optional<fs::path> hit = find_candidate(name);
        if (!hit) continue;
        std::string summary = fmt::format("{}: {}", title, path_text(*hit));
        std::string detail = fmt::format("선택된 명령: {}", name);
        const VersionAnswer answer = ask_version(*hit, version_flag);
        if (answer.line) summary += fmt::format(" ({})", *answer.line);
        if (answer.timed_out)
            detail += fmt::format(" ({}에 {}초 안에 답하지 않아 버전은 확인하지 못했습니다)", version_flag,
                                  kVersionTimeLimit.count() / 1000);
        checks.push_back(Check{group, id, Severity::Ok, std::move(summary), std::move(detail), std::nullopt});
        return;
    }
    std::string names;
    for (const auto& candidate : candidates) names += (names.empty() ? "" : ", ") + candidate;
    checks.push_back(Check{group, id, bad, fmt::format("{} 명령을 찾지 못했습니다.", title),
                           fmt::format("PATH에서 찾아본 이름: {}", names), std::move(remedy)});
}

}  // namespace vesk::doctor
