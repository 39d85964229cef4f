// Path checks: a file, an executable, a directory or a writable directory where one belongs.
#include <sys/stat.h>

#include <cerrno>
#include <fmt/format.h>

#include "core/error.hpp"
#include "core/text.hpp"
#include "doctor/checks.hpp"

namespace vesk::doctor {

namespace {

std::string_view title_of(std::string_view id) {
    static constexpr std::pair<std::string_view, std::string_view> kTitles[] = {
        {"zelt-root", "zelt root"},
        {"config-dir", "vesk config directory"},
        {"log-parent", "current project log parent"},
        {"plugins-dir", "tmux plugins directory"},
        {"tpm-install", "TPM install_plugins"},
        {"user-confs-dir", "user config fragments"},
        {"tidewell-dir", "TideWell directory"},
    };
    for (const auto& [key, title] : kTitles)
        if (key == id) return title;
    return id;
}

// Why the path is not of the kind, or nothing when it is.
std::optional<std::string> mismatch(const std::filesystem::path& path, PathKind kind) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return SystemError(errno).what();
    const bool file = S_ISREG(st.st_mode), dir = S_ISDIR(st.st_mode);
    switch (kind) {
        case PathKind::File:
            if (!file) return "파일이 아닙니다.";
            break;
        case PathKind::Executable:
            if (!file) return "실행 파일이 아닙니다.";
            if (!(st.st_mode & 0111)) return "파일은 있지만 실행 권한이 없습니다.";
            break;
        case PathKind::Directory:
            if (!dir) return "디렉터리가 아닙니다.";
            break;
        case PathKind::WritableDirectory:
            if (!dir) return "쓰기 가능한 디렉터리가 아닙니다.";
            if (!(st.st_mode & 0222)) return "디렉터리는 있지만 쓰기 권한이 없습니다.";
            break;
    }
    return std::nullopt;
}

}  // namespace

void push_path_check(std::vector<Check>& checks, std::string_view group, std::string_view id,
                     const std::filesystem::path& path, PathKind kind, Severity bad, Remedy remedy) {
    const std::string_view title = title_of(id);
    if (auto reason = mismatch(path, kind)) {
        checks.push_back(Check{group, id, bad, fmt::format("{} 점검 실패: {}", title, path_text(path)),
                               std::move(reason), std::move(remedy)});
        return;
    }
    checks.push_back(Check{group, id, Severity::Ok, fmt::format("{}: {}", title, path_text(path)), std::nullopt,
                           std::nullopt});
}

}  // namespace vesk::doctor
