#include "core/signal_cleanup.hpp"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vesk {

namespace {

enum Kind : int { kFree = 0, kRemove, kRemoveDir, kKillChild, kEndChild, kTerminate };

// Plain storage the handler can read at any moment: a slot's data is complete before its kind
// is set, and both change only while the three signals are blocked.
struct Slot {
    volatile sig_atomic_t kind = kFree;
    pid_t pid = -1;
    int dir = AT_FDCWD;  // the folder a relative path of kRemove is taken in
    char path[PATH_MAX] = {};
};

constexpr int kSlotCount = 16;
Slot slots[kSlotCount];
int registered = 0;

constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];
bool installed[3] = {false, false, false};

void run(int kind) {
    for (Slot& slot : slots) {
        if (slot.kind != kind) continue;
        if (kind == kKillChild) {
            ::kill(slot.pid, SIGKILL);
            while (::waitpid(slot.pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        } else if (kind == kTerminate) {
            ::kill(slot.pid, SIGTERM);
        } else if (kind == kRemoveDir) {
            ::rmdir(slot.path);
        } else {
            ::unlinkat(slot.dir, slot.path, 0);
        }
    }
}

// The children asked to end: SIGTERM to each, then each reaped, killed once the grace time is
// over. fzf restores the terminal on SIGTERM, which SIGKILL would leave raw.
void end_children() {
    bool any = false;
    for (Slot& slot : slots) {
        if (slot.kind != kEndChild) continue;
        ::kill(slot.pid, SIGTERM);
        any = true;
    }
    if (!any) return;
    constexpr long kStepNs = 10'000'000;  // 10 ms, 100 times: a second in all
    int steps_left = 100;
    for (Slot& slot : slots) {
        if (slot.kind != kEndChild) continue;
        for (;;) {
            const pid_t r = ::waitpid(slot.pid, nullptr, WNOHANG);
            if (r == slot.pid || (r < 0 && errno != EINTR)) break;
            if (steps_left-- <= 0) {
                ::kill(slot.pid, SIGKILL);
                while (::waitpid(slot.pid, nullptr, 0) < 0 && errno == EINTR) {
                }
                break;
            }
            const timespec step{0, kStepNs};
            ::nanosleep(&step, nullptr);
        }
    }
}

void on_signal(int sig) {
    const int saved_errno = errno;
    // A child first: stopped, it can no longer make the socket that is removed next.
    run(kKillChild);
    end_children();
    run(kTerminate);
    run(kRemove);
    run(kRemoveDir);  // emptied by now
    for (int i = 0; i < 3; ++i) {
        if (kSignals[i] == sig && installed[i]) {
            ::sigaction(sig, &previous[i], nullptr);
            installed[i] = false;
        }
    }
    // Blocked while this handler runs: delivered to the previous disposition once it returns.
    ::raise(sig);
    errno = saved_errno;
}

// Keeps the three signals away while the slots and handlers change.
class BlockSignals {
public:
    BlockSignals() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kSignals) sigaddset(&set, sig);
        ::sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~BlockSignals() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }

private:
    sigset_t old_;
};

void install_handlers() {
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigfillset(&sa.sa_mask);
    for (int i = 0; i < 3; ++i) {
        struct sigaction current {};
        ::sigaction(kSignals[i], nullptr, &current);
        // A signal the process was told to ignore (nohup) stays ignored.
        if (current.sa_handler == SIG_IGN) continue;
        ::sigaction(kSignals[i], &sa, &previous[i]);
        installed[i] = true;
    }
}

void restore_handlers() {
    for (int i = 0; i < 3; ++i) {
        if (!installed[i]) continue;
        ::sigaction(kSignals[i], &previous[i], nullptr);
        installed[i] = false;
    }
}

int take_slot(int kind, pid_t pid, const char* path, int dir = AT_FDCWD) {
    BlockSignals block;
    for (int i = 0; i < kSlotCount; ++i) {
        Slot& slot = slots[i];
        if (slot.kind != kFree) continue;
        if (path && std::strlen(path) >= sizeof slot.path) return -1;
        slot.pid = pid;
        slot.dir = dir;
        if (path) std::strcpy(slot.path, path);
        slot.kind = kind;
        if (registered++ == 0) install_handlers();
        return i;
    }
    return -1;
}

}  // namespace

OnSignal OnSignal::remove(const std::filesystem::path& path) { return OnSignal(take_slot(kRemove, -1, path.c_str())); }

OnSignal OnSignal::remove_at(int dir, const std::filesystem::path& name) {
    return OnSignal(take_slot(kRemove, -1, name.c_str(), dir));
}

OnSignal OnSignal::remove_dir(const std::filesystem::path& path) {
    return OnSignal(take_slot(kRemoveDir, -1, path.c_str()));
}

OnSignal OnSignal::kill_child(pid_t child) { return OnSignal(take_slot(kKillChild, child, nullptr)); }

OnSignal OnSignal::end_child(pid_t child) { return OnSignal(take_slot(kEndChild, child, nullptr)); }

OnSignal OnSignal::terminate(pid_t process) { return OnSignal(take_slot(kTerminate, process, nullptr)); }

OnSignal::OnSignal(OnSignal&& other) noexcept : slot_(other.slot_) { other.slot_ = -1; }

OnSignal& OnSignal::operator=(OnSignal&& other) noexcept {
    if (this != &other) {
        release();
        slot_ = other.slot_;
        other.slot_ = -1;
    }
    return *this;
}

void OnSignal::release() {
    if (slot_ < 0) return;
    BlockSignals block;
    slots[slot_].kind = kFree;
    slot_ = -1;
    if (--registered == 0) restore_handlers();
}

RemoveOnExit::RemoveOnExit(std::filesystem::path path) : path_(std::move(path)), on_signal_(OnSignal::remove(path_)) {}

RemoveOnExit::~RemoveOnExit() {
    on_signal_.release();
    if (!path_.empty()) ::unlink(path_.c_str());
}

void RemoveOnExit::keep() {
    on_signal_.release();
    path_.clear();
}

}  // namespace vesk
