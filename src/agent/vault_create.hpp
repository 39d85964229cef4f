// Names of new vault items: the characters a file name should not hold become '_'.
#pragma once

#include <string>
#include <string_view>

namespace vesk::agent {

// Control characters are dropped; runs of " ' * : < > ? \ ` | _ (and / in a file name) become one
// '_'; anything else stays.
std::string sanitize_quillbox_component(std::string_view text, bool file_name);
// sanitize_quillbox_component as a file name; the local time "%Y-%m-%d-%H-%M-%S" when nothing is left.
std::string sanitize_quillbox_file(std::string_view text);

}  // namespace vesk::agent
