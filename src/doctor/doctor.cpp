#include "doctor/doctor.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/error.hpp"
#include "doctor/app.hpp"
#include "doctor/checks.hpp"
#include "doctor/report.hpp"

namespace vesk::doctor {

namespace {

// The whole text in one go: nothing is written before the report is complete.
void write_stdout(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) throw_errno();
}

}  // namespace

void print_json(const Report& report) { write_stdout(render_json(report)); }

void print_plain(const Report& report, bool strict) { write_stdout(render_plain(report, strict)); }

int report_status(const Report& report, bool strict) {
    if (report.count(Severity::Error) > 0) return 1;
    if (strict && report.count(Severity::Warn) > 0) return 1;
    return 0;
}

void doctor(const DoctorArgs& args) {
    if (args.popup) return doctor_popup();
    const config::Places places = config::Places::resolve();
    if (!args.json && !args.plain && ::isatty(STDOUT_FILENO)) return run_screen(places);
    const Report report = collect(places);
    if (args.json) print_json(report);
    else print_plain(report, args.strict);
    if (int status = report_status(report, args.strict)) throw ExitCode(status);
}

}  // namespace vesk::doctor
