#include "core/env.hpp"

#include <unistd.h>

#include <cstdlib>

namespace vesk {

std::optional<std::string> env_var(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::optional<std::string> env_non_empty(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

void set_env_var(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

void unset_env_var(const char* name) { ::unsetenv(name); }

std::vector<std::string> environment_entries() {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) entries.emplace_back(*entry);
    return entries;
}

}  // namespace vesk
