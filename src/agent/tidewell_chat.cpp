// `tidewell chat-popup`: the question is written in vim, kept as a file of the project and, when
// vim was left with wq!, pasted into the target pane followed by Enter.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <fmt/format.h>

#include "agent/git_project.hpp"
#include "agent/question_picker.hpp"
#include "agent/text.hpp"
#include "agent/tidewell.hpp"
#include "agent/tidewell_store.hpp"
#include "agent/tidewell_vimrc.hpp"
#include "config/places.hpp"
#include "core/command.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/git.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

// Clears @tidewell_target_pane when the command ends, unless another staging area has set it to
// a pane of its own meanwhile: that one's question must still find its pane.
class TargetOptionGuard {
public:
    explicit TargetOptionGuard(const Tmux& tmux) : tmux_(tmux), at_start_(tmux.get_option_global(kTargetOption)) {}
    ~TargetOptionGuard() {
        try {
            if (tmux_.get_option_global(kTargetOption) == at_start_)
                tmux_.run({"set-option", "-g", "-u", kTargetOption});
        } catch (const std::exception&) {
        }
    }
    TargetOptionGuard(const TargetOptionGuard&) = delete;
    TargetOptionGuard& operator=(const TargetOptionGuard&) = delete;
    const std::optional<std::string>& at_start() const { return at_start_; }

private:
    const Tmux& tmux_;
    std::optional<std::string> at_start_;
};

bool pane_exists_quiet(const Tmux& tmux, const std::string& pane) {
    try {
        return tmux.pane_exists(pane);
    } catch (const std::exception&) {
        return false;
    }
}

// The file's bytes; "" when it cannot be read. Bytes, not text: a question in another encoding is
// still the user's question.
std::string bytes_or_empty(const fs::path& path) {
    try {
        return read_file(path);
    } catch (const std::exception&) {
        return "";
    }
}

std::string resolve_project(const Tmux& tmux, const fs::path& git_root, const fs::path& workdir,
                            const std::string& session) {
    if (auto text = read_text_if_any(git_root / ".project")) {
        auto lines = split_lines(*text);
        if (!lines.empty() && !trim(lines.front()).empty()) return std::string(trim(lines.front()));
    }
    if (auto project = env_non_empty("TIDEWELL_PROJECT")) return *project;
    if (auto project = remembered_project(tmux, session)) return *project;
    if (auto project = detect_git_project(workdir)) return *project;
    return "inbox";
}

void paste_into(const Tmux& tmux, const std::string& target, const std::string& text) {
    const std::string buffer = fmt::format("tidewell-input-{}", ::getpid());
    auto drop_buffer = [&] {
        try {
            tmux.output({"delete-buffer", "-b", buffer});
        } catch (const std::exception&) {
        }
    };
    try {
        // load-buffer reads the text from standard input (set-buffer would refuse a text that
        // begins with '-' or is longer than a command may be).
        tmux.run_with_input({"load-buffer", "-b", buffer, "-"}, text);
        tmux.run({"paste-buffer", "-t", target, "-b", buffer, "-p"});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        tmux.run({"send-keys", "-t", target, "Enter"});
    } catch (...) {
        drop_buffer();
        throw;
    }
    drop_buffer();
}

// An error whose message the status line shows already, in words of its own.
struct ShownError : Error {
    using Error::Error;
};

void chat(const Tmux& tmux, const TargetPaneArgs& args) {
    TargetOptionGuard guard(tmux);
    const fs::path root = zelt_path(tmux);
    const std::string program_path = vesk_bin(tmux);
    const std::string program = shell_quote(program_path);

    const std::string vim = tmux.option("@vim_bin").value_or("vim");
    if (!which(vim)) {
        display_message(tmux, fmt::format("vim not found: {} (tmux 옵션 @vim_bin 확인)", vim));
        throw ExitCode(127);
    }

    // The pane the question goes to: the caller's environment, else the pane `open` handed over,
    // else the option it set (for callers that hand nothing over).
    std::optional<std::string> target = env_non_empty("CODEX_ORIGIN_PANE");
    if (!target && args.target_pane && !args.target_pane->empty()) target = args.target_pane;
    if (!target) target = guard.at_start();

    std::string workdir;
    if (target && pane_exists_quiet(tmux, *target)) {
        try {
            workdir = tmux.display(*target, "#{pane_current_path}");
        } catch (const std::exception&) {
        }
    }
    const std::string current = tmux.display(std::nullopt, "#{pane_current_path}");
    if (workdir.empty()) workdir = current;
    const fs::path git_root = git_root_or(workdir);
    const std::string session = tmux.display(std::nullopt, "#{session_id}");
    const std::string project = safe_project_name(resolve_project(tmux, git_root, workdir, session));

    const fs::path staging = staging_root(config::Environment::current().home);
    remember_in_history(session_history_file(staging, session), project);
    remember_project(tmux, session, project);
    const fs::path folder = project_folder(staging, project);
    fs::create_directories(folder);

    const fs::path base = root / "lib" / "vimrc";
    std::error_code ec;
    if (!fs::is_regular_file(base, ec)) {
        display_message(tmux, fmt::format("TideWell vimrc not found: {}", path_text(base)));
        throw ShownError("vimrc not found");
    }

    QuestionChoice choice = select_existing_question(program, folder, project);
    if (choice.kind == QuestionChoice::Cancelled) return;
    std::string seed;
    if (choice.kind == QuestionChoice::Picked && fs::is_regular_file(choice.path, ec)) seed = read_file(choice.path);

    TempFile input(seed);
    TempFile sentinel("");
    TempFile script(tidewell_vimrc({sentinel.path(), folder, program_path, base}));
    ChildCommand editor(vim, {"-u", base.native(), "-i", "NONE", "-n", "-S", script.path().native(), input.path().native()});
    editor.set_env("TIDE_CHAT_SENTINEL", sentinel.path().native())
        .set_env("TIDE_DIR", folder.native())
        .set_env("TIDE_VIMRC", base.native());
    ExitStatus status = with_context("failed to run vim", [&] { return Child::spawn(editor).wait(); });

    const std::string edited = bytes_or_empty(input.path());
    // What the user wrote to the file counts, however vim was left: :x, ZZ, :w then :q or a vim
    // that failed afterwards must not lose the question.
    const bool written = edited != seed;
    const std::string text = trim_leading_blank_lines(edited);
    const std::string stamp = format_local_time("%Y-%m-%d_%H-%M-%S");
    if (!status.success()) {
        if (written && !is_blank(text)) {
            save_question(folder, stamp, text);
            display_message(tmux, "TideWell saved (not sent).");
        }
        throw Error("vim exited with " + status.describe());
    }

    const Ending ending = vim_ending(bytes_or_empty(sentinel.path()), written);
    if (ending == Ending::Drop) {
        display_message(tmux, "TideWell: 저장 없이 종료되었습니다.");
        return;
    }
    if (is_blank(text)) {
        display_message(tmux, "TideWell input is empty; not saved.");
        return;
    }
    const fs::path question = save_question(folder, stamp, text);
    if (ending == Ending::Save) {
        display_message(tmux, "TideWell saved (not sent).");
        return;
    }

    // Kept unstamped until the text has reached the pane: a question that was not sent never
    // reads as sent.
    if (!target || !pane_exists_quiet(tmux, *target)) throw Error("TideWell target pane not found.");
    paste_into(tmux, *target, text);
    std::string sent_stamp = stamp;
    std::replace(sent_stamp.begin(), sent_stamp.end(), '_', ' ');
    write_file_atomically(question, stamp_first_line(text, sent_stamp));
    display_message(tmux, "TideWell input sent.");
}

}  // namespace

void tidewell_chat_popup(const TargetPaneArgs& args) {
    require_tmux("Must be run inside tmux.");
    Tmux tmux;
    try {
        chat(tmux, args);
    } catch (const ShownError&) {
        throw;
    } catch (const std::exception& e) {
        // The floating pane closes as the command ends, and the error printed in it with it: the
        // status line keeps it where the user can read it.
        if (!exit_status_in_chain(e)) {
            try {
                const std::string message = error_one_line(e);
                display_message(tmux, message.starts_with("TideWell") ? message : "TideWell: " + message);
            } catch (const std::exception&) {
            }
        }
        throw;
    }
}

}  // namespace vesk::agent
