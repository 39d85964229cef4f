// The floating-pane layer against the real tmux: the program in the pane sees the size asked for,
// inside the popup's border, within the client.
#include <gtest/gtest.h>

#include "support/screen_run.hpp"

namespace vesk::test {
namespace {

TEST(TmuxFloating, ThePaneInsideThePopupHasTheSizeAskedFor) {
    PrivateEnv env;
    TmuxServer server{120, 40, env.tmp(), env.home()};
    AttachedClient client(server, 100, 30);
    const fs::path size = env.root() / "size";  // as stty prints it: rows, then columns
    for (const auto& [place, expected] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"-x", "44", "-y", "10", "-X", "3", "-Y", "2"}, "10 44"},
             {{"-x", "50%", "-y", "50%", "-X", "10%", "-Y", "20%"}, "15 50"},
             {{"-x", "100%", "-y", "12"}, "12 98"}}) {  // wider than the client: cut to it
        std::vector<std::string> argv = {floating_tmux_path().string(), "new-pane"};
        argv.insert(argv.end(), place.begin(), place.end());
        argv.insert(argv.end(), {"--", "stty size > " + sh_quote(size.string()) + "; printf @@; read x"});
        const std::string pane = server.run_in_current_window(argv, inside_tmux(env.env()));
        ASSERT_TRUE(client.wait_for_text("@@")) << client.capture();
        EXPECT_EQ(read_text(size), expected + "\n");
        client.send_keys({"Enter"});
        EXPECT_EQ(server.wait_for_exit(pane), 0);
    }
}

}  // namespace
}  // namespace vesk::test
