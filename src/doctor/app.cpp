#include "doctor/app.hpp"

#include <algorithm>

#include "core/error.hpp"
#include "ui/screen_width.hpp"

namespace vesk::doctor {

std::size_t natural_width(const Report& report) {
    if (report.checks.empty()) return 53;
    std::size_t id = 14, summary = 16;
    for (const auto& check : report.checks) {
        id = std::max(id, ui::screen_width(check.id));
        summary = std::max(summary, ui::screen_width(check.summary));
    }
    return id + summary + 23;
}

void run_screen(const config::Places&) { throw Error("vesk doctor: 아직 구현되지 않았습니다."); }

}  // namespace vesk::doctor
