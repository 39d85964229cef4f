// What the doctor found: one Check per thing it looked at, the Remedy a user can act on, and the
// Report the printers, the fixes and the screen read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vesk::doctor {

enum class Severity : std::uint8_t { Ok, Warn, Error, Skip };

// "ok", "warn", "error", "skip": the JSON and plain reports' words.
std::string_view severity_label(Severity severity);
// "정상", "주의", "문제", "확인 못 함".
std::string_view severity_screen_label(Severity severity);
// "✔", "▲", "●", "·".
std::string_view severity_glyph(Severity severity);

struct Recipe {
    std::string program;  // a name looked up on PATH, or a path
    std::vector<std::string> args;
    // Running it changes the system beyond vesk's own files (installs a package): the screen says
    // so before it runs.
    bool system = false;

    static Recipe make(std::string program, std::vector<std::string> args) {
        return Recipe{std::move(program), std::move(args), false};
    }
    bool operator==(const Recipe&) const = default;
};

struct NoAction {
    bool operator==(const NoAction&) const = default;
};
struct Mkdir {
    std::filesystem::path path;
    bool operator==(const Mkdir&) const = default;
};

// What a fix does: nothing (the user acts by hand), create a directory, or run a program.
struct Action {
    std::variant<NoAction, Mkdir, Recipe> what;

    // The shell line shown for the fix (and written into the JSON report), every word quoted as
    // the shell needs it so that the line works when pasted; nothing for NoAction.
    std::optional<std::string> line() const;
    bool operator==(const Action&) const = default;
};

struct Remedy {
    std::string text;  // what to do, one Korean sentence
    Action action;
};

struct Check {
    std::string_view group;  // "system", "config", "tmux", "install" or "features"
    std::string_view id;     // unique in a report: fixes and the screen find a check again by it
    Severity severity = Severity::Ok;
    std::string summary;
    std::optional<std::string> detail;
    std::optional<Remedy> remedy;

    Check with_detail(std::string text) && {
        detail = std::move(text);
        return std::move(*this);
    }
};

struct Report {
    std::vector<Check> checks;  // in the order they were made

    // The first check with exactly this id.
    const Check* find(std::string_view id) const;
    // The groups in the order of their first check.
    std::vector<std::string_view> groups() const;
    // How many checks have this severity.
    std::size_t count(Severity severity) const;
};

// What a path check demands of the path; the permission bits are read, never tried.
enum class PathKind { File, Executable, Directory, WritableDirectory };

}  // namespace vesk::doctor
