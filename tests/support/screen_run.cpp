#include "support/screen_run.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace vesk::test {

std::string sh_quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string line_with(const std::string& screen, const std::string& text) {
    std::istringstream in(screen);
    std::string line;
    while (std::getline(in, line))
        if (line.find(text) != std::string::npos) return line;
    return "";
}

std::string without_blanks(std::string text) {
    std::erase(text, ' ');
    return text;
}

std::string box_text(const std::string& screen, std::size_t n) {
    const std::string bar = "│";
    std::istringstream in(screen);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        std::size_t at = 0;
        for (std::size_t i = 0; i < n && at != std::string::npos; ++i)
            if ((at = line.find(bar, at)) != std::string::npos) at += bar.size();
        const std::size_t end = at == std::string::npos ? at : line.find(bar, at);
        if (end != std::string::npos) out += line.substr(at, end - at);
    }
    return without_blanks(out);
}

std::string wait_for_line(const TmuxServer& server, const std::string& pane, const std::string& text,
                          const std::function<bool(const std::string&)>& pred) {
    const auto screen = server.wait_for_screen(pane, [&](const std::string& s) {
        const std::string line = line_with(s, text);
        return !line.empty() && pred(line);
    });
    EXPECT_TRUE(screen) << text << "\n" << server.capture(pane);
    return screen ? line_with(*screen, text) : "";
}

namespace {

std::vector<std::string> screen_script(const fs::path& dir, const std::vector<std::string>& args) {
    for (const char* note : {"before", "after", "status"}) fs::remove(dir / note);
    std::string command = sh_quote(vesk_binary());
    for (const auto& a : args) command += " " + sh_quote(a);
    return {"bash", "-c",
            "cd " + sh_quote(dir.string()) + " && stty -g > before; " + command +
                " > out 2> err; echo $? > status; stty -g > after"};
}

}  // namespace

std::string start_screen(TmuxServer& server, const fs::path& dir, const std::vector<std::string>& args,
                         const EnvChanges& env) {
    return server.run_in_pane(screen_script(dir, args), env);
}

int finish_screen(const TmuxServer& server, const std::string& pane, const fs::path& dir) {
    const fs::path after = dir / "after";
    if (!wait_until([&] { return fs::exists(after) && read_text(after).ends_with("\n"); })) {
        ADD_FAILURE() << "the screen did not end:\n" << server.capture(pane);
        return -1;
    }
    return std::stoi(read_text(dir / "status"));
}

void expect_terminal_restored(const TmuxServer& server, const std::string& pane, const fs::path& dir) {
    EXPECT_EQ(read_text(dir / "before"), read_text(dir / "after"));
    EXPECT_EQ(server.format(pane, "#{alternate_on}"), "0");
}

std::string start_popup(TmuxServer& server, const PrivateEnv& env, const std::vector<std::string>& args) {
    for (const auto& [name, value] : env.env())
        if (value && name != "TMUX_TMPDIR") server.tmux_ok({"set-environment", "-g", name, *value});
    EnvChanges vars = inside_tmux(env.env());
    vars.emplace_back("TMUX_BIN", floating_tmux_path().string());
    return server.run_in_current_window(screen_script(env.root(), args), vars);
}

std::vector<std::vector<std::string>> popup_calls(PrivateEnv& env, const std::vector<std::string>& args,
                                                  std::optional<int> client_size) {
    const fs::path answers = env.root() / "tmux-answers";
    const fs::path log = answers / "calls";
    fs::remove(log);
    write_text(answers / "display", client_size ? std::to_string(*client_size) + "\n" : "");
    write_text(answers / "display.status", client_size ? "0\n" : "1\n");
    write_text(answers / "new-pane", "%9\n");
    env.vars["TMUX"] = "/nonexistent/socket,1,0";
    env.vars["TMUX_BIN"] = recording_tmux_path().string();
    env.vars["RECORD_TMUX_LOG"] = log.string();
    env.vars["RECORD_TMUX_ANSWERS"] = answers.string();
    const RunResult r = env.run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return recorded_calls(log);
}

}  // namespace vesk::test
