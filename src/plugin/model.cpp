#include "plugin/model.hpp"

#include <algorithm>

namespace vesk::plugin::model {

namespace {

bool among(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

Catalog::Catalog(std::vector<source::Declaration> declarations,
                 const std::vector<std::string>& installed_names) {
    entries_.reserve(declarations.size());
    for (source::Declaration& d : declarations) {
        bool on = d.on;
        bool installed = among(installed_names, d.name);
        entries_.push_back(Entry{std::move(d), on, installed, JobMark::None});
    }
}

Catalog Catalog::toggle(std::size_t index) const {
    Catalog copy = *this;
    if (index < copy.entries_.size()) copy.entries_[index].on = !copy.entries_[index].on;
    return copy;
}

Catalog Catalog::mark(std::size_t index, JobMark job) const {
    Catalog copy = *this;
    if (index < copy.entries_.size()) copy.entries_[index].job = job;
    return copy;
}

Catalog Catalog::clear(std::size_t index) const {
    return mark(index, JobMark::None);
}

Catalog Catalog::refresh(const std::vector<std::string>& installed_names) const {
    Catalog copy = *this;
    for (Entry& e : copy.entries_) e.installed = among(installed_names, e.declaration.name);
    return copy;
}

}  // namespace vesk::plugin::model
