#include "pickers/finder_lines.hpp"

#include <system_error>

#include "core/git.hpp"
#include "core/text.hpp"
#include "pickers/note_lines.hpp"
#include "pickers/text.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

namespace {

// The shell text of the bindings. They name their files only through the variables of
// multimode_env, and take fzf's {q} and {} as the quoted words fzf makes of them: no outside text
// is ever parsed as shell. Written for any POSIX shell, which the fzf runner gives them.
constexpr std::string_view kSourceIsGit = R"SH([ "$(cat "$VESK_MF_SOURCE" 2>/dev/null)" = git ])SH";

std::string search_command(std::string_view query) {
    std::string q(query);
    return std::string(R"SH(cd "$VESK_FINDER_ROOT" && if )SH") + std::string(kSourceIsGit) +
           R"SH(; then "$VESK_FINDER_BIN" finder git-search "$VESK_MF_GIT_MODE" )SH" + q +
           R"SH(; else "$VESK_FINDER_BIN" finder mf-search "$VESK_MF_MODE" )SH" + q + "; fi";
}

std::string_view strip_dot_slashes(std::string_view text) {
    while (text.starts_with("./")) text.remove_prefix(2);
    return text;
}

}  // namespace

std::string mf_search_header(std::string_view mode) {
    return mode == "content" ? "[모드: 📝 내용 검색] C-t 전환 · C-g Git" : "[모드: 📄 파일명 검색] C-t 전환 · C-g Git";
}

std::string git_search_header(std::string_view git_mode) {
    return git_mode == "content" ? "[모드: 🟠 Git 내용 검색] C-g 토글" : "[모드: 🟢 Git 변경 파일] C-g 토글";
}

std::string next_mf_mode(std::string_view mode) { return mode == "filename" ? "content" : "filename"; }

std::string next_git_mode(std::string_view mode) { return mode == "list" ? "content" : "list"; }

std::optional<std::string> given_origin_pane(const std::optional<std::string>& text) {
    if (!text || text->empty() || text->starts_with("#{pane_id}")) return std::nullopt;
    return text;
}

std::string open_with_popup_height(std::size_t entries) {
    return entries < 10 ? std::to_string(entries + 6) : "16";
}

std::vector<std::pair<std::string, std::optional<std::string>>> multimode_env(const MultimodeFiles& files) {
    return {{"VESK_FINDER_BIN", files.program},     {"VESK_FINDER_ROOT", files.root},
            {"VESK_MF_SOURCE", files.source},       {"VESK_MF_MODE", files.mode},
            {"VESK_MF_GIT_MODE", files.git_mode},   {"VESK_MF_ROOT", files.root_file},
            {"VESK_MF_GIT_ROOT", files.git_root_file},
            // The preview: the whole file, or the lines around a hit (see note_preview).
            {"VESK_PREVIEW_SPAN", "file"}};
}

std::vector<std::string> multimode_fzf_args() {
    const std::string reload = search_command("{q}");
    return {
        "--phony",
        "--prompt=🔍 M-f> ",
        "--header-lines=1",
        "--preview-window=right:50%:wrap",
        "--bind",
        "start:reload:" + search_command("''"),
        "--bind",
        R"SH(ctrl-t:execute-silent(echo normal > "$VESK_MF_SOURCE"; "$VESK_FINDER_BIN" finder mf-toggle "$VESK_MF_MODE")+reload:)SH" +
            reload,
        "--bind",
        "ctrl-g:execute-silent(if " + std::string(kSourceIsGit) +
            R"SH(; then "$VESK_FINDER_BIN" finder git-toggle "$VESK_MF_GIT_MODE"; else echo git > "$VESK_MF_SOURCE"; echo list > "$VESK_MF_GIT_MODE"; fi)+reload:)SH" +
            reload,
        "--bind",
        "change:reload:" + reload,
        "--preview",
        multimode_preview_command(),
        "--bind=ctrl-c:abort",
        "--bind=ctrl-d:clear-query",
        "--expect=alt-enter",
    };
}

std::string multimode_preview_command() {
    // "./" before the line: `note preview` takes a line that starts and ends with ' for fzf's
    // quoting and would drop those quotes; a line here never arrives quoted, and a name that
    // begins with ' must stay whole. The reader removes the "./" again.
    return "if " + std::string(kSourceIsGit) +
           R"SH(; then "$VESK_FINDER_BIN" note preview "$VESK_MF_GIT_ROOT" "$VESK_MF_GIT_MODE" ./{}; )SH" +
           R"SH(else "$VESK_FINDER_BIN" note preview "$VESK_MF_ROOT" "$VESK_MF_MODE" ./{}; fi)SH";
}

std::optional<MultimodePick> multimode_pick(std::string_view source, std::string_view mode, std::string_view git_mode,
                                            std::string_view line) {
    source = trim(source);
    mode = trim(mode);
    git_mode = trim(git_mode);
    MultimodePick pick;
    pick.git = source == "git";
    // fzf prints the chosen line as it is, never quoted: the fields are taken as they stand.
    const bool hit = pick.git ? git_mode == "content" : source == "normal" && mode == "content";
    std::string_view file = line;
    if (hit) {
        file = line.substr(0, line.find('\t'));
        if (auto number = tab_field(line, 1)) pick.line = parse_line_number(*number);
    }
    std::string decoded = decode_note_name(file);
    std::string_view path = strip_dot_slashes(decoded);
    while (path.ends_with('/')) path.remove_suffix(1);
    if (path.empty()) return std::nullopt;
    pick.file = std::string(path);
    return pick;
}

std::optional<MultimodeSelection> resolve_multimode_selection(const fs::path& root, std::string_view source,
                                                              std::string_view mode, std::string_view git_mode,
                                                              std::string_view line) {
    auto pick = multimode_pick(source, mode, git_mode, line);
    if (!pick) return std::nullopt;
    fs::path path(pick->file);
    if (path.is_relative()) path = (pick->git ? git_root_or(root) : root) / path;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    return MultimodeSelection{path, pick->line};
}

}  // namespace vesk::pickers
