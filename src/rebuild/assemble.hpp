// The text work of the rebuild: which fragments a profile takes, how the user's key-binding
// changes rewrite a fragment's lines, and how the generated block goes into the template.
// Everything here is pure; rebuild/run.cpp does the reading, checking and writing.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "keybind/overrides.hpp"
#include "keybind/source.hpp"
#include "plugin/overrides.hpp"

namespace vesk::rebuild {

// One labelled part of the generated block.
struct Section {
    std::string label;
    std::string text;
};

// `set -g @zelt "<root>"` and a line feed, the root escaped so that tmux stores exactly it.
std::string zelt_line(const std::filesystem::path& root);

// The line with its key word (the word tmux's bind-key takes as the key, after the flags)
// replaced by `current_key`, quoted where tmux would read it specially. The leading white space
// stays as it is; the words after it are joined with single blanks. A line whose key word does
// not name `default_key` comes back unchanged.
std::string swap_key(std::string_view line, std::string_view default_key, std::string_view current_key);

// A commented-out line switched on: its leading white space, then the rest without its leading
// '#' characters and the white space after them.
std::string uncomment(std::string_view line);

// The fragment text with removed bindings commented out and rebound ones rewritten.
std::string apply_key_overrides(std::string_view text, std::string_view fragment,
                                const std::vector<keybind::overrides::Resolved>& resolved);
// The same with the fragment's bindings already parsed (parse(text, fragment)).
std::string apply_key_overrides(std::string_view text, const std::vector<keybind::source::Binding>& bindings,
                                const std::vector<keybind::overrides::Resolved>& resolved);

// The fragment text with the plugin lines the user switched off commented out and those switched
// on uncommented. Without changes the text is returned as it stands.
std::string apply_plugin_overrides(std::string_view text, std::string_view fragment,
                                   const std::vector<plugin::overrides::Change>& changes);

// The template with the generated block inserted before its marker line. Throws when the
// template does not hold the marker exactly once.
std::string render_output(std::string_view template_text, const std::vector<Section>& sections);

}  // namespace vesk::rebuild
