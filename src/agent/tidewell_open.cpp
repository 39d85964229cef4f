// The ways into the staging area: `open` (floating pane), `window-open` (new window) and
// `project-select` (pick the project, then `open`). Each hands the target pane on explicitly, so
// that another staging area opened meanwhile cannot redirect the question.
#include <fmt/format.h>

#include "agent/git_project.hpp"
#include "agent/tidewell.hpp"
#include "agent/tidewell_store.hpp"
#include "config/places.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"
#include "ui/select.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

// The --target-pane value when given, else TMUX_PANE; none when that is empty.
std::optional<std::string> target_of(const std::optional<std::string>& given) {
    std::optional<std::string> target = given ? given : env_var("TMUX_PANE");
    if (target && target->empty()) return std::nullopt;
    return target;
}

void remember_target(const Tmux& tmux, const std::optional<std::string>& target) {
    if (target) tmux.run({"set-option", "-gq", std::string(kTargetOption), *target});
}

std::string chat_popup_command(const std::string& program, const std::optional<std::string>& target) {
    std::string command = fmt::format("{} tidewell chat-popup", program);
    if (target) command += " --target-pane " + shell_quote(*target);
    return command;
}

}  // namespace

void tidewell_open(const OpenArgs& args) {
    require_tmux("Must be run inside tmux.");
    Tmux tmux;
    const std::string program = shell_quote(vesk_bin(tmux));
    const std::optional<std::string> target = target_of(args.target_pane);
    remember_target(tmux, target);
    std::string command;
    if (args.project && !args.project->empty()) command = fmt::format("TIDEWELL_PROJECT={} ", shell_quote(*args.project));
    command += chat_popup_command(program, target);
    tmux.open_floating_pane(FloatingPane{"90%", "90%", "5%", "5%", std::nullopt}, command);
}

void tidewell_window_open(const TargetPaneArgs& args) {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const std::string program = shell_quote(vesk_bin(tmux));
    const std::optional<std::string> target = target_of(args.target_pane);
    remember_target(tmux, target);
    std::string dir;
    if (target) {
        try {
            dir = tmux.display(*target, "#{pane_current_path}");
        } catch (const std::exception&) {
            // A pane that is gone has no directory: the home directory stands in.
        }
    }
    if (dir.empty()) dir = config::Environment::current().home.value_or("");
    if (dir.empty()) dir = "/";
    // new-window expands its -c as a format.
    tmux.run({"new-window", "-n", "TideWell", "-c", tmux_format_escape(dir), chat_popup_command(program, target)});
}

void tidewell_project_select(const ProjectSelectArgs& args) {
    require_tmux("tmux 세션 안에서만 실행 가능합니다.");
    Tmux tmux;
    const std::string program = shell_quote(vesk_bin(tmux));
    std::optional<std::string> target = target_of(args.target_pane);

    if (!args.popup) {
        // The binding names no pane and its run-shell job has none: the pane the key was pressed
        // in is the one tmux reports as current, and it must be known before the popup covers it.
        if (!target) {
            try {
                std::string pane = tmux.display(std::nullopt, "#{pane_id}");
                if (!pane.empty()) target = pane;
            } catch (const std::exception&) {
            }
        }
        std::string command = fmt::format("{} tidewell project-select --popup", program);
        if (target) command += " --target-pane " + shell_quote(*target);
        tmux.run({"display-popup", "-E", "-w", "45%", "-h", "60%", "-T", "[ TideWell Project Select ]", "--", command});
        return;
    }

    const fs::path staging = staging_root(config::Environment::current().home);
    std::error_code ec;
    fs::create_directories(staging / "project", ec);
    if (ec) {
        try {
            display_message(tmux, "TideWell: ~/.tidewell 생성 실패(권한 확인).");
        } catch (const std::exception&) {
        }
        throw Error("failed to create ~/.tidewell");
    }
    const std::string session = tmux.display(std::nullopt, "#{session_id}");
    const fs::path here = tmux.display(std::nullopt, "#{pane_current_path}");

    // Every candidate is offered as the folder name it will have.
    const std::optional<std::string> remembered = remembered_project(tmux, session);
    std::vector<std::string> candidates;
    if (remembered) push_unique(candidates, safe_project_name(*remembered));
    if (auto git = detect_git_project(here)) push_unique(candidates, safe_project_name(*git));
    push_unique(candidates, "inbox");
    const fs::path history = session_history_file(staging, session);
    for (const auto& name : read_history(history)) push_unique(candidates, safe_project_name(name));

    std::optional<std::string> initial = remembered ? std::optional(safe_project_name(*remembered)) : std::nullopt;
    std::optional<std::string> project = ui_select("TideWell project> ", candidates, initial);
    if (!project) {
        display_message(tmux, "TideWell: 프로젝트 선택이 취소되었습니다.");
        return;
    }
    remember_in_history(history, *project);
    remember_project(tmux, session, *project);

    std::string command = fmt::format("{} tidewell open --project {}", program, shell_quote(*project));
    if (target) command += " --target-pane " + shell_quote(*target);
    // run-shell expands formats in its command: a '#' in the project name stays itself.
    tmux.run({"run-shell", "-b", tmux_format_escape(command)});
}

}  // namespace vesk::agent
