// The distribution's vim scripts in a real vim: the vimrc loads cleanly, and the aligners line up
// the columns of list and index files without touching what the tools read.
#include <gtest/gtest.h>

#include <regex>

#include "support/private_env.hpp"

namespace vesk::test {
namespace {

TEST(DistVim, AlignersLineUpColumnsAndLeaveTheLastFieldAlone) {
    PrivateEnv env;
    // vim in Ex mode with the distribution's vimrc runs `command` on a file holding `text`.
    const auto vim = [&](const std::string& name, const std::string& text, const std::string& command) {
        write_text(env.root() / name, text);
        const std::vector<std::string> args = {"-u", VESK_SOURCE_DIR "/dist/lib/vimrc", "-i", "NONE", "-n", "-es", "-c",
                                               command, "-c", "wq", (env.root() / name).string()};
        EXPECT_EQ(env.run_program("vim", args).status, 0) << command;
        return read_text(env.root() / name);
    };
    // Lists: only the separators before the last field move; a | inside a command stays.
    EXPECT_EQ(vim("lists/find-file-and-exec.list", "# 주석 | 그대로\nvim | vim\n한글 이름 | git log -p | less\n\nno separator\n",
                  "ListAlign"),
              "# 주석 | 그대로\nvim       | vim\n한글 이름 | git log -p | less\n\nno separator\n");
    EXPECT_EQ(vim("lists/launch-app.list", "a | b | echo x|cat\nlonger | kw | ls\n", "ListAlign"),
              "a      | b  | echo x|cat\nlonger | kw | ls\n");
    // Index files: every column.
    EXPECT_EQ(vim(".index", " | a.md | 제목 | 1\ninbox | bb.md | t | 22\n", "IndexAlign"),
              "      | a.md  | 제목 | 1\ninbox | bb.md | t    | 22\n");
    // The vimrc loads without an error or a warning.
    const fs::path messages = env.root() / "messages";
    vim("note.md", "x\n", "redir! > " + messages.string() + " | messages | redir END");
    EXPECT_FALSE(std::regex_search(read_text(messages), std::regex("[EW][0-9]+:"))) << read_text(messages);
}

}  // namespace
}  // namespace vesk::test
