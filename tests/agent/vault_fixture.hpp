// A vault test bed: a private environment whose vesk calls reach a private tmux server (TMUX set,
// @zelt pointing at the private installation root), a private bin folder first on PATH for the
// stand-ins (trash, open), and the vault at $HOME/.quillbox unless a test says otherwise.
#pragma once

#include <gtest/gtest.h>
#include <utime.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/process.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {

// Index lines carry each file's modification time and listings order by it, so tests pin it down.
inline void set_mtime(const fs::path& path, std::int64_t seconds) {
    struct utimbuf times{static_cast<time_t>(seconds), static_cast<time_t>(seconds)};
    ASSERT_EQ(::utime(path.c_str(), &times), 0) << path;
}

struct VaultBed {
    PrivateEnv env;
    TmuxServer server{120, 40, env.tmp()};
    fs::path bin = env.root() / "bin";

    VaultBed() {
        fs::create_directories(bin);
        env.vars["TMUX"] = server.tmux_env_value();
        env.vars["PATH"] = bin.string() + ":/usr/bin:/bin";
        server.tmux_ok({"set-option", "-g", "@zelt", env.zelt().string()});
    }

    fs::path root() const { return env.home() / ".quillbox"; }

    // `vesk quillbox ARGS...`, in `cwd` when given.
    RunResult qb(std::vector<std::string> args, const std::optional<fs::path>& cwd = std::nullopt) const {
        args.insert(args.begin(), "quillbox");
        ChildCommand command(vesk_binary(), args);
        command.env = env.env();
        if (cwd) command.cwd = cwd->string();
        Output out = run_child(command.stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe));
        return RunResult{out.status.code().value_or(-1), std::move(out.out), std::move(out.err)};
    }

    // The same through the recording tmux (which passes every call on to the server); the tmux
    // calls it made land in `calls`.
    RunResult recorded(const std::vector<std::string>& args, std::vector<std::vector<std::string>>& calls) {
        const fs::path log = env.root() / "tmux.log";
        fs::remove(log);
        env.vars["TMUX_BIN"] = recording_tmux_path().string();
        env.vars["RECORD_TMUX_LOG"] = log.string();
        env.vars["RECORD_TMUX_SOCKET"] = server.socket_name();
        RunResult r = qb(args);
        env.vars.erase("TMUX_BIN");
        env.vars.erase("RECORD_TMUX_LOG");
        env.vars.erase("RECORD_TMUX_SOCKET");
        calls = recorded_calls(log);
        return r;
    }

    // The texts shown with display-message, as tmux received them.
    static std::vector<std::string> messages(const std::vector<std::vector<std::string>>& calls) {
        std::vector<std::string> out;
        for (const auto& call : calls)
            if (call.size() == 2 && call[0] == "display-message") out.push_back(call[1]);
        return out;
    }
};

}  // namespace vesk::test
