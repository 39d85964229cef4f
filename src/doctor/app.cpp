#include "doctor/app.hpp"

#include <algorithm>

#include "ui/screen_width.hpp"

namespace vesk::doctor {

// Measured as the screen shows the texts: a control character takes the column of its picture.
std::size_t natural_width(const Report& report) {
    if (report.checks.empty()) return 53;
    std::size_t id = 14, summary = 16;
    for (const auto& check : report.checks) {
        id = std::max(id, ui::screen_width(ui::show_controls(check.id)));
        summary = std::max(summary, ui::screen_width(ui::show_controls(check.summary)));
    }
    return id + summary + 23;
}

}  // namespace vesk::doctor
