// The distribution's vim scripts in a real vim: the base vimrc loads cleanly, and the aligners
// line up the columns of list and index files without touching what the tools read.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "support/private_env.hpp"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::read_text;
using test::write_text;

const fs::path kLib = fs::path(VESK_SOURCE_DIR) / "dist/lib";

// vim in Ex mode with the distribution's vimrc, the commands run on `file`; returns vim's status.
int vim(const test::PrivateEnv& env, const fs::path& file, const std::vector<std::string>& commands) {
    std::vector<std::string> args = {"-u", (kLib / "vimrc").string(), "-i", "NONE", "-n", "-es"};
    for (const auto& command : commands) args.insert(args.end(), {"-c", command});
    args.push_back(file.string());
    return env.run_program("vim", args).status;
}

TEST(DistVim, AlignersLineUpColumnsAndLeaveTheLastFieldAlone) {
    test::PrivateEnv env;
    const fs::path dir = env.root();
    // Lists: only the separators before the last field move; a | inside a command stays as it is.
    const fs::path list = dir / "lists/find-file-and-exec.list";
    write_text(list, "# 주석 | 그대로\nvim | vim\n한글 이름 | git log -p | less\n\nno separator\n");
    ASSERT_EQ(vim(env, list, {"ListAlign", "wq"}), 0);
    EXPECT_EQ(read_text(list), "# 주석 | 그대로\nvim       | vim\n한글 이름 | git log -p | less\n\nno separator\n");

    const fs::path apps = dir / "lists/launch-app.list";
    write_text(apps, "a | b | echo x|cat\nlonger | kw | ls\n");
    ASSERT_EQ(vim(env, apps, {"ListAlign", "wq"}), 0);
    EXPECT_EQ(read_text(apps), "a      | b  | echo x|cat\nlonger | kw | ls\n");

    // Index files: every column.
    const fs::path index = dir / ".index";
    write_text(index, " | a.md | 제목 | 1\ninbox | bb.md | t | 22\n");
    ASSERT_EQ(vim(env, index, {"IndexAlign", "wq"}), 0);
    EXPECT_EQ(read_text(index), "      | a.md  | 제목 | 1\ninbox | bb.md | t    | 22\n");

    // The vimrc loads without an error or a warning.
    const fs::path plain = dir / "note.md";
    write_text(plain, "x\n");
    ASSERT_EQ(vim(env, plain, {"redir! > " + (dir / "messages").string(), "messages", "redir END", "wq"}), 0);
    const std::string messages = read_text(dir / "messages");
    EXPECT_FALSE(std::regex_search(messages, std::regex("[EW][0-9]+:"))) << messages;
}

}  // namespace
}  // namespace vesk
