#include "agent/text.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "agent/fzf_filter.hpp"
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

std::string filter_line_views(std::span<const std::string_view> lines, std::string_view query) {
    std::string out;
    if (query.empty()) {
        std::size_t size = 0;
        for (std::string_view line : lines) size += line.size() + 1;
        out.reserve(size);
        for (std::string_view line : lines) {
            out += line;
            out += '\n';
        }
        return out;
    }
    if (which("fzf")) {
        // The lines `fzf -f QUERY` prints, worked out here: fzf runs this on every keystroke, and
        // starting it would cost more than the filtering.
        const std::vector<std::size_t> order = fzf_filter_order(lines, query);
        std::size_t size = 0;
        for (std::size_t i : order) size += lines[i].size() + 1;
        out.reserve(size);
        for (std::size_t i : order) {
            if (is_valid_utf8(lines[i])) out += lines[i];
            else out += lossy_utf8(lines[i]);
            out += '\n';
        }
        return out;
    }
    const std::string needle = to_lower(query);
    for (std::string_view line : lines) {
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (to_lower(line).find(needle) == std::string::npos) continue;
        out += line;
        out += '\n';
    }
    return out;
}

std::string filter_lines(std::string_view text, std::string_view query) {
    if (query.empty()) return with_final_newline(std::string(text));
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return filter_line_views(lines, query);
}

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
