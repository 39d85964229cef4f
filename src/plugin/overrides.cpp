#include "plugin/overrides.hpp"

#include "core/files.hpp"
#include "core/text.hpp"
#include "plugin/source.hpp"

namespace vesk::plugin::overrides {

namespace {

constexpr std::string_view kHeader =
    "# vesk 플러그인 화면에서 켜고 끈 것입니다.\n"
    "# 직접 고쳐도 됩니다. 기본값 그대로인 것은 여기에 적히지 않습니다.\n";

constexpr std::string_view kOff = "#vesk:off ";
constexpr std::string_view kPluginLine = "set -g @plugin";

// A repository declared in double quotes may hold a single quote; written in single quotes it
// would be read back cut short, so it keeps double quotes.
std::string quoted(const std::string& repo) {
    char q = repo.find('\'') == std::string::npos ? '\'' : '"';
    return q + repo + q;
}

}  // namespace

std::string render(const model::Catalog& catalog) {
    std::string text(kHeader);
    for (const model::Entry& e : catalog.entries()) {
        if (e.on == e.declaration.on) continue;
        text += "\n# " + e.declaration.description + "\n";
        if (e.on) {
            text += std::string(kPluginLine) + " " + quoted(e.declaration.repo) + "\n";
        } else {
            text += std::string(kOff) + e.declaration.repo + "\n";
        }
    }
    return text;
}

void save(const std::filesystem::path& path, const model::Catalog& catalog) {
    write_file_atomically(path, render(catalog), Links::Followed);
}

std::vector<Change> parse_changes(std::string_view text) {
    std::vector<Change> changes;
    for (const std::string& raw : split_lines(text)) {
        std::string_view line = trim(raw);
        if (line.size() < 10) continue;
        if (line.starts_with(kOff)) {
            std::string_view repo = trim(line.substr(kOff.size()));
            if (!repo.empty()) changes.push_back(Change{std::string(repo), false});
            continue;
        }
        if (line.starts_with('#')) continue;
        if (line.size() >= 14 && line.starts_with(kPluginLine)) {
            if (auto repo = source::quoted_repo(line.substr(kPluginLine.size()))) {
                changes.push_back(Change{std::move(*repo), true});
            }
        }
    }
    return changes;
}

std::vector<Change> load(const std::filesystem::path& path) {
    std::optional<std::string> text = read_text_if_any(path);
    if (!text) return {};
    return parse_changes(*text);
}

model::Catalog apply(const model::Catalog& catalog, const std::vector<Change>& changes) {
    model::Catalog result = catalog;
    for (const Change& c : changes) {
        const auto& entries = result.entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].declaration.repo != c.repo) continue;
            if (entries[i].on != c.on) result = result.toggle(i);
            break;
        }
    }
    return result;
}

std::optional<bool> state_for(const std::vector<Change>& changes, std::string_view repo) {
    std::optional<bool> state;
    for (const Change& c : changes) {
        if (c.repo == repo) state = c.on;
    }
    return state;
}

}  // namespace vesk::plugin::overrides
