// The floating-pane layer against the real tmux: the program in the pane sees the size asked for
// inside the popup's border, with its corner where asked.
#include <gtest/gtest.h>

#include <sstream>

#include "support/screen_run.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

TEST(TmuxFloating, ThePaneInsideThePopupHasTheSizeAndPlaceAskedFor) {
    PrivateEnv env;
    TmuxServer server{120, 40, env.tmp(), env.home()};
    AttachedClient client(server, 100, 30);
    const fs::path size = env.root() / "size";
    struct Case {
        std::vector<std::string> place;
        std::string size;  // as stty prints it: rows, then columns
        int row, column;   // of the pane's first cell on the client; row -1: centred
    };
    for (const Case& c : std::vector<Case>{{{"-x", "44", "-y", "10", "-X", "3", "-Y", "2"}, "10 44", 2, 3},
                                           {{"-x", "50%", "-y", "50%", "-X", "10%", "-Y", "20%"}, "15 50", 6, 10},
                                           // Wider than the client: the popup is as wide as it.
                                           {{"-x", "100%", "-y", "12"}, "12 98", -1, 1}}) {
        SCOPED_TRACE(c.size);
        fs::remove(size);
        std::vector<std::string> argv = {floating_tmux_path().string(), "new-pane"};
        argv.insert(argv.end(), c.place.begin(), c.place.end());
        argv.insert(argv.end(), {"--", "stty size > " + sh_quote(size.string()) + "; printf @@; read x"});
        EnvChanges vars = inside_tmux(env.env());
        vars.emplace_back("TMUX_FLOATING_REAL", real_tmux());
        const std::string pane = server.run_in_current_window(argv, vars);
        ASSERT_TRUE(client.wait_for_text("@@")) << client.capture();
        EXPECT_EQ(read_text(size), c.size + "\n");
        std::stringstream screen(client.capture());
        int row = 0;
        for (std::string line; std::getline(screen, line); ++row) {
            const std::size_t at = line.find("@@");
            if (at == std::string::npos) continue;
            if (c.row >= 0) EXPECT_EQ(row, c.row);
            // Columns: the border's characters take one each, and several bytes.
            int column = 0;
            for (std::size_t i = 0; i < at; ++i) column += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
            EXPECT_EQ(column, c.column);
        }
        client.send_keys({"Enter"});
        EXPECT_EQ(server.wait_for_exit(pane), 0);
    }
}

}  // namespace
}  // namespace vesk::test
