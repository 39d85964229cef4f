// Work that must be done even when SIGINT, SIGTERM or SIGHUP ends the process: a temporary file
// or a tmux socket removed, a child stopped before it starts something that would outlive vesk, a
// private tmux server ended. Destructors do this on every other way out; a signal skips them.
#pragma once

#include <sys/types.h>

#include <filesystem>

namespace vesk {

// One piece of such work, registered for as long as the object lives. While any is registered,
// the three signals (those not ignored) go to a handler that does all registered work with
// async-signal-safe calls only (children first, then processes, then files), puts the previous
// disposition back and raises the signal again, so that the process ends as it would have.
// Registering never fails: beyond a fixed number of pieces the rest are not done on a signal.
class OnSignal {
public:
    // Removes the path.
    static OnSignal remove(const std::filesystem::path& path);
    // Removes `name` in the folder open on `dir`, which stays open while this is registered.
    static OnSignal remove_at(int dir, const std::filesystem::path& name);
    // Removes the empty directory, after every path above is gone.
    static OnSignal remove_dir(const std::filesystem::path& path);
    // Kills (SIGKILL) and reaps this child of ours.
    static OnSignal kill_child(pid_t child);
    // Sends SIGTERM to this child of ours and reaps it; one that has not ended within a second
    // is killed.
    static OnSignal end_child(pid_t child);
    // Sends SIGTERM to a process that is not our child (a tmux server), or to a process group
    // when given its negated id.
    static OnSignal terminate(pid_t process);

    OnSignal() = default;
    OnSignal(OnSignal&& other) noexcept;
    OnSignal& operator=(OnSignal&& other) noexcept;
    OnSignal(const OnSignal&) = delete;
    OnSignal& operator=(const OnSignal&) = delete;
    ~OnSignal() { release(); }

    // Unregisters without doing the work.
    void release();

private:
    explicit OnSignal(int slot) : slot_(slot) {}
    int slot_ = -1;
};

// A path that is removed when this goes out of scope, and also when a signal ends the process
// first: a temporary file, the socket a private tmux server leaves behind.
class RemoveOnExit {
public:
    explicit RemoveOnExit(std::filesystem::path path);
    ~RemoveOnExit();
    RemoveOnExit(const RemoveOnExit&) = delete;
    RemoveOnExit& operator=(const RemoveOnExit&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // The path is wanted after all: it stays, also on a signal.
    void keep();

private:
    std::filesystem::path path_;
    OnSignal on_signal_;
};

}  // namespace vesk
