#include "rebuild/assemble.hpp"

#include <fmt/format.h>

#include "core/error.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "keybind/keys.hpp"
#include "keybind/source.hpp"
#include "plugin/source.hpp"

namespace vesk::rebuild {

namespace {

constexpr std::string_view kMarker = "# # /!\\ do not remove the following line";

// Joins lines with line feeds, with a final one when the original text had it.
std::string join_lines(const std::vector<std::string>& lines, bool final_newline) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += '\n';
        out += lines[i];
    }
    if (final_newline) out += '\n';
    return out;
}

std::string_view leading_space(std::string_view line) {
    return line.substr(0, line.size() - trim_start(line).size());
}

}  // namespace

std::string zelt_line(const std::filesystem::path& root) {
    return "set -g @zelt " + tmux_double_quote(path_text(root)) + "\n";
}

std::string swap_key(std::string_view line, std::string_view default_key, std::string_view current_key) {
    std::string_view indent = leading_space(line);
    std::vector<std::string_view> words = keybind::source::split_words(line.substr(indent.size()));
    // Walk the flags the way the key-binding parser does, so the key `-` and keys that also
    // appear in the command are found where tmux takes them.
    std::size_t i = 1;
    while (i < words.size()) {
        std::string_view w = words[i];
        if (w == "-T" || w == "-N") i += 2;
        else if (w.size() >= 2 && w.front() == '-') ++i;
        else break;
    }
    if (i >= words.size() || !keybind::keys::word_is_key(words[i], default_key)) return std::string(line);
    std::string quoted = keybind::keys::quote_key(current_key);
    std::string out(indent);
    for (std::size_t k = 0; k < words.size(); ++k) {
        if (k > 0) out += ' ';
        out += k == i ? std::string_view(quoted) : words[k];
    }
    return out;
}

std::string uncomment(std::string_view line) {
    std::string_view indent = leading_space(line);
    std::string_view rest = line.substr(indent.size());
    std::size_t hashes = rest.find_first_not_of('#');
    rest = hashes == std::string_view::npos ? std::string_view() : rest.substr(hashes);
    return std::string(indent) + std::string(trim_start(rest));
}

std::string apply_key_overrides(std::string_view text, std::string_view fragment,
                                const std::vector<keybind::overrides::Resolved>& resolved) {
    return apply_key_overrides(text, keybind::source::parse(text, fragment), resolved);
}

std::string apply_key_overrides(std::string_view text, const std::vector<keybind::source::Binding>& bindings,
                                const std::vector<keybind::overrides::Resolved>& resolved) {
    std::vector<std::string> lines = split_lines(text);
    for (const auto& binding : bindings) {
        auto n = keybind::source::origin_line(binding.origin);
        if (!n || *n < 1 || *n > lines.size()) continue;
        const keybind::overrides::Resolved* match = nullptr;
        for (const auto& r : resolved) {
            if (r.origin() == binding.origin) {
                match = &r;
                break;
            }
        }
        if (match == nullptr) continue;
        std::string& line = lines[*n - 1];
        if (!match->current_key) line = "# (vesk) 사용자가 지운 단축키: " + line;
        else if (*match->current_key != match->default_key())
            line = swap_key(line, match->default_key(), *match->current_key);
    }
    return join_lines(lines, !text.empty() && text.back() == '\n');
}

std::string apply_plugin_overrides(std::string_view text, std::string_view fragment,
                                   const std::vector<plugin::overrides::Change>& changes) {
    if (changes.empty()) return std::string(text);
    std::vector<std::string> lines = split_lines(text);
    for (const auto& declaration : plugin::source::parse(text, fragment)) {
        auto wanted = plugin::overrides::state_for(changes, declaration.repo);
        if (!wanted || *wanted == declaration.on) continue;
        if (declaration.line < 1 || declaration.line > lines.size()) continue;
        std::string& line = lines[declaration.line - 1];
        line = *wanted ? uncomment(line) : "# (vesk) 사용자가 끈 플러그인: " + line;
    }
    return join_lines(lines, !text.empty() && text.back() == '\n');
}

std::string render_output(std::string_view template_text, const std::vector<Section>& sections) {
    std::vector<std::string> lines = split_lines(template_text);
    std::size_t markers = 0;
    for (const auto& line : lines) {
        if (trim_end(line) == kMarker) ++markers;
    }
    if (markers != 1)
        throw Error(fmt::format("템플릿에서 삽입 표시를 정확히 하나 찾지 못했습니다 (찾은 개수: {})", markers));

    std::string out;
    for (const auto& line : lines) {
        if (trim_end(line) == kMarker) {
            out += "\n# -- vesk generated conf fragments: begin " + std::string(30, '-') + "\n";
            for (const auto& section : sections) {
                out += "# -- generated: begin " + section.label + " " + std::string(42, '-') + "\n";
                out += section.text;
                if (section.text.empty() || section.text.back() != '\n') out += '\n';
                out += "# -- generated: end " + section.label + " " + std::string(44, '-') + "\n\n";
            }
            out += "# -- vesk generated conf fragments: end " + std::string(32, '-') + "\n\n";
        }
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace vesk::rebuild
