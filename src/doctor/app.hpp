// The doctor's full-screen side: how wide its screen wants to be, and the screen itself.
#pragma once

#include <cstddef>

#include "config/places.hpp"
#include "doctor/model.hpp"

namespace vesk::doctor {

// Columns the doctor screen wants for this report: the widest id and summary (at least 14 and 16)
// plus the screen's fixed 21 columns and its two borders; 53 for an empty report.
std::size_t natural_width(const Report& report);

// The doctor screen, for a terminal on standard output.
void run_screen(const config::Places& places);

}  // namespace vesk::doctor
