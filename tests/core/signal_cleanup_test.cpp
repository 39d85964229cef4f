#include "core/signal_cleanup.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

// A signal does the registered work (a child stopped, a file removed) and still ends the process
// with that signal; released work is not done, and a signal the process ignores stays ignored.
TEST(SignalCleanup, TheSignalDoesTheWorkAndStillEndsTheProcess) {
    TempDir dir;
    const fs::path kept = dir / "kept", removed = dir / "removed", child_pid = dir / "child";
    for (int sig : {SIGTERM, SIGHUP, SIGINT, 0}) {
        write_text(kept, "x");
        write_text(removed, "x");
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (sig == 0) ::signal(SIGHUP, SIG_IGN);  // nohup
            RemoveOnExit gone(removed);
            OnSignal released = OnSignal::remove(kept);
            released.release();
            const pid_t child = ::fork();
            if (child == 0) ::_exit(::execlp("sleep", "sleep", "60", nullptr));
            write_text(child_pid, std::to_string(child));
            OnSignal stop = OnSignal::kill_child(child);
            ::raise(sig == 0 ? SIGHUP : sig);
            ::_exit(fs::exists(removed) ? 0 : 1);  // only under nohup
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (sig == 0) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            ::kill(std::stoi(read_text(child_pid)), SIGKILL);
            continue;
        }
        ASSERT_TRUE(WIFSIGNALED(status)) << sig;
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_TRUE(fs::exists(kept));
        EXPECT_FALSE(fs::exists(removed)) << sig;
        EXPECT_NE(::kill(std::stoi(read_text(child_pid)), 0), 0) << "the child still runs";
    }
    // Once nothing is registered the old disposition is back.
    { RemoveOnExit brief(dir / "brief"); }
    struct sigaction now {};
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}
