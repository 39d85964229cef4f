#include "doctor/remedy.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <fmt/format.h>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk::doctor {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> sequence{0};

Outcome failed(std::string message) { return Outcome{std::move(message), {}, false}; }

Outcome make_directory(const fs::path& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) return failed(fmt::format("만들지 못했습니다: {}", SystemError(ec.value()).what()));
    return Outcome{"디렉터리를 만들었습니다.", {path_text(path)}, true};
}

// A new log file nobody else can have prepared: created exclusively, readable by us alone.
std::pair<fs::path, int> create_log(std::string_view id) {
    std::string pattern = env_non_empty("TMPDIR").value_or("/tmp") + "/" + log_name_prefix(id) + "XXXXXX.log";
    const int fd = ::mkostemps(pattern.data(), 4, O_CLOEXEC);
    if (fd < 0) throw_errno();
    return {pattern, fd};
}

Started run(std::string_view id, const Recipe& recipe) {
    std::optional<fs::path> log;
    int fd = -1;
    try {
        std::tie(log, fd) = create_log(id);
        ChildCommand command(recipe.program, recipe.args);
        // A session of its own: closing the doctor's pane must not hang up a fix half-way.
        command.set_env("NONINTERACTIVE", "1").stdin_(Stdio::Null).stdout_to(fd).stderr_to(fd).own_session();
        Child child = Child::spawn(command);
        ::close(fd);
        return std::make_unique<Job>(*log, std::move(child));
    } catch (const std::exception& e) {
        if (fd >= 0) ::close(fd);
        if (log) ::unlink(log->c_str());
        return failed(fmt::format("실행하지 못했습니다: {}", e.what()));
    }
}

}  // namespace

std::string log_name_prefix(std::string_view id) {
    std::string safe;
    for (char32_t c : decode_utf8(id)) {
        const bool plain = (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9');
        safe += plain ? static_cast<char>(c) : '-';
    }
    return fmt::format("vesk-doctor-{}-{}-{}-", ::getpid(), safe, sequence.fetch_add(1, std::memory_order_relaxed));
}

Started start(std::string_view id, const Action& action) {
    if (const auto* mkdir = std::get_if<Mkdir>(&action.what)) return make_directory(mkdir->path);
    if (const auto* recipe = std::get_if<Recipe>(&action.what)) return run(id, *recipe);
    return failed("이 항목은 사람이 직접 해야 합니다. 여기서 실행할 수 있는 조치가 없습니다.");
}

Job::~Job() { ::unlink(log_.c_str()); }

std::optional<Outcome> Job::finished() {
    std::optional<ExitStatus> status;
    try {
        status = child_.try_wait();
    } catch (const std::exception& e) {
        return failed(fmt::format("실행 상태를 확인하지 못했습니다: {}", e.what()));
    }
    if (!status) return std::nullopt;
    if (status->success()) return Outcome{"끝났습니다.", tail(), true};
    return Outcome{fmt::format("명령이 실패했습니다 (종료 코드 {})", status->code().value_or(-1)), tail(), false};
}

std::vector<std::string> Job::tail() const {
    std::vector<std::string> lines;
    const std::optional<std::string> text = read_text_if_any(log_);
    if (!text) return lines;
    for (const auto& line : split_lines(*text)) {
        std::string_view kept = trim_end(line);
        if (!kept.empty()) lines.emplace_back(kept);
    }
    if (lines.size() > 8) lines.erase(lines.begin(), lines.end() - 8);
    return lines;
}

}  // namespace vesk::doctor
