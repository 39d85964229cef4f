// The one place the program reads its environment. Callers that work out places (HOME, the
// configuration directory, the installation root) do so once per command, in config/places.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vesk {

// The variable's value, or nothing when it is unset.
std::optional<std::string> env_var(const char* name);
// The variable's value, or nothing when it is unset or empty.
std::optional<std::string> env_non_empty(const char* name);
// Sets the variable in this process, for every child started afterwards.
void set_env_var(const char* name, const std::string& value);
// Removes the variable from this process.
void unset_env_var(const char* name);
// Every NAME=VALUE entry, in order: the environment a child starts from.
std::vector<std::string> environment_entries();

}  // namespace vesk
