#include "core/signal_cleanup.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/files.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

namespace {

// Runs `body` in a forked child and returns its wait status.
int in_child(const std::function<void()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

}  // namespace

// A signal does the registered work (a child stopped, files removed) and still ends the process
// with that signal; work released before is not done, and an ignored signal stays ignored.
TEST(SignalCleanup, TheSignalRemovesFilesStopsChildrenAndStillEndsTheProcess) {
    TempDir dir;
    const fs::path kept = dir / "kept", removed = dir / "removed", pid_file = dir / "child";
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
        write_text(kept, "x");
        write_text(removed, "x");
        int status = in_child([&] {
            RemoveOnExit gone(removed);
            OnSignal released = OnSignal::remove(kept);
            released.release();
            const pid_t child = ::fork();
            if (child == 0) {
                ::execlp("sleep", "sleep", "60", nullptr);
                ::_exit(127);
            }
            write_text(pid_file, std::to_string(child));
            OnSignal stop = OnSignal::kill_child(child);
            TempFile temp("temporary");
            write_text(dir / "temp", temp.path().string());
            ::raise(sig);
            ::_exit(0);  // not reached
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << sig;
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_TRUE(fs::exists(kept));
        EXPECT_FALSE(fs::exists(removed)) << sig;
        EXPECT_FALSE(fs::exists(read_text(dir / "temp"))) << sig;
        EXPECT_NE(::kill(std::stoi(read_text(pid_file)), 0), 0) << "the child still runs";
    }

    // Under nohup the hang-up stays ignored: nothing is removed and the process goes on.
    write_text(removed, "x");
    int status = in_child([&] {
        ::signal(SIGHUP, SIG_IGN);
        bool survived = false;
        {
            RemoveOnExit gone(removed);
            ::raise(SIGHUP);
            survived = fs::exists(removed);
        }
        ::_exit(survived && !fs::exists(removed) ? 0 : 1);  // removed on the normal way out
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // Once nothing is registered the old disposition is back.
    struct sigaction now {};
    { RemoveOnExit brief(dir / "brief"); }
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}
