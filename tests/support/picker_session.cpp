#include "support/picker_session.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "support/screen_run.hpp"

namespace vesk::test {

const std::vector<std::string> kHostileNames = {
    "it's",
    "say \"hi\"",
    "$(touch PWNED)",
    "`touch PWNED`",
    "a;touch PWNED",
    "#{pane_id}",
    "#(touch PWNED)",
    "two\nlines",
    "-rf",
    "+!touch PWNED",
    "한글 이름.md",
    "all 'of\" $(touch PWNED) `touch PWNED`; #{pane_id} #(touch PWNED) 한글",
};

namespace {

const fs::path kDist = fs::path(VESK_SOURCE_DIR) / "dist";

// A message stays until a key is pressed, or 10 s: shown for tmux's second alone, it could come
// and go between two looks at the screen of a busy machine.
const std::vector<std::string> kLongMessages = {"set-option", "-g", "display-time", "10000"};

std::vector<std::string> split_at(const std::string& text, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(sep, start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

}  // namespace

PickerSession::PickerSession(PrivateEnv& env, int width, int height)
    : env_(env), server_(120, 40, env.tmp(), env.home()), client_(server_, width, height), root_(env.zelt()), bin_(env.root() / "bin") {
    fs::create_directories(bin_);
    fs::create_directories(root_ / "bin");
    fs::create_symlink(floating_tmux_path(), bin_ / "tmux");
    fs::create_symlink(vesk_binary(), root_ / "bin" / "vesk");
    for (const char* dir : {"lists", "doc"})
        fs::copy(kDist / dir, root_ / dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);

    // One tmux call for all of it (each call is a process).
    std::vector<std::string> setup;
    const auto set = [&](const std::string& name, const std::optional<std::string>& value) {
        if (value) setup.insert(setup.end(), {"set-environment", "-g", name, *value, ";"});
        else setup.insert(setup.end(), {"set-environment", "-gu", name, ";"});
    };
    for (const auto& [name, value] : env.env())
        if (name != "TMUX" && name != "TMUX_PANE" && name != "TMUX_TMPDIR") set(name, value);
    const char* path = std::getenv("PATH");
    path_ = bin_.string() + ":" + (path ? path : "/usr/bin:/bin");
    set("PATH", path_);
    set("TMUX_BIN", (bin_ / "tmux").string());
    set("TMUX_FLOATING_REAL", real_tmux());
    for (const char* name : {"VIM_BIN", "VISUAL", "EDITOR", "FZF_DEFAULT_OPTS", "FZF_DEFAULT_COMMAND"})
        set(name, std::nullopt);
    // Every vim tells where it stands once it has started (after +N), and when it leaves: writefile()
    // writes a line feed inside an item as NUL, so the name comes back whole.
    set("VESK_VIM_VIEW", (env.root() / "vim-view").string());
    set("VIMINIT",
        "autocmd VimEnter * call writefile([expand('%:p'), line('.')], $VESK_VIM_VIEW . '.tmp') | "
        "call rename($VESK_VIM_VIEW . '.tmp', $VESK_VIM_VIEW) | "
        "autocmd VimLeave * call writefile([], $VESK_VIM_VIEW . '.left')");
    setup.insert(setup.end(), {"set-option", "-g", "@zelt", root_.string(), ";"});
    setup.insert(setup.end(), kLongMessages.begin(), kLongMessages.end());
    server_.tmux_ok(setup);
}

void PickerSession::load_dist(const std::vector<std::string>& files) {
    for (const auto& file : files) server_.tmux_ok({"source-file", (kDist / file).string()});
    server_.tmux_ok(kLongMessages);  // the distribution sets its own time
    prefix_.clear();
}

std::string PickerSession::binding(const std::string& table, const std::string& key) {
    return server_.tmux({"list-keys", "-T", table, key}).out;
}

fs::path PickerSession::add_program(const std::string& name, const std::string& body) {
    write_script(bin_ / name, body);
    return bin_ / name;
}

fs::path PickerSession::add_recorder(const std::string& name) {
    const fs::path record = env_.root() / "records" / name;
    fs::create_directories(record.parent_path());
    // NUL after the directory and after each argument: any byte but NUL passes.
    return add_program(name, "{ printf '%s\\0' \"$PWD\"; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; } > " +
                                 sh_quote(record.string() + ".tmp") + " && mv " + sh_quote(record.string() + ".tmp") +
                                 " " + sh_quote(record.string()) + "\n");
}

std::optional<Recorded> PickerSession::recorded(const std::string& name) {
    const fs::path record = env_.root() / "records" / name;
    if (!wait_until([&] { return fs::exists(record); })) return std::nullopt;
    std::vector<std::string> words = split_at(read_text(record), '\0');
    if (words.empty()) return std::nullopt;
    return Recorded{words.front(), std::vector<std::string>(words.begin() + 1, words.end())};
}

std::string PickerSession::active_pane(const std::vector<std::string>& argv, const fs::path& dir) {
    std::string cwd;
    for (char c : dir.string()) cwd += c == '#' ? std::string("##") : std::string(1, c);
    // The program itself is the pane's process (env execs it), so that #{pane_current_command}
    // names it, not a wrapping shell. tmux gives a pane that a command client (this test) creates
    // the client's PATH, not the server's: the user's PATH is handed over.
    std::vector<std::string> args = {"new-window", "-t", server_.session() + ":", "-P", "-F", "#{pane_id}",
                                     "-c",         cwd, "--", "env", "PATH=" + path_};
    args.insert(args.end(), argv.begin(), argv.end());
    return server_.tmux_ok(args);
}

std::string PickerSession::shell_pane(const fs::path& dir) {
    const std::string pane =
        active_pane({"env", "PS1=[sh]$ ", "HISTFILE=/dev/null", "bash", "--norc", "--noprofile", "-i"}, dir);
    if (!server_.wait_for_text(pane, "[sh]$")) throw std::runtime_error("no prompt in " + pane + ":\n" + server_.capture(pane));
    return pane;
}

void PickerSession::press(const std::vector<std::string>& keys) { client_.send_keys(keys); }

void PickerSession::press_prefixed(const std::string& key) {
    if (prefix_.empty()) prefix_ = server_.tmux_ok({"show-option", "-gv", "prefix"});
    // A terminal has no byte for Ctrl with a digit: tmux reads them as extended keys (CSI u), as a
    // terminal set up for them (the distribution's iTerm key map) sends them.
    if (key.size() == 3 && key.starts_with("C-") && key[2] >= '0' && key[2] <= '9') {
        client_.send_keys({prefix_});
        client_.send_text("\x1b[" + std::to_string(static_cast<int>(key[2])) + ";5u");
    } else {
        client_.send_keys({prefix_, key});
    }
}

void PickerSession::type(const std::string& text) { client_.send_text(text); }

void PickerSession::run_shell_b(const std::string& command) { server_.tmux_ok({"run-shell", "-b", command}); }

std::string PickerSession::screen() const { return client_.capture(); }

bool PickerSession::wait_for_text(const std::string& needle, std::chrono::milliseconds deadline) const {
    return client_.wait_for_text(needle, deadline);
}

bool PickerSession::wait_for_no_text(const std::string& needle, std::chrono::milliseconds deadline) const {
    return client_.wait_for_no_text(needle, deadline);
}

bool PickerSession::wait_for_popup_gone(const std::string& needle) const {
    return wait_for_no_text(needle) && wait_until([&] { return !server_.runs_jobs(); });
}

void PickerSession::ask(const std::string& query, const std::string& count) {
    press({"C-u"});
    type(query);
    ASSERT_TRUE(wait_for_text("> " + query)) << screen();
    ASSERT_TRUE(wait_for_text(count)) << screen();
}

void PickerSession::open_with(const std::string& query) {
    ASSERT_TRUE(wait_for_text("open>")) << screen();
    press({"C-u"});
    type(query);
    ASSERT_TRUE(wait_for_text("│ > " + query)) << screen();
    press({"Enter"});
    // Keys for what comes next would reach this popup while it closes.
    ASSERT_TRUE(wait_for_popup_gone("open>")) << screen();
}

std::optional<VimView> PickerSession::vim_view() {
    const fs::path view = env_.root() / "vim-view";
    if (!wait_until([&] { return fs::exists(view); })) return std::nullopt;
    std::vector<std::string> lines = split_at(read_text(view), '\n');
    fs::remove(view);
    // vim reads the terminal's answers to its start-up queries from the same input as keys, and a
    // key that comes with them may be lost: ask again until vim has left.
    const fs::path left = view.string() + ".left";
    for (int attempt = 0; attempt < 5 && !fs::exists(left); ++attempt) {
        type(":qa!");
        press({"Enter"});
        if (wait_until([&] { return fs::exists(left); }, std::chrono::milliseconds(1500))) break;
        press({"Escape"});
        // Escape and the next ':' together would reach vim as M-:.
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
    }
    fs::remove(left);
    if (lines.size() < 2) return std::nullopt;
    std::replace(lines[0].begin(), lines[0].end(), '\0', '\n');
    return VimView{lines[0], std::atoi(lines[1].c_str())};
}

std::vector<std::string> PickerSession::pane_ids() {
    return split_at(server_.tmux_ok({"list-panes", "-a", "-F", "#{pane_id}"}), '\n');
}

std::string PickerSession::wait_for_new_pane(const std::vector<std::string>& known) {
    std::string found;
    wait_until([&] {
        for (const auto& id : pane_ids())
            if (std::find(known.begin(), known.end(), id) == known.end()) return !(found = id).empty();
        return false;
    });
    return found;
}

std::vector<std::string> PickerSession::pwned() const {
    std::vector<std::string> found;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(env_.root(), fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->path().filename().string().starts_with("PWNED")) found.push_back(it->path().string());
    for (const auto& entry : fs::directory_iterator(fs::current_path(), ec))
        if (entry.path().filename().string().starts_with("PWNED")) found.push_back(entry.path().string());
    return found;
}

}  // namespace vesk::test
