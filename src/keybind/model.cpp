#include "keybind/model.hpp"

#include <algorithm>

#include "keybind/bindings.hpp"

namespace vesk::keybind::model {

namespace {

bool in_range(const EditSession& session, std::size_t index) { return index < session.entries.size(); }

}  // namespace

EditSession session_from_bindings(const std::vector<source::Binding>& bindings,
                                  const std::vector<overrides::Override>& overrides) {
    EditSession session;
    for (overrides::Resolved& r : overrides::resolve(bindings, overrides)) {
        const source::Binding& b = r.binding;
        session.entries.push_back(
            Entry{ActionInfo{b.origin, b.group, b.description, b.command, b.command, b.table, b.key}, b.table,
                  std::move(r.current_key)});
    }
    return session;
}

EditSession session_from_actions(const std::vector<KeybindingAction>& actions,
                                 const std::vector<overrides::Override>& overrides) {
    // The actions are resolved like fragment bindings, so a keybindings.conf written while the
    // fragments were readable still shows here, and a save from this session keeps it.
    std::vector<source::Binding> bindings;
    bindings.reserve(actions.size());
    for (const KeybindingAction& a : actions) {
        bindings.push_back(source::Binding{std::string(a.key_table), std::string(a.default_key),
                                           std::string(a.command), std::string(a.label_ko), std::string(a.group),
                                           std::string(a.id), "built-in"});
    }
    std::vector<overrides::Resolved> resolved = overrides::resolve(bindings, overrides);
    EditSession session;
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const KeybindingAction& a = actions[i];
        session.entries.push_back(Entry{ActionInfo{std::string(a.id), std::string(a.group), std::string(a.label_ko),
                                                   std::string(a.label_en), std::string(a.command),
                                                   std::string(a.key_table), std::string(a.default_key)},
                                        std::string(a.key_table), std::move(resolved[i].current_key)});
    }
    return session;
}

EditSession load_session_from(const Defaults& defaults, const std::optional<std::filesystem::path>& overrides_path) {
    std::vector<overrides::Override> user;
    if (overrides_path) user = overrides::load(*overrides_path);
    // The screen always edits the linux profile's bindings, whatever profile the rebuild uses.
    std::vector<source::Binding> bindings = load_bindings(defaults, ConfigProfile::Linux);
    if (bindings.empty()) return session_from_actions(keybinding_actions(), user);
    return session_from_bindings(bindings, user);
}

EditSession load_session(const config::Places& places) {
    return load_session_from(places.defaults(), places.keybindings_conf());
}

EditSession with_key_at(const EditSession& session, std::size_t index, const std::optional<std::string>& key) {
    EditSession out = session;
    if (in_range(out, index)) out.entries[index].current_key = key;
    return out;
}

std::optional<Conflict> conflict_for(const EditSession& session, std::size_t index, const std::string& table,
                                     const std::string& key) {
    for (std::size_t i = 0; i < session.entries.size(); ++i) {
        const Entry& e = session.entries[i];
        if (i == index || e.table != table || e.current_key != key) continue;
        return Conflict{e.info.id, e.info.description, key, table};
    }
    return std::nullopt;
}

AssignOutcome assign(const EditSession& session, std::size_t index, const std::string& key) {
    if (!in_range(session, index)) return Assigned{session};
    if (auto conflict = conflict_for(session, index, session.entries[index].table, key)) return *conflict;
    return Assigned{with_key_at(session, index, key)};
}

EditSession assign_overwriting(const EditSession& session, std::size_t index, const std::string& key) {
    EditSession out = session;
    if (!in_range(out, index)) return out;
    const std::string table = out.entries[index].table;
    for (std::size_t i = 0; i < out.entries.size(); ++i) {
        Entry& e = out.entries[i];
        if (i != index && e.table == table && e.current_key == key) e.current_key.reset();
    }
    out.entries[index].current_key = key;
    return out;
}

EditSession restore_default(const EditSession& session, std::size_t index) {
    EditSession out = session;
    if (!in_range(out, index)) return out;
    Entry& e = out.entries[index];
    e.table = e.info.default_table;
    e.current_key = e.info.default_key;
    return out;
}

std::vector<Group> groups(const EditSession& session) {
    std::vector<Group> out;
    for (std::size_t i = 0; i < session.entries.size(); ++i) {
        const std::string& name = session.entries[i].info.group;
        auto it = std::find_if(out.begin(), out.end(), [&](const Group& g) { return g.name == name; });
        if (it == out.end()) {
            out.push_back(Group{name, {i}});
        } else {
            it->indices.push_back(i);
        }
    }
    return out;
}

std::vector<overrides::SaveEntry> save_entries(const EditSession& session) {
    std::vector<overrides::SaveEntry> out;
    out.reserve(session.entries.size());
    for (const Entry& e : session.entries) {
        out.push_back(overrides::SaveEntry{e.info.description, e.info.default_table, e.info.default_key, e.table,
                                           e.current_key, e.info.command});
    }
    return out;
}

void save_session(const std::filesystem::path& path, const EditSession& session) {
    overrides::save(path, save_entries(session));
}

}  // namespace vesk::keybind::model
