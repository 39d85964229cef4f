// The key-mapping popup: which document it opens, and prefix C-5 as a user presses it.
#include <gtest/gtest.h>

#include "pickers/mapping.hpp"
#include "support/picker_session.hpp"
#include "support/screen_run.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

TEST(MappingPopup, TheFirstRuleThatAppliesChooses) {
    int asked = 0;
    MappingFacts f;
    f.workspace_file = "/home/u/.config/vesk-term/MAPPING.md";
    f.configured_root = "/home/u/.tmux";
    f.installed_root = [&]() -> std::optional<fs::path> {
        ++asked;
        return fs::path("/zelt");
    };
    EXPECT_EQ(choose_mapping_file(f), "/home/u/.tmux/doc/MAPPING.md");
    f.workspace_exists = true;
    EXPECT_EQ(choose_mapping_file(f), f.workspace_file);  // outside tmux, marker or not
    f.inside_tmux = true;
    EXPECT_EQ(choose_mapping_file(f), "/zelt/doc/MAPPING.md");  // inside, only when marked
    f.workspace_marker = true;
    EXPECT_EQ(choose_mapping_file(f), f.workspace_file);
    f.file = "given.md";
    EXPECT_EQ(choose_mapping_file(f), "given.md");
    EXPECT_EQ(asked, 1);

    MappingFacts no_zelt = f;
    no_zelt.file.reset();
    no_zelt.workspace_marker = false;
    no_zelt.installed_root = [] { return std::optional<fs::path>(); };
    EXPECT_EQ(choose_mapping_file(no_zelt), std::nullopt);
}

TEST(MappingPopup, InsideTmuxWithoutZeltEndsQuietly) {
    PrivateEnv env;
    TmuxServer server(80, 20, env.tmp(), env.home());
    env.vars["TMUX"] = server.tmux_env_value();
    RunResult r = env.run({"mapping", "popup"});
    EXPECT_EQ(r.status, 99);
    EXPECT_EQ(r.out + r.err, "");

    // A file chosen by a rule is handed on unchecked: filter-edit says it is missing.
    server.tmux_ok({"set-option", "-g", "@zelt", (env.root() / "nowhere").string()});
    r = env.run({"mapping", "popup"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "파일이 없습니다.\n");

    // Outside tmux the workspace's own map wins over the configured root's.
    env.vars["TMUX"] = std::nullopt;
    write_text(env.zelt() / "doc" / "MAPPING.md", "configured\n");
    write_script(env.root() / "bin" / "editor", "printf '%s\\n' \"$@\" > " + sh_quote((env.root() / "args").string()) + "\n");
    env.vars["VIM_BIN"] = (env.root() / "bin" / "editor").string();
    env.vars["FZF_DEFAULT_OPTS"] = "--select-1 --exit-0";
    EXPECT_EQ(env.run({"mapping", "popup"}).status, 0);
    EXPECT_EQ(read_text(env.root() / "args"), "+1\n--\n" + (env.zelt() / "doc" / "MAPPING.md").string() + "\n");
    const fs::path workspace = env.home() / ".config" / "vesk-term" / "MAPPING.md";
    write_text(workspace, "workspace\n");
    EXPECT_EQ(env.run({"mapping", "popup"}).status, 0);
    EXPECT_EQ(read_text(env.root() / "args"), "+1\n--\n" + workspace.string() + "\n");
}

TEST(MappingPopupKeys, PrefixC5OpensTheMapAtTheChosenLine) {
    PrivateEnv env;
    PickerSession s(env);
    s.load_dist();
    s.shell_pane(env.root());
    const fs::path map = s.root() / "doc" / "MAPPING.md";
    const std::string text = read_text(map);
    const std::string row = "파일을 골라 그 경로를 보여 줍니다.";
    ASSERT_NE(text.find(row), std::string::npos);
    const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + text.find(row), '\n'));

    s.press_prefixed("C-5");
    ASSERT_TRUE(s.wait_for_text("pattern>")) << s.screen();
    s.type(row);
    ASSERT_TRUE(s.wait_for_text(" 1/")) << s.screen();
    s.press({"Enter"});
    const auto vim = s.vim_view();
    ASSERT_TRUE(vim) << s.screen();
    EXPECT_EQ(vim->file, map.string());
    EXPECT_EQ(vim->line, line);
    // vim has left, the popup goes after it: a key before that would reach the popup.
    ASSERT_TRUE(s.wait_for_no_text(row)) << s.screen();

    // Without the document the popup stays with filter-edit's word until a key is pressed.
    fs::remove(map);
    s.press_prefixed("C-5");
    ASSERT_TRUE(s.wait_for_text("파일이 없습니다.")) << s.screen();
    EXPECT_TRUE(s.wait_for_text("[아무 키나 누르면 닫힙니다]")) << s.screen();
    s.press({"Enter"});
    EXPECT_TRUE(s.wait_for_no_text("파일이 없습니다.")) << s.screen();
}

}  // namespace
}  // namespace vesk::pickers
