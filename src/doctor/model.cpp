#include "doctor/model.hpp"

#include <algorithm>

#include "core/quote.hpp"
#include "core/text.hpp"

namespace vesk::doctor {

namespace {

struct Labels {
    std::string_view label, screen, glyph;
};

constexpr Labels kLabels[] = {
    {"ok", "정상", "✔"},
    {"warn", "주의", "▲"},
    {"error", "문제", "●"},
    {"skip", "확인 못 함", "·"},
};

const Labels& labels(Severity severity) { return kLabels[static_cast<int>(severity)]; }

}  // namespace

std::string_view severity_label(Severity severity) { return labels(severity).label; }
std::string_view severity_screen_label(Severity severity) { return labels(severity).screen; }
std::string_view severity_glyph(Severity severity) { return labels(severity).glyph; }

std::optional<std::string> Action::line() const {
    if (const auto* mkdir = std::get_if<Mkdir>(&what)) {
        std::string path = path_text(mkdir->path);
        // A relative path that begins with '-' would be read as an option of mkdir.
        if (path.starts_with('-')) path = "./" + path;
        return "mkdir -p " + shell_word(path);
    }
    if (const auto* recipe = std::get_if<Recipe>(&what)) {
        std::string line = shell_word(recipe->program);
        for (const auto& arg : recipe->args) line += " " + shell_word(arg);
        return line;
    }
    return std::nullopt;
}

const Check* Report::find(std::string_view id) const {
    auto it = std::find_if(checks.begin(), checks.end(), [&](const Check& c) { return c.id == id; });
    return it == checks.end() ? nullptr : &*it;
}

std::vector<std::string_view> Report::groups() const {
    std::vector<std::string_view> out;
    for (const auto& check : checks)
        if (std::find(out.begin(), out.end(), check.group) == out.end()) out.push_back(check.group);
    return out;
}

std::size_t Report::count(Severity severity) const {
    return static_cast<std::size_t>(
        std::count_if(checks.begin(), checks.end(), [&](const Check& c) { return c.severity == severity; }));
}

}  // namespace vesk::doctor
