// The plugin catalog the plugin screen shows and edits: per declared plugin whether it is on,
// whether it is installed and whether a plugin-manager job is running for it. Every operation
// returns a new catalog, so the screen can keep or drop a result.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "plugin/source.hpp"

namespace vesk::plugin::model {

enum class JobMark { None, Fetching, Updating };

struct Entry {
    source::Declaration declaration;
    bool on = false;         // current state
    bool installed = false;
    JobMark job = JobMark::None;

    bool operator==(const Entry&) const = default;
};

class Catalog {
public:
    Catalog() = default;
    // Every entry at its default state, installed when its name is among `installed_names`, no job.
    Catalog(std::vector<source::Declaration> declarations,
            const std::vector<std::string>& installed_names);

    const std::vector<Entry>& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }

    // An index at or beyond size() gives an unchanged copy.
    Catalog toggle(std::size_t index) const;
    Catalog mark(std::size_t index, JobMark job) const;
    Catalog clear(std::size_t index) const;
    // `installed` recomputed for every entry; states and job marks kept.
    Catalog refresh(const std::vector<std::string>& installed_names) const;

    bool operator==(const Catalog&) const = default;

private:
    std::vector<Entry> entries_;
};

}  // namespace vesk::plugin::model
