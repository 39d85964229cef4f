// plugins.conf: which declared plugins the user switched on or off against the defaults.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/model.hpp"

namespace vesk::plugin::overrides {

struct Change {
    std::string repo;
    bool on = false;
    bool operator==(const Change&) const = default;
};

// The file text: the header lines, then one block per entry whose state differs from its default.
std::string render(const model::Catalog& catalog);

// Writes render(catalog) atomically (the directory is created when missing); on failure the file
// keeps its previous content and the writer's error is thrown.
void save(const std::filesystem::path& path, const model::Catalog& catalog);

// Changes in file order; a missing or unreadable file gives none.
std::vector<Change> load(const std::filesystem::path& path);
std::vector<Change> parse_changes(std::string_view text);

// The catalog with the changes applied (the first entry of each repository; later changes win).
model::Catalog apply(const model::Catalog& catalog, const std::vector<Change>& changes);

// The user's state for a repository (the last change for it), nothing when the file has none.
std::optional<bool> state_for(const std::vector<Change>& changes, std::string_view repo);

}  // namespace vesk::plugin::overrides
