// The two small files of the configuration directory that decide where and how vesk works:
// config.toml (the installation root) and .license (the authoring mode), and `vesk mode`.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk::config {

// The value of the last valid `zelt = <path>` line of a config.toml text, `~` expanded with
// `home` when given; nothing when no line gives one.
std::optional<std::string> zelt_from_toml(std::string_view text, const std::optional<std::string>& home);

// Whether a .license text names an author as "NAME" <LOCAL@DOMAIN>.
bool license_is_valid(std::string_view text);

// `vesk mode`: prints "general-user" or "authoring".
void mode();

}  // namespace vesk::config
