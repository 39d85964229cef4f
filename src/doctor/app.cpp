#include "doctor/app.hpp"

#include <algorithm>

#include "ui/screen_width.hpp"

namespace vesk::doctor {

// Measured as the screen shows the texts: a control character takes the column of its picture.
ColumnWidths column_widths(const Report& report) {
    ColumnWidths widths;
    for (const auto& check : report.checks) {
        widths.id = std::max(widths.id, ui::screen_width(ui::show_controls(check.id)));
        widths.summary = std::max(widths.summary, ui::screen_width(ui::show_controls(check.summary)));
    }
    return widths;
}

std::size_t natural_width(const Report& report) {
    const ColumnWidths widths = column_widths(report);
    return widths.id + widths.summary + 23;
}

}  // namespace vesk::doctor
