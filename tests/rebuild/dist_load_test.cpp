// The distribution's .tmux.conf with the ~/.tmux.conf.local that `vesk rebuild` writes, loaded by
// a real tmux the way a user's tmux starts.
#include <gtest/gtest.h>

#include <unistd.h>

#include <thread>

#include "support/private_env.hpp"

namespace vesk::test {
namespace {

TEST(DistributionLoad, StartsWithoutErrorsAndBindsTheProgram) {
    PrivateEnv env;
    const fs::path root = env.home() / ".tmux";
    env.vars["ZELT"] = root.string();
    // The installed program is <root>/bin/vesk; this one also leaves a mark once the postlude's
    // `config apply-keybindings` has run, so the test knows the configuration's jobs are done.
    const fs::path done = env.root() / "apply-keybindings.done";
    write_script(root / "bin" / "vesk",
                 "'" + vesk_binary() + "' \"$@\"\nstatus=$?\n: > '" + done.string() + "'\nexit $status\n");
    write_text(env.home() / ".tmux.conf", read_text(fs::path(VESK_SOURCE_DIR) / "dist" / ".tmux.conf"));
    auto r = env.run({"rebuild"});
    ASSERT_EQ(r.status, 0) << r.err;

    const std::string server = "vesk-test-dist-" + std::to_string(::getpid());
    auto tmux = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"-L", server});
        return env.run_program("tmux", args).out;
    };
    struct Kill {
        std::function<void()> f;
        ~Kill() { f(); }
    } kill{[&] { tmux({"kill-server"}); }};

    r = env.run_program("tmux", {"-L", server, "-f", (env.home() / ".tmux.conf").string(), "new-session", "-d", "-x",
                                 "120", "-y", "40", "sleep 600"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(wait_until([&] { return fs::exists(done); }, std::chrono::seconds(15)))
        << "config apply-keybindings never ran";
    // A failing configuration line or job puts the pane into view mode with the error text.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(tmux({"display-message", "-p", "#{pane_in_mode}#{pane_mode}"}), "0\n");

    EXPECT_EQ(tmux({"show-options", "-gqv", "@zelt"}), root.string() + "\n");
    EXPECT_EQ(tmux({"show-options", "-gv", "prefix"}), "C-Space\n");
    EXPECT_EQ(tmux({"show-options", "-gv", "display-panes-time"}), "2300\n");
    const std::string vesk = "#{@zelt}/bin/vesk ";
    for (const auto& [table, key, command] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"root", "M-f", "run-shell -b \"" + vesk + "finder multimode-open '#{pane_id}' "},
             {"prefix", "C-r", vesk + "rebuild"},
             {"copy-mode-vi", "x", "copy-selection-and-cancel \\; run-shell -b \"" + vesk + "copy cut-selection '#{pane_id}'\""},
             {"prefix", "Enter", vesk + "pane zoom-toggle"},
             {"root", "M-Tab", vesk + "session tree-popup"}}) {
        const std::string listed = tmux({"list-keys", "-T", table, key});
        EXPECT_NE(listed.find(command), std::string::npos) << table << " " << key << ": " << listed;
    }
}

}  // namespace
}  // namespace vesk::test
