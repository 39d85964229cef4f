// Names of new vault items: the characters a file name should not hold become '_'.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::agent {

// Control characters are dropped; runs of " ' * : < > ? \ ` | _ (and / in a file name) become one
// '_'; anything else stays.
std::string sanitize_quillbox_component(std::string_view text, bool file_name);
// sanitize_quillbox_component as a file name; the local time "%Y-%m-%d-%H-%M-%S" when nothing is left.
std::string sanitize_quillbox_file(std::string_view text);

// Creates the file empty when it is not there (true); an existing regular file keeps its content
// (false); anything else at the path is an error.
bool create_if_missing(const std::filesystem::path& path);

// Makes `folder` (below `root`) for a new item, with any folder missing on the way. A folder of the
// vault may be a link, but not one that leads out of it: the nearest folder that exists is
// checked before anything is made, and an error names the folder.
void make_item_folder(const std::filesystem::path& root, const std::filesystem::path& folder);

// Where `create-named` puts the item the words name: a leading "/" names folders of the vault,
// else the item goes to inbox/ (every "/" of the name then becomes '_'); ".md" is added to a name
// without a full stop. Folders whose ".." would climb above the vault, and the names "." and
// "..", are an error.
std::filesystem::path quillbox_named_path(const std::filesystem::path& root, const std::vector<std::string>& raw);

}  // namespace vesk::agent
