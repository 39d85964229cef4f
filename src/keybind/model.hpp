// The key-binding model the key-binding screen edits: one entry per default binding of the
// distribution, each with the key the user wants for it now. Every operation returns a new
// session and leaves the one it was given untouched, so the screen can keep or drop a result.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "config/places.hpp"
#include "defaults/defaults.hpp"
#include "keybind/actions.hpp"
#include "keybind/overrides.hpp"
#include "keybind/source.hpp"

namespace vesk::keybind::model {

// What an entry is, fixed when the entry is made.
struct ActionInfo {
    std::string id;           // the action id, or the binding's origin "<source>:<line>"
    std::string group;
    std::string description;  // Korean
    std::string label_en;     // for a binding from a fragment: its command again
    std::string command;
    std::string default_table;
    std::string default_key;

    bool operator==(const ActionInfo&) const = default;
};

struct Entry {
    ActionInfo info;
    std::string table;                       // where current_key is bound: always default_table
    std::optional<std::string> current_key;  // nothing: the user removed the binding

    // Removed, rebound or moved to another table: only changed entries reach keybindings.conf.
    bool changed() const {
        return !current_key || *current_key != info.default_key || table != info.default_table;
    }
    bool operator==(const Entry&) const = default;
};

// The entries in load order; positions in this list identify entries for every operation.
struct EditSession {
    std::vector<Entry> entries;
    bool operator==(const EditSession&) const = default;
};

struct Group {
    std::string name;
    std::vector<std::size_t> indices;  // ascending
    bool operator==(const Group&) const = default;
};

// The other entry that already holds a key.
struct Conflict {
    std::string id;
    std::string description;
    std::string key;
    std::string table;
    bool operator==(const Conflict&) const = default;
};

struct Assigned {
    EditSession session;
    bool operator==(const Assigned&) const = default;
};
// Assigned with the new session, or the Conflict that stopped it (the session is then unchanged).
using AssignOutcome = std::variant<Assigned, Conflict>;

// The distribution's bindings (root and sources as for a command without --zeltdir, fragments of
// the linux profile) with the user's keybindings.conf applied. When no fragment yields a binding,
// the built-in actions, with keybindings.conf applied to them as well.
EditSession load_session(const config::Places& places);
// The same from given sources and overrides file (nothing: no overrides).
EditSession load_session_from(const Defaults& defaults, const std::optional<std::filesystem::path>& overrides_path);
// One entry per binding, its current key resolved against the overrides.
EditSession session_from_bindings(const std::vector<source::Binding>& bindings,
                                  const std::vector<overrides::Override>& overrides);
// One entry per action, its current key resolved against the overrides.
EditSession session_from_actions(const std::vector<KeybindingAction>& actions,
                                 const std::vector<overrides::Override>& overrides);

// Every operation below returns a copy; an index at or beyond the end changes nothing.

// Entry `index` bound to `key` (nothing: removed).
EditSession with_key_at(const EditSession& session, std::size_t index, const std::optional<std::string>& key);
// The first entry other than `index` that holds `key` in `table`.
std::optional<Conflict> conflict_for(const EditSession& session, std::size_t index, const std::string& table,
                                     const std::string& key);
// The key for entry `index` unless another entry of its table holds it.
AssignOutcome assign(const EditSession& session, std::size_t index, const std::string& key);
// The key for entry `index`; every other entry of its table holding the key loses it (removed,
// not reset to its default).
EditSession assign_overwriting(const EditSession& session, std::size_t index, const std::string& key);
// Entry `index` back to its default table and key.
EditSession restore_default(const EditSession& session, std::size_t index);
// The groups in order of first appearance, each with the positions of its entries.
std::vector<Group> groups(const EditSession& session);

// What the overrides writer needs of each entry.
std::vector<overrides::SaveEntry> save_entries(const EditSession& session);
// Writes keybindings.conf for this session; lines of the file the session does not stand for
// (hand-written ones) are kept. Throws on failure; the file then keeps its previous content.
void save_session(const std::filesystem::path& path, const EditSession& session);

}  // namespace vesk::keybind::model
