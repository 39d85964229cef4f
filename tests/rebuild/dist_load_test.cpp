// The distribution's .tmux.conf with the ~/.tmux.conf.local that `vesk rebuild` writes, loaded by
// a real tmux the way a user's tmux starts.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include <unistd.h>

#include "support/private_env.hpp"

namespace vesk::test {
namespace {

TEST(DistributionLoad, StartsWithoutErrorsAndBindsTheProgram) {
    PrivateEnv env;
    const fs::path root = env.home() / ".tmux";
    env.vars["ZELT"] = root.string();
    fs::create_directories(root / "bin");
    // The installed program is <root>/bin/vesk; this one also leaves a mark once the postlude's
    // `config apply-keybindings` has run, so the test knows the configuration's jobs are done.
    const fs::path done = env.root() / "apply-keybindings.done";
    write_text(root / "bin" / "vesk", "#!/bin/sh\n'" + vesk_binary() + "' \"$@\"\nstatus=$?\n: > '" + done.string() +
                                          "'\nexit $status\n");
    fs::permissions(root / "bin" / "vesk", fs::perms::owner_all, fs::perm_options::add);
    write_text(env.home() / ".tmux.conf", read_text(fs::path(VESK_SOURCE_DIR) / "dist" / ".tmux.conf"));

    auto r = env.run({"rebuild"});
    ASSERT_EQ(r.status, 0) << r.err;

    const std::string server = "vesk-test-dist-" + std::to_string(::getpid());
    auto tmux = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"-L", server});
        return env.run_program("tmux", args);
    };
    struct Kill {
        std::function<void()> f;
        ~Kill() { f(); }
    } kill{[&] { tmux({"kill-server"}); }};

    r = tmux({"-f", (env.home() / ".tmux.conf").string(), "new-session", "-d", "-x", "120", "-y", "40", "sleep 600"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!fs::exists(done) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(fs::exists(done)) << "config apply-keybindings never ran";
    // A failing configuration line or job puts the pane into view mode with the error text.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(tmux({"display-message", "-p", "#{pane_in_mode}#{pane_mode}"}).out, "0\n");

    EXPECT_EQ(tmux({"show-options", "-gqv", "@zelt"}).out, root.string() + "\n");
    const std::string mf = tmux({"list-keys", "-T", "root", "M-f"}).out;
    EXPECT_NE(mf.find("#{@zelt}/bin/vesk finder multimode-open "), std::string::npos) << mf;
    const std::string cr = tmux({"list-keys", "-T", "prefix", "C-r"}).out;
    EXPECT_NE(cr.find("#{@zelt}/bin/vesk rebuild"), std::string::npos) << cr;
}

}  // namespace
}  // namespace vesk::test
