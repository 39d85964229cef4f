#include "keybind/kept_lines.hpp"

#include <algorithm>
#include <cerrno>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk::keybind::overrides {

namespace {

constexpr std::string_view kHeaderLines[] = {
    "# vesk 설정 화면에서 바꾼 단축키입니다.",
    "# 직접 고쳐도 됩니다. 기본값 그대로인 항목은 여기에 적히지 않습니다.",
};

// No key holds a line feed, so no line of the file can name this one.
constexpr std::string_view kProbeKey = "\n";

// Whether loading would give this override to one of the bindings, asked of resolve itself so
// that the two never disagree on what matches.
bool matches_a_binding(const Override& o, const std::vector<source::Binding>& bindings) {
    if (const auto* bind = std::get_if<Bind>(&o)) {
        Bind probe = *bind;
        probe.key = kProbeKey;
        auto resolved = resolve(bindings, {probe});
        return std::any_of(resolved.begin(), resolved.end(),
                           [](const Resolved& r) { return r.current_key == kProbeKey; });
    }
    auto resolved = resolve(bindings, {o});
    return std::any_of(resolved.begin(), resolved.end(), [](const Resolved& r) { return r.removed(); });
}

std::vector<std::string_view> file_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::string kept_lines(std::string_view old_text, const std::vector<SaveEntry>& entries) {
    std::vector<source::Binding> bindings;
    bindings.reserve(entries.size());
    for (const SaveEntry& e : entries) {
        bindings.push_back(source::Binding{e.default_table, e.default_key, e.command, "", "", "", ""});
    }
    const bool readable = is_valid_utf8(old_text);

    const std::vector<std::string_view> lines = file_lines(old_text);
    std::vector<bool> drop(lines.size(), false);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = trim_end(lines[i]);
        if (std::find(std::begin(kHeaderLines), std::end(kHeaderLines), line) != std::end(kHeaderLines)) {
            drop[i] = true;
            continue;
        }
        if (!readable) continue;
        std::vector<Override> found = parse_overrides(lines[i]);
        if (found.size() != 1 || !matches_a_binding(found.front(), bindings)) continue;
        drop[i] = true;
        if (i > 0 && !drop[i - 1] && trim(lines[i - 1]).starts_with('#')) drop[i - 1] = true;
    }

    std::string block;
    bool pending_blank = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (drop[i]) continue;
        if (is_blank(lines[i])) {
            pending_blank = !block.empty();
            continue;
        }
        if (pending_blank) block += '\n';
        pending_blank = false;
        block += lines[i];
        block += '\n';
    }
    return block.empty() ? block : "\n" + block;
}

std::string kept_lines_of_file(const std::filesystem::path& path, const std::vector<SaveEntry>& entries) {
    std::string text;
    try {
        text = read_file(path);
    } catch (const SystemError& e) {
        if (e.code == ENOENT) return "";
        rethrow_with_context("기존 단축키 파일을 읽지 못했습니다: " + path_text(path));
    }
    return kept_lines(text, entries);
}

}  // namespace vesk::keybind::overrides
