// The doctor's two text reports: JSON for tools, plain text for people and logs.
#pragma once

#include <string>

#include "doctor/model.hpp"

namespace vesk::doctor {

// One line per check inside a fixed frame; every quoted value JSON-escaped.
std::string render_json(const Report& report);
// A summary line, then the checks under their groups; texts as they are.
std::string render_plain(const Report& report, bool strict);

}  // namespace vesk::doctor
