// What the agent tests share: a command run in a pane of the picker session's tmux as a binding
// would start it, and the stand-in agent that records what reaches its terminal.
#pragma once

#include <thread>

#include "support/picker_session.hpp"
#include "support/screen_run.hpp"

namespace vesk::test {

// The environment a pane of the session gives its programs: the private places, TMUX and
// TMUX_PANE as tmux sets them, the session's PATH.
inline EnvChanges pane_env(PickerSession& s, PrivateEnv& env, const EnvChanges& extra = {}) {
    EnvChanges changes = inside_tmux(env.env());
    changes.emplace_back("PATH", s.path());
    changes.insert(changes.end(), extra.begin(), extra.end());
    return changes;
}

// The built program in a new, selected window; the pane id. Its exit status is read with
// s.server().wait_for_exit().
inline std::string run_vesk(PickerSession& s, PrivateEnv& env, const std::vector<std::string>& args,
                            const fs::path& cwd, const EnvChanges& extra = {}) {
    std::vector<std::string> argv = {vesk_binary()};
    argv.insert(argv.end(), args.begin(), args.end());
    return s.server().run_in_current_window(argv, pane_env(s, env, extra), cwd);
}

// An agent stand-in: a program that takes its terminal raw, asks for bracketed paste as agent
// CLIs do, and records every byte it reads in `record`.
inline fs::path add_listening_agent(PickerSession& s, const fs::path& record) {
    return s.add_program("listening-agent", "stty raw -echo\nprintf '\\033[?2004h'\nexec cat > " +
                                                sh_quote(record.string()) + "\n");
}

// The record once it holds `expected` (10 s at most): what arrived, whole.
inline std::string wait_for_record(const fs::path& record, const std::string& expected) {
    std::string text;
    wait_until([&] {
        text = fs::exists(record) ? read_text(record) : "";
        return text.size() >= expected.size();
    });
    return text;
}

}  // namespace vesk::test
