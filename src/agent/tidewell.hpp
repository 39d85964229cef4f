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

}  // namespace vesk::agent
