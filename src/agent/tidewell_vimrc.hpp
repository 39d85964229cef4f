// The vim script the staging area's editor runs: Markdown settings, completion keys, the words
// it leaves in the sentinel file as vim is left, and <Leader>o for inserting an earlier question.
#pragma once

#include <filesystem>
#include <string>

namespace vesk::agent {

struct TidewellVimrcPaths {
    std::filesystem::path sentinel;      // where vim writes "save" or "send"
    std::filesystem::path question_dir;  // the project folder
    std::filesystem::path program;       // vesk, called back by <Leader>o
    std::filesystem::path base_script;   // the distribution's vimrc
};

std::string tidewell_vimrc(const TidewellVimrcPaths& paths);

}  // namespace vesk::agent
