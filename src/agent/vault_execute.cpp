// `quillbox execute-item FILE`.
#include "agent/vault_execute.hpp"

#include <unistd.h>

#include <fmt/format.h>

#include "agent/quillbox.hpp"
#include "agent/vault_root.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

std::string file_name_text(const fs::path& file) {
    const std::string name = file.filename().native();
    return is_valid_utf8(name) ? name : std::string();
}

// The first line of what tmux said about a rejected file (tmux 3.3a reports source-file errors on
// standard output).
std::string source_error(const Output& out) {
    for (const std::string* stream : {&out.err, &out.out}) {
        const std::string decoded = lossy_utf8(*stream);
        std::string_view text = trim(decoded);
        if (!text.empty()) return std::string(trim(text.substr(0, text.find('\n'))));
    }
    return {};
}

void append_recent(const fs::path& root, const fs::path& file) {
    std::optional<fs::path> below = path_below(file, root);
    std::string rel = path_text(below && !below->empty() ? *below : file);
    // A name holding a line break cannot be one line of the history.
    if (rel.find_first_of("\n\r") != std::string::npos) return;
    rel += '\n';
    const fs::path recent = root / ".recent";
    append_to_file(recent, rel);
}

std::vector<std::string> with_target(std::vector<std::string> args, const std::string& target) {
    // An empty target leaves the choice of pane to tmux.
    if (!target.empty()) {
        args.push_back("-t");
        args.push_back(target);
    }
    return args;
}

void run_script_item(const Tmux& tmux, const fs::path& file, const std::string& target) {
    std::string dir = tmux.display(target.empty() ? std::nullopt : std::optional<std::string>(target),
                                   "#{pane_current_path}");
    std::string command =
        fmt::format("bash {}; echo ''; echo 'any key to go. wait in 10 secs...'; read || sleep 10", shell_quote_path(file));
    // new-window expands formats in its -c directory.
    tmux.run({"new-window", "-c", tmux_format_escape(dir), "-n", "QBZ-Exec", command});
}

void paste_text_item(const Tmux& tmux, const fs::path& file, const std::string& target) {
    std::string text = read_text_if_any(file).value_or("");
    // tmux makes no buffer of empty text, and the paste would then bring back an older buffer.
    if (text.empty()) return;
    // set-buffer takes the text as an argument, which tmux refuses when it begins with "-" or
    // passes about 16 KB; load-buffer reads it from standard input, whatever it holds. One tmux
    // call: nothing can come between the load and the paste.
    tmux.run_with_input(with_target({"load-buffer", "-", ";", "paste-buffer", "-p"}, target), text);
}

}  // namespace

void quillbox_source_tmux_file(const Tmux& tmux, const fs::path& file) {
    const std::string text = read_text_if_any(file).value_or("");
    std::optional<std::string> home = env_var("HOME");
    const std::string home_slash = (home ? lossy_utf8(*home) : std::string("/")) + "/";
    std::string kept;
    for (const std::string& raw : split_lines(text)) {
        std::string_view line = trim(raw);
        if (line.empty() || line.starts_with('#')) continue;
        std::string expanded;
        for (std::size_t at = 0;;) {
            std::size_t tilde = line.find("~/", at);
            expanded += line.substr(at, tilde - at);
            if (tilde == std::string_view::npos) break;
            expanded += home_slash;
            at = tilde + 2;
        }
        if (!kept.empty()) kept += '\n';
        kept += expanded;
    }
    const std::string name = file_name_text(file);
    TempFile script(kept);
    if (kept.empty()) {
        display_message(tmux, fmt::format("No executable content in {}", name));
        return;
    }
    Output out = tmux.capture({"source-file", tmux_source_path(path_text(script.path()))});
    if (out.status.success()) {
        display_message(tmux, fmt::format("Sourced: {}", name));
        return;
    }
    std::string error = source_error(out);
    display_message(tmux, error.empty() ? fmt::format("Source failed: {}", name) : error);
}

void quillbox_execute_item(const QuillboxFileArgs& args) {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    if (!tmux.option("@zelt")) throw Exit99();
    const fs::path root = qbox_root(tmux);
    // Absolute: the .sh item runs in the target pane's directory, and .recent holds paths
    // relative to the root.
    const fs::path file = fs::absolute(fs::path(args.file));
    if (args.file.empty() || !regular_file_at(file)) {
        display_message(tmux, fmt::format("File not found: {}", args.file));
        throw ExitCode(1);
    }
    std::optional<std::string> pane = env_var("QBZ_TARGET_PANE");
    const std::string target = pane && is_valid_utf8(*pane) ? *pane : std::string();

    append_recent(root, file);
    const std::string extension = file.extension().native();
    if (extension == ".tmux") {
        quillbox_source_tmux_file(tmux, file);
    } else if (extension == ".sh") {
        run_script_item(tmux, file, target);
    } else {
        paste_text_item(tmux, file, target);
    }
}

}  // namespace vesk::agent
