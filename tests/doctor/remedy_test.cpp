// Fixes: directories made at once, programs run as jobs polled without waiting, their logs private
// and gone with the job.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "doctor/checks.hpp"
#include "doctor/remedy.hpp"
#include "support/private_env.hpp"

namespace vesk::doctor {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

Outcome outcome(Started started) {
    EXPECT_TRUE(std::holds_alternative<Outcome>(started));
    return std::get<Outcome>(std::move(started));
}

std::unique_ptr<Job> job(Started started) {
    EXPECT_TRUE(std::holds_alternative<std::unique_ptr<Job>>(started)) << std::get<Outcome>(started).message;
    return std::get<std::unique_ptr<Job>>(std::move(started));
}

Outcome wait_for_end(Job& j) {
    std::optional<Outcome> out;
    EXPECT_TRUE(test::wait_until([&] { return (out = j.finished()).has_value(); }));
    return out.value_or(Outcome{});
}

size_t files_in(const fs::path& dir) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

Action run(const std::string& script) { return Action{Recipe::make("sh", {"-c", script})}; }

TEST(DoctorRemedy, ImmediateOutcomesAndLogNames) {
    TempDir dir;
    test::EnvGuard env;
    env.set("TMPDIR", dir.path().string());

    Outcome none = outcome(start("list-keys", Action{NoAction{}}));
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.message, "이 항목은 사람이 직접 해야 합니다. 여기서 실행할 수 있는 조치가 없습니다.");

    const fs::path made = dir / "it's a/new dir";
    for (int time = 0; time < 2; ++time) {  // an existing directory is no failure
        Outcome mkdir = outcome(start("config-dir", Action{Mkdir{made}}));
        EXPECT_TRUE(mkdir.ok);
        EXPECT_EQ(mkdir.message, "디렉터리를 만들었습니다.");
        EXPECT_EQ(mkdir.lines, std::vector<std::string>{made.string()});
    }
    EXPECT_TRUE(fs::is_directory(made));
    test::write_text(dir / "file", "");
    Outcome blocked = outcome(start("config-dir", Action{Mkdir{dir / "file/sub"}}));
    EXPECT_FALSE(blocked.ok);
    EXPECT_EQ(blocked.message, "만들지 못했습니다: Not a directory (os error 20)");

    // A program that cannot start leaves no log behind.
    const size_t before = files_in(dir.path());
    Outcome missing = outcome(start("tmux", Action{Recipe::make("vesk-no-such-program", {})}));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.message, "실행하지 못했습니다: No such file or directory (os error 2)");
    EXPECT_TRUE(missing.lines.empty());
    EXPECT_EQ(files_in(dir.path()), before);

    const std::string pid = std::to_string(::getpid());
    const std::string first = log_name_prefix("lists/note-dir.list");
    ASSERT_TRUE(first.starts_with("vesk-doctor-" + pid + "-lists-note-dir-list-")) << first;
    const unsigned n = std::stoul(first.substr(first.rfind("-list-") + 6));
    EXPECT_EQ(first, "vesk-doctor-" + pid + "-lists-note-dir-list-" + std::to_string(n) + "-");
    EXPECT_EQ(log_name_prefix("lists/note-dir.list"),
              "vesk-doctor-" + pid + "-lists-note-dir-list-" + std::to_string(n + 1) + "-");
    EXPECT_EQ(log_name_prefix("한글@id"), "vesk-doctor-" + pid + "----id-" + std::to_string(n + 2) + "-");
}

TEST(DoctorRemedy, JobsArePolledWhileTheyRunAndReportTheirEnd) {
    TempDir dir;
    test::EnvGuard env;
    env.set("TMPDIR", dir.path().string());

    // Output and errors go to a private log; its last lines show while the fix runs.
    const fs::path stop = dir / "stop";
    auto running = job(start("plugins-dir", run("echo \"one $NONINTERACTIVE\"; echo two >&2; read x; echo \"[$x]\";"
                                                "while [ ! -e '" + stop.string() + "' ]; do sleep 0.02; done")));
    const fs::path log = running->log();
    EXPECT_EQ(log.parent_path(), dir.path());
    EXPECT_TRUE(log.filename().string().starts_with("vesk-doctor-" + std::to_string(::getpid()) + "-plugins-dir-"));
    EXPECT_TRUE(log.filename().string().ends_with(".log"));
    struct stat st;
    ASSERT_EQ(::stat(log.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(test::wait_until([&] { return running->tail().size() == 3; }));
    EXPECT_EQ(running->tail(), (std::vector<std::string>{"one 1", "two", "[]"}));
    EXPECT_FALSE(running->finished());
    test::write_text(stop, "");
    Outcome done = wait_for_end(*running);
    EXPECT_TRUE(done.ok);
    EXPECT_EQ(done.message, "끝났습니다.");
    EXPECT_EQ(done.lines, (std::vector<std::string>{"one 1", "two", "[]"}));
    running.reset();
    EXPECT_FALSE(fs::exists(log));

    // Only the last 8 non-blank lines, right-trimmed; a failure names its exit code, a signal -1.
    auto failing = job(start("tmux", run("for i in $(seq 1 20); do echo \"line $i   \"; echo; done; exit 3")));
    Outcome failed = wait_for_end(*failing);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.message, "명령이 실패했습니다 (종료 코드 3)");
    EXPECT_EQ(failed.lines, (std::vector<std::string>{"line 13", "line 14", "line 15", "line 16", "line 17",
                                                      "line 18", "line 19", "line 20"}));
    auto killed = job(start("tmux", run("kill -9 $$")));
    EXPECT_EQ(wait_for_end(*killed).message, "명령이 실패했습니다 (종료 코드 -1)");
    // A log that is not UTF-8 shows nothing.
    auto binary = job(start("tmux", run("printf 'a\\377\\n'")));
    EXPECT_TRUE(wait_for_end(*binary).lines.empty());
}

// A fix followed by a fresh collect: the check it was for is healthy now.
TEST(DoctorRemedy, AFreshCollectSeesTheFix) {
    test::PrivateEnv home;
    test::EnvGuard env;
    for (const auto& [name, value] : home.env()) env.set(name, value);
    env.set("TIDEWELL_DIR", (home.root() / "it's tide").string());
    const config::Places places = config::Places::resolve();
    const Report before = collect(places);
    const Check* tide = before.find("tidewell-dir");
    ASSERT_TRUE(tide && tide->remedy);
    EXPECT_EQ(tide->severity, Severity::Warn);
    EXPECT_EQ(tide->remedy->action.line(), "mkdir -p '" + home.root().string() + "/it'\\''s tide'");
    EXPECT_TRUE(outcome(start(tide->id, tide->remedy->action)).ok);
    EXPECT_EQ(collect(places).find("tidewell-dir")->severity, Severity::Ok);
}

}  // namespace
}  // namespace vesk::doctor
