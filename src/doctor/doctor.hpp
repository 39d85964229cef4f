// `vesk doctor`: checks of the whole installation, reported on a screen, as plain text or as JSON.
#pragma once

#include <cstddef>

#include "tmux/screen_popup.hpp"

namespace vesk::doctor {

struct DoctorArgs {
    bool popup = false;  // the optional subcommand `popup`
    bool json = false;
    bool plain = false;
    bool strict = false;
};

struct Report;

// `vesk doctor [popup] [--json] [--plain] [--strict]`: the popup, the JSON report, the plain report
// (also whenever standard output is no terminal) or the screen. After a text report the command
// ends with status 1 when a check failed, or with --strict warned.
void doctor(const DoctorArgs& args);

// `vesk doctor popup`: the doctor screen in a floating pane in the middle of the client, as wide
// as the report wants.
void doctor_popup();

// The reports written to standard output in one piece; a failed write throws.
void print_json(const Report& report);
void print_plain(const Report& report, bool strict);

// 1 when a check is an error, or with `strict` a warning; else 0. Skipped checks never count.
int report_status(const Report& report, bool strict);

// The popup for a client of that size and a screen `natural` columns wide: at most 77% of the
// client's width and 40 columns at least, half its height and 10 rows at least, centred.
PopupGeometry doctor_popup_geometry(int client_width, int client_height, std::size_t natural);

}  // namespace vesk::doctor
