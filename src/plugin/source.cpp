#include "plugin/source.hpp"

#include <algorithm>
#include <system_error>

#include "core/text.hpp"

namespace vesk::plugin::source {

namespace {

constexpr std::string_view kPrefix = "set -g @plugin";

// The "#" line above a declaration, as its description, when it holds a usable text.
std::optional<std::string> comment_description(std::string_view above) {
    std::string_view line = trim(above);
    if (!line.starts_with('#') || declaration_on(line)) return std::nullopt;
    std::size_t text_start = line.find_first_not_of('#');
    line = text_start == std::string_view::npos ? std::string_view{} : trim(line.substr(text_start));
    if (line.empty() || line.starts_with('-') || line.starts_with('=')) return std::nullopt;
    if (auto stop = line.find(". "); stop != std::string_view::npos) {
        return std::string(trim_end(line.substr(0, stop + 1)));
    }
    return std::string(line);
}

}  // namespace

std::optional<std::string> quoted_repo(std::string_view rest) {
    rest = trim_start(rest);
    if (rest.empty() || (rest.front() != '\'' && rest.front() != '"')) return std::nullopt;
    std::size_t close = rest.find(rest.front(), 1);
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view repo = trim(rest.substr(1, close - 1));
    if (repo.empty()) return std::nullopt;
    return std::string(repo);
}

std::optional<DeclaredState> declaration_on(std::string_view line) {
    std::string_view text = trim(line);
    std::size_t hashes = 0;
    while (hashes < text.size() && text[hashes] == '#') ++hashes;
    text = trim_start(text.substr(hashes));
    if (!text.starts_with(kPrefix)) return std::nullopt;
    auto repo = quoted_repo(text.substr(kPrefix.size()));
    if (!repo) return std::nullopt;
    return DeclaredState{std::move(*repo), hashes == 0};
}

std::vector<Declaration> parse(std::string_view text, std::string_view source) {
    std::vector<Declaration> out;
    std::vector<std::string_view> lines = split_at_line_feeds(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto state = declaration_on(lines[i]);
        if (!state) continue;
        Declaration d;
        d.repo = std::move(state->repo);
        std::size_t slash = d.repo.rfind('/');
        d.name = slash == std::string::npos ? d.repo : d.repo.substr(slash + 1);
        // The plugin manager clones "user/plugin.git" into "plugin", as git itself names it.
        if (d.name.size() > 4 && d.name.ends_with(".git")) d.name.resize(d.name.size() - 4);
        std::optional<std::string> comment;
        if (i > 0) comment = comment_description(lines[i - 1]);
        d.description = comment ? *comment : d.repo;
        d.line = i + 1;
        d.origin = std::string(source) + ":" + std::to_string(d.line);
        d.on = state->on;
        out.push_back(std::move(d));
    }
    return out;
}

std::vector<std::string> installed(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(dir, ec);
    if (ec) return names;
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::error_code type_ec;
        if (!it->is_directory(type_ec) || type_ec) continue;
        std::string name = it->path().filename().string();
        if (name == "tpm" || !is_valid_utf8(name)) continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace vesk::plugin::source
