// keybindings.conf: the user's changes to the distribution's key bindings, in tmux syntax so it
// can be edited by hand. Only bindings that differ from the defaults are written.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "keybind/source.hpp"

namespace vesk::keybind::overrides {

// "bind-key [-n|-T t] KEY COMMAND": the binding that runs COMMAND in this table gets KEY.
struct Bind {
    std::string table;
    std::string key;  // tmux key name (unquoted)
    std::string command;
    bool operator==(const Bind&) const = default;
};

// "unbind [-n|-T t] KEY": the binding whose default key is KEY in this table is removed.
struct Unbind {
    std::string table;
    std::string key;  // tmux key name (unquoted)
    bool operator==(const Unbind&) const = default;
};

using Override = std::variant<Bind, Unbind>;

// A default binding with the key the user wants for it now.
struct Resolved {
    source::Binding binding;                 // origin, table, default key (binding.key), command...
    std::optional<std::string> current_key;  // the default key when untouched, nothing when removed

    const std::string& default_key() const { return binding.key; }
    const std::string& origin() const { return binding.origin; }
    bool removed() const { return !current_key; }
    bool rebound() const { return current_key && *current_key != binding.key; }
    bool operator==(const Resolved&) const = default;
};

// What the saver needs of one entry of the key-binding model.
struct SaveEntry {
    std::string description;
    std::string default_table;
    std::string default_key;
    std::string table;                       // the current table
    std::optional<std::string> current_key;  // nothing when removed
    std::string command;
};

// "" for prefix, " -n" for root, " -T <table>" otherwise.
std::string table_option(std::string_view table);

// Never fails: a missing, unreadable or non-UTF-8 file gives no overrides.
// Bind overrides in file order, then Unbind overrides in file order.
std::vector<Override> load(const std::filesystem::path& path);
// The same from the file's text.
std::vector<Override> parse_overrides(std::string_view text);

// Same order and length as `bindings`; later overrides win.
std::vector<Resolved> resolve(const std::vector<source::Binding>& bindings,
                              const std::vector<Override>& overrides);

// The whole file text for these entries (header lines, then one block per changed entry).
std::string render(const std::vector<SaveEntry>& entries);

// Writes render(entries) atomically (the directory is created when missing), followed by the lines
// of the old file that no entry stands for (kept_lines.hpp), so hand-written lines survive. On
// failure the file keeps its previous content and the error is thrown.
void save(const std::filesystem::path& path, const std::vector<SaveEntry>& entries);

}  // namespace vesk::keybind::overrides
