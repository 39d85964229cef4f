// The question staging area (`vesk tidewell`): questions written in vim, kept per project and
// pasted into the agent's pane.
#pragma once

#include <optional>
#include <string>

namespace vesk::agent {

struct OpenArgs {
    std::optional<std::string> target_pane;
    std::optional<std::string> project;
};
struct TargetPaneArgs {
    std::optional<std::string> target_pane;
};
struct ProjectSelectArgs {
    std::optional<std::string> target_pane;
    bool popup = false;
};
struct QuestionListArgs {
    std::string dir;
    std::optional<std::string> query;
};
struct QuestionPreviewArgs {
    std::string file;
    std::optional<std::string> query;
};
struct QuestionSelectArgs {
    std::string dir;
};

// `open`: remembers the pane that receives the question and starts `chat-popup` in a floating
// pane over it, handing it that pane and, with --project, the project.
void tidewell_open(const OpenArgs& args);
// `window-open`: the same in a new window "TideWell" in the target pane's directory.
void tidewell_window_open(const TargetPaneArgs& args);
// `project-select`: opens a popup that runs itself with --popup; there the user picks the project
// (the session's last one, the git project, "inbox", the session's history) and `open` follows.
void tidewell_project_select(const ProjectSelectArgs& args);
// `chat-popup [--target-pane PANE]`: offers the project's earlier questions, runs vim on a new one
// and, depending on how vim was left, keeps it, keeps and sends it to the target pane, or drops it.
void tidewell_chat_popup(const TargetPaneArgs& args);
// `question-list DIR [QUERY]`: one "title\tpath" row per question, newest first.
void tidewell_question_list(const QuestionListArgs& args);
// `question-preview FILE [QUERY]`: a window of the file around the first line holding QUERY.
void tidewell_question_preview(const QuestionPreviewArgs& args);
// `question-select DIR`: a picker over the questions; prints the chosen path.
void tidewell_question_select(const QuestionSelectArgs& args);

}  // namespace vesk::agent
