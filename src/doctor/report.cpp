#include "doctor/report.hpp"

#include <fmt/format.h>

#include "core/quote.hpp"

namespace vesk::doctor {

namespace {

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return out;
}

}  // namespace

std::string render_json(const Report& report) {
    std::string out = "{\n  \"summary\": {\n";
    out += fmt::format("    \"ok\": {}, \"warn\": {}, \"error\": {}, \"skip\": {}\n", report.count(Severity::Ok),
                       report.count(Severity::Warn), report.count(Severity::Error), report.count(Severity::Skip));
    out += "  },\n  \"checks\": [\n";
    for (size_t i = 0; i < report.checks.size(); ++i) {
        const Check& c = report.checks[i];
        out += fmt::format(R"(    {{"group":"{}","id":"{}","severity":"{}","summary":"{}")", json_escape(c.group),
                           json_escape(c.id), severity_label(c.severity), json_escape(c.summary));
        if (c.detail) out += fmt::format(R"(,"detail":"{}")", json_escape(*c.detail));
        if (c.remedy) {
            out += fmt::format(R"(,"remedy":"{}")", json_escape(c.remedy->text));
            if (auto line = c.remedy->action.line()) out += fmt::format(R"(,"command":"{}")", json_escape(*line));
        }
        out += i + 1 < report.checks.size() ? "},\n" : "}\n";
    }
    out += "  ]\n}\n";
    return out;
}

// The plain report is read on a terminal: a value from outside (a tmux option, a program's
// answer) shows its control characters as escapes instead of sending them to the terminal.
std::string render_plain(const Report& report, bool strict) {
    std::string out = "vesk doctor\n";
    out += fmt::format("summary: {} ok, {} warn, {} error, {} skip\n", report.count(Severity::Ok),
                       report.count(Severity::Warn), report.count(Severity::Error), report.count(Severity::Skip));
    if (strict) out += "strict: warnings fail the check\n";
    for (std::string_view group : report.groups()) {
        out += fmt::format("\n[{}]\n", escape_controls(group));
        for (const Check& c : report.checks) {
            if (c.group != group) continue;
            out += fmt::format("  [{:>5}] {}: {}\n", upper(severity_label(c.severity)), escape_controls(c.id),
                               escape_controls(c.summary));
            if (c.detail) out += fmt::format("        detail: {}\n", escape_controls(*c.detail));
            if (!c.remedy) continue;
            out += fmt::format("        remedy: {}\n", escape_controls(c.remedy->text));
            if (auto line = c.remedy->action.line())
                out += fmt::format("        command: {}\n", escape_controls(*line));
        }
    }
    return out;
}

}  // namespace vesk::doctor
