// Command and path checks against stand-in programs and real files.
#include <gtest/gtest.h>

#include <map>

#include "defaults/profile.hpp"
#include "doctor/checks.hpp"
#include "support/private_env.hpp"

namespace vesk::doctor {
namespace {

using test::TempDir;
using test::write_script;
using test::write_text;
namespace fs = std::filesystem;

Remedy hint(const char* text) { return Remedy{text, Action{NoAction{}}}; }

Check command_check(const std::vector<std::string>& candidates, std::string_view flag = "--version") {
    std::vector<Check> checks;
    push_command_check(checks, "system", "bat", "bat", candidates, Severity::Warn, hint("설치하십시오."), flag);
    return checks.at(0);
}

TEST(DoctorChecks, CommandChecksFindTheFirstCandidateAndAskItsVersion) {
    TempDir bin;
    test::EnvGuard env;
    env.set("PATH", bin.path().string());
    write_script(bin / "batcat", "echo 'bat 0.22.1'; echo second line");
    Check c = command_check({"bat", " batcat "});
    EXPECT_EQ(c.severity, Severity::Ok);
    EXPECT_EQ(c.summary, "bat: " + (bin / "batcat").string() + " (bat 0.22.1)");
    EXPECT_EQ(c.detail, "선택된 명령: batcat");
    EXPECT_FALSE(c.remedy);

    // The flag is the caller's (tmux only knows -V); a carriage return goes with the line end.
    write_script(bin / "tmux", "[ \"$1\" = -V ] && printf 'tmux 3.3a\\r\\n'");
    EXPECT_EQ(command_check({"tmux"}, "-V").summary, "bat: " + (bin / "tmux").string() + " (tmux 3.3a)");
    EXPECT_EQ(command_check({"tmux"}).summary, "bat: " + (bin / "tmux").string());
    // A copyright line, a failure, or a program that cannot start leave the version off.
    write_script(bin / "zip", "echo 'Copyright (c) 1990-2008 Info-ZIP'; echo 'This is Zip 3.0'");
    write_script(bin / "failing", "echo 'failing 1.0'; exit 1");
    write_text(bin / "noexec", "echo 'noexec 1.0'\n");
    for (const char* name : {"zip", "failing", "noexec"})
        EXPECT_EQ(command_check({name}).summary, "bat: " + (bin / name).string()) << name;

    // A program that never answers is given up on, and the check says so.
    write_script(bin / "hangs", "/bin/sleep 60 & wait");
    const auto begin = std::chrono::steady_clock::now();
    c = command_check({"hangs"});
    EXPECT_LT(std::chrono::steady_clock::now() - begin, kVersionTimeLimit + std::chrono::seconds(15));  // well before the 60 s
    EXPECT_EQ(c.severity, Severity::Ok);
    EXPECT_EQ(c.summary, "bat: " + (bin / "hangs").string());
    EXPECT_EQ(c.detail, "선택된 명령: hangs (--version에 3초 안에 답하지 않아 버전은 확인하지 못했습니다)");

    // A path needs its execute bit; without it the name is looked up on PATH like any other.
    TempDir work;
    fs::current_path(work.path());
    write_text(work / "tools/vim", "not executable\n");
    write_script(bin / "tools/vim", "echo 'VIM 9.0'");
    EXPECT_EQ(command_check({"./tools/vim"}).summary, "bat: " + (bin / "./tools/vim").string() + " (VIM 9.0)");
    write_script(work / "tools/nvim", "echo 'NVIM v0.9.5'");
    EXPECT_EQ(command_check({"./tools/nvim"}).summary, "bat: ./tools/nvim (NVIM v0.9.5)");

    c = command_check({"bat", "missing "});
    EXPECT_EQ(c.severity, Severity::Warn);
    EXPECT_EQ(c.summary, "bat 명령을 찾지 못했습니다.");
    EXPECT_EQ(c.detail, "PATH에서 찾아본 이름: bat, missing ");
    EXPECT_EQ(c.remedy->text, "설치하십시오.");

    EXPECT_EQ(editor_candidates("nvim", std::nullopt), (std::vector<std::string>{"nvim", "vim"}));
    EXPECT_EQ(editor_candidates("  ", " emacs -nw "), (std::vector<std::string>{"emacs -nw", "vim", "nvim"}));
}

TEST(DoctorChecks, PathChecksNameWhatIsWrong) {
    TempDir dir;
    write_text(dir / "file", "x\n");
    write_script(dir / "script", "true");
    fs::create_directories(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const struct {
        std::string_view id;
        fs::path path;
        PathKind kind;
        std::optional<std::string> reason;  // nothing: passes
    } cases[] = {
        {"lib/vimrc", dir / "file", PathKind::File, std::nullopt},
        {"lib/vimrc", dir.path(), PathKind::File, "파일이 아닙니다."},
        {"bin/vesk", dir / "script", PathKind::Executable, std::nullopt},
        {"bin/vesk", dir / "file", PathKind::Executable, "파일은 있지만 실행 권한이 없습니다."},
        {"bin/vesk", dir.path(), PathKind::Executable, "실행 파일이 아닙니다."},
        {"zelt-root", dir / "file", PathKind::Directory, "디렉터리가 아닙니다."},
        {"plugins-dir", dir / "locked", PathKind::WritableDirectory, "디렉터리는 있지만 쓰기 권한이 없습니다."},
        {"plugins-dir", dir / "file", PathKind::WritableDirectory, "쓰기 가능한 디렉터리가 아닙니다."},
        {"tidewell-dir", dir / "missing", PathKind::Directory, "No such file or directory (os error 2)"},
        {"tidewell-dir", dir / "file/below", PathKind::File, "Not a directory (os error 20)"},
    };
    const std::map<std::string_view, std::string> titles = {{"lib/vimrc", "lib/vimrc"},
                                                            {"bin/vesk", "bin/vesk"},
                                                            {"zelt-root", "zelt root"},
                                                            {"plugins-dir", "tmux plugins directory"},
                                                            {"tidewell-dir", "TideWell directory"}};
    for (const auto& c : cases) {
        std::vector<Check> checks;
        push_path_check(checks, "install", c.id, c.path, c.kind, Severity::Error, hint("고치십시오."));
        const Check& got = checks.at(0);
        const std::string title = titles.at(c.id);
        if (!c.reason) {
            EXPECT_EQ(got.severity, Severity::Ok) << c.path;
            EXPECT_EQ(got.summary, title + ": " + c.path.string());
            EXPECT_FALSE(got.detail || got.remedy);
            continue;
        }
        EXPECT_EQ(got.severity, Severity::Error) << c.path;
        EXPECT_EQ(got.summary, title + " 점검 실패: " + c.path.string());
        EXPECT_EQ(got.detail, c.reason);
        EXPECT_EQ(got.remedy->text, "고치십시오.");
    }
}

TEST(DoctorChecks, RemediesInstallWithHomebrewOrRunThisProgram) {
    TempDir bin;
    test::EnvGuard env;
    env.set("PATH", bin.path().string());
    Remedy r = install_remedy("tmux", "손으로 설치하십시오.");
    EXPECT_EQ(r.text, "손으로 설치하십시오.");
    EXPECT_EQ(r.action, Action{NoAction{}});
    write_script(bin / "brew", "true");
    r = install_remedy("ripgrep", "손으로");
    EXPECT_EQ(r.text, "Homebrew로 ripgrep를 설치합니다.");
    Recipe brew = Recipe::make("brew", {"install", "ripgrep"});
    brew.system = true;
    EXPECT_EQ(r.action, Action{brew});

    r = vesk_remedy("다시", setup_args());
    EXPECT_EQ(r.action, (Action{Recipe::make(fs::read_symlink("/proc/self/exe").string(),
                                             {"setup", "--profile", profile_name(default_profile())})}));
}

}  // namespace
}  // namespace vesk::doctor
