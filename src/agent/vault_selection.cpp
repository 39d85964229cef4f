#include "agent/vault_selection.hpp"

#include <vector>

#include "agent/vault_index.hpp"
#include "agent/vault_root.hpp"
#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

// The piece after the separator at `at`, up to the next separator.
std::string_view piece_after(std::string_view line, std::size_t at, char separator) {
    std::string_view rest = line.substr(at + 1);
    return rest.substr(0, rest.find(separator));
}

// A field as the index writes it: one blank on each side of its separators.
std::string_view unpadded(std::string_view field) {
    if (field.starts_with(' ')) field.remove_prefix(1);
    if (field.ends_with(' ')) field.remove_suffix(1);
    return field;
}

std::string joined_rel(std::string_view dir, std::string_view name) {
    return dir.empty() ? std::string(name) : std::string(dir) + "/" + std::string(name);
}

}  // namespace

ItemExists item_file_under(const fs::path& root) {
    return [root](std::string_view rel) {
        return !rel.empty() && regular_file_at(root / fs::path(std::string(rel)));
    };
}

DeepHit split_deep_line(std::string_view line, const ItemExists& exists) {
    for (std::size_t at = line.find(':'); at != std::string_view::npos; at = line.find(':', at + 1)) {
        if (at == 0) continue;
        std::optional<std::uint64_t> number = parse_line_number(piece_after(line, at, ':'));
        if (number && exists(line.substr(0, at))) return {std::string(line.substr(0, at)), number};
    }
    if (exists(line)) return {std::string(line), std::nullopt};
    std::size_t first = line.find(':');
    if (first == std::string_view::npos) return {std::string(line), std::nullopt};
    return {std::string(line.substr(0, first)), parse_line_number(piece_after(line, first, ':'))};
}

std::optional<std::string> index_line_rel(std::string_view line, const ItemExists& exists) {
    std::optional<std::string> plain = parse_index_line_for_path(line);
    if (!plain || exists(*plain)) return plain;
    std::vector<std::size_t> bars;
    for (std::size_t at = line.find('|'); at != std::string_view::npos; at = line.find('|', at + 1)) bars.push_back(at);
    for (std::size_t a = 0; a < bars.size(); ++a) {
        std::string_view dir_field = line.substr(0, bars[a]);
        for (std::size_t b = a + 1; b <= bars.size(); ++b) {
            std::size_t end = b < bars.size() ? bars[b] : line.size();
            std::string_view name_field = line.substr(bars[a] + 1, end - bars[a] - 1);
            for (bool exact : {true, false}) {
                std::string rel = exact ? joined_rel(unpadded(dir_field), unpadded(name_field))
                                        : joined_rel(trim(dir_field), trim(name_field));
                if (exists(rel)) return rel;
            }
        }
    }
    return plain;
}

DeepSelection parse_deep_selection(const fs::path& root, std::string_view line) {
    DeepHit hit = split_deep_line(line, item_file_under(root));
    return {hit.rel.empty() ? root : root / fs::path(hit.rel), hit.line};
}

std::optional<DeepSelection> picked_item(const fs::path& root, std::string_view mode, std::string_view line) {
    DeepHit hit;
    if (mode == "deep-search") {
        hit = split_deep_line(line, item_file_under(root));
    } else if (mode == "index-search" || mode == "recent-search") {
        std::optional<std::string> rel = index_line_rel(line, item_file_under(root));
        if (!rel) return std::nullopt;
        hit.rel = std::move(*rel);
    } else {
        return std::nullopt;
    }
    std::optional<fs::path> path = vault_item_path(root, hit.rel);
    if (!path) return std::nullopt;
    return DeepSelection{std::move(*path), hit.line};
}

std::string joined_selection(const QuillboxModeSelectionArgs& args) {
    std::string text;
    for (std::size_t i = 0; i < args.selection.size(); ++i) {
        if (i) text += ' ';
        text += args.selection[i];
    }
    return text;
}

std::optional<fs::path> path_from_mode_selection(const fs::path& root, const QuillboxModeSelectionArgs& args) {
    if (!regular_file_at(args.mode_file)) return std::nullopt;
    const std::string text = joined_selection(args);
    if (text.empty()) return std::nullopt;
    const std::string mode = read_mode_file(args.mode_file);
    if (mode == "deep-search") {
        DeepHit hit = split_deep_line(text, item_file_under(root));
        if (hit.rel.empty()) return std::nullopt;
        return root / fs::path(hit.rel);
    }
    if (mode == "index-search" || mode == "recent-search") {
        std::optional<std::string> rel = index_line_rel(text, item_file_under(root));
        if (!rel) return std::nullopt;
        return root / fs::path(*rel);
    }
    if (mode == "vault-select") return expand_home(text);
    return std::nullopt;
}

}  // namespace vesk::agent
