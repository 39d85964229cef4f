#include "pickers/fzf.hpp"

#include <cerrno>

#include "core/command.hpp"
#include "core/error.hpp"
#include "core/process.hpp"
#include "core/text.hpp"

namespace vesk {

namespace {

// The one start of fzf for every picker. fzf runs --bind, --preview and reload texts with
// `$SHELL -c`, and those texts are written for a POSIX shell: the user's own shell (fish, nu, or
// anything else SHELL names) would break them, so fzf always gets one that reads them.
Output run_fzf(std::string_view input, const std::vector<std::string>& args, const FzfEnv& env = {}) {
    ChildCommand fzf("fzf", args);
    fzf.set_env("SHELL", fzf_binding_shell());
    fzf.env.insert(fzf.env.end(), env.begin(), env.end());
    fzf.in = Stdio::Pipe;
    fzf.out = Stdio::Pipe;
    fzf.err = Stdio::Inherit;  // fzf may draw its screen there
    fzf.end_on_signal = true;  // never left on the terminal without us
    Output out = run_child(fzf, input);
    // fzf stops reading once the user has chosen (or with --select-1 and friends): the choice it
    // printed is the answer, not a broken pipe. Any other write failure is a real error.
    if (out.input_errno && out.input_errno != EPIPE) throw SystemError(out.input_errno);
    return out;
}

}  // namespace

std::string run_fzf_with_input(std::string_view input, const std::vector<std::string>& args) {
    return lossy_utf8(run_fzf(input, args).out);
}

FzfRun run_fzf_with_input_status(std::string_view input, const std::vector<std::string>& args) {
    Output out = run_fzf(input, args);
    return FzfRun{std::string(trim_end(lossy_utf8(out.out))), out.status.code()};
}

FzfExpect split_fzf_expect_output(std::string_view output) {
    auto lines = split_lines(output);
    FzfExpect result;
    if (!lines.empty()) result.key = lines[0];
    if (lines.size() > 1) result.selection = lines[1];
    return result;
}

std::string run_fzf_picker(std::string_view input, const std::vector<std::string>& args, const FzfEnv& env) {
    Output out = run_fzf(input, args, env);
    std::optional<int> code = out.status.code();
    if (code == 2) throw Error("fzf가 실패했습니다: " + out.status.describe());
    // With --expect, a key pressed over an empty list ends fzf with 1 and still names the key:
    // esc there must leave and ctrl-x must be told there is nothing to delete.
    if (code != 0 && code != 1) return "";
    std::string text = lossy_utf8(out.out);
    if (text.ends_with('\n')) text.pop_back();
    return text;
}

std::string fzf_binding_shell() {
    if (auto bash = which("bash")) return bash->native();
    return "/bin/sh";
}

void require_fzf() { require_command("fzf", "fzf를 찾을 수 없습니다."); }

}  // namespace vesk
