#include "agent/text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>

#include <fmt/format.h>

#include "core/command.hpp"
#include "core/error.hpp"
#include "core/process.hpp"
#include "core/text.hpp"

namespace vesk {

namespace {

std::string with_final_newline(std::string text) {
    if (!text.empty() && text.back() != '\n') text += '\n';
    return text;
}

std::vector<std::string> byte_sorted(std::vector<std::string> lines) {
    std::stable_sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace

bool smart_case_contains(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return true;
    bool has_upper = false;
    for (char32_t c : decode_utf8(needle)) has_upper = has_upper || is_upper(c);
    if (has_upper) return haystack.find(needle) != std::string_view::npos;
    return to_lower(haystack).find(to_lower(needle)) != std::string::npos;
}

LineFilter::LineFilter(std::string_view query, bool to_stdout) : query_(query), to_stdout_(to_stdout) {
    if (query_.empty() || !which("fzf")) return;
    // The user's own fzf decides, as it does in every other picker: their FZF_DEFAULT_OPTS
    // (--exact, --tiebreak, -i...) and their fzf's version hold here too.
    command_ = ChildCommand("fzf", {"-f", query_});
    command_.in = Stdio::Pipe;
    command_.out = to_stdout ? Stdio::Inherit : Stdio::Pipe;
    command_.err = Stdio::Null;
    // Its lines go straight to our standard output: ended with us, it never prints into a list
    // that fzf has already replaced, nor lingers after a picker that is gone.
    command_.stop_on_signal = true;
    try {
        fzf_.emplace(Child::spawn(command_));
    } catch (const std::exception&) {
        // Reported once there are lines to filter: a listing with none never needed fzf.
        start_error_ = std::current_exception();
    }
}

LineFilter::~LineFilter() {
    if (!fzf_) return;
    fzf_->kill();
    fzf_->wait();
}

std::string LineFilter::filter(std::string_view text) {
    std::string out = filtered(text);
    if (!to_stdout_) return out;
    std::fwrite(out.data(), 1, out.size(), stdout);
    return {};
}

std::string LineFilter::filtered(std::string_view text) {
    if (query_.empty()) return with_final_newline(std::string(text));
    if (start_error_) std::rethrow_exception(start_error_);
    if (fzf_) {
        if (to_stdout_) std::fflush(stdout);  // fzf's lines come after whatever we printed
        Output out = finish_child(*fzf_, command_, text);
        fzf_.reset();
        // fzf ended before it read everything (an option of the user's it rejects, a kill): what it
        // printed stands, as at any other end of it.
        if (out.input_errno && out.input_errno != EPIPE) throw SystemError(out.input_errno);
        // fzf prints a line of bytes that are not UTF-8 with one U+FFFD per bad byte already.
        if (!is_valid_utf8(out.out)) out.out = lossy_utf8(out.out);
        return with_final_newline(std::move(out.out));
    }
    const std::string needle = to_lower(query_);
    std::vector<std::string> kept;
    for (std::string& line : split_lines(text)) {
        if (to_lower(line).find(needle) != std::string::npos) kept.push_back(std::move(line));
    }
    return lines_with_newline(kept, "");
}

std::string filter_lines(std::string_view text, std::string_view query) { return LineFilter(query).filter(text); }

std::vector<std::string> sort_like_shell(std::vector<std::string> lines) {
    // Nothing to sort: handing sort a lone "\n" would bring back one empty line that was never there.
    if (lines.empty()) return lines;
    if (!which("sort")) return byte_sorted(std::move(lines));
    std::string input;
    for (const auto& line : lines) {
        input += line;
        input += '\n';
    }
    ChildCommand sort("sort");
    sort.in = Stdio::Pipe;
    sort.out = Stdio::Pipe;
    Output out = run_child(sort, input);
    // A sort that failed may have quit before reading everything: its status decides first.
    if (!out.status.success()) return byte_sorted(std::move(lines));
    if (out.input_errno) throw SystemError(out.input_errno);
    return split_lines(lossy_utf8(out.out));
}

std::string lines_with_newline(const std::vector<std::string>& lines, std::string_view empty_text) {
    std::string out;
    if (lines.empty()) {
        out = empty_text;
    } else {
        for (size_t k = 0; k < lines.size(); ++k) {
            if (k) out += '\n';
            out += lines[k];
        }
    }
    return with_final_newline(std::move(out));
}

std::string trim_leading_blank_lines(std::string_view text) {
    auto lines = split_lines(text);
    auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return !is_blank(l); });
    std::string out;
    for (auto it = first; it != lines.end(); ++it) {
        out += *it;
        out += '\n';
    }
    return out;
}

std::string stamp_first_line(std::string_view text, std::string_view stamp) {
    auto lines = split_lines(text);
    auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return !is_blank(l); });
    if (first == lines.end()) return fmt::format("[{}]\n", stamp);
    std::string out = fmt::format("[{}] {}\n", stamp, *first);
    for (auto it = first + 1; it != lines.end(); ++it) {
        out += *it;
        out += '\n';
    }
    return out;
}

}  // namespace vesk
