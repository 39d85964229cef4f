// Drawing of the doctor screen: the counts over the list, the rows inside the list screen's frame,
// and the overlay of one check with its fix. Every text that comes from a check, a fix or its log
// goes through show_controls: a program's answer may hold escape sequences.
#include <algorithm>
#include <string>

#include "core/text.hpp"
#include "doctor/app.hpp"
#include "ui/screen_width.hpp"
#include "ui/widgets.hpp"

namespace vesk::doctor::app {

namespace {

using namespace ui::palette;
using ui::Line;
using ui::Style;

constexpr ui::Color kOk = ui::Color::rgb(135, 217, 108);
constexpr std::size_t kGroupColumn = 9;
// Marker 4, glyph 2, group 9 and three gaps of 2.
constexpr std::size_t kFixedColumns = 21;
constexpr const char* kSpinner[4] = {"⠋", "⠙", "⠹", "⠸"};

std::size_t minus(std::size_t a, std::size_t b) { return a > b ? a - b : 0; }

ui::Color colour(Severity severity) {
    switch (severity) {
    case Severity::Ok: return kOk;
    case Severity::Warn: return kOrange;
    case Severity::Error: return kWarning;
    case Severity::Skip: return kDim;
    }
    return kDim;
}

Style dim() { return Style{}.with_fg(kDim); }
Style dim_bold() { return dim().with_bold(); }

std::string fitted(std::string_view text, std::size_t width) { return ui::fit_width(ui::show_controls(text), width); }

Line heading(std::string_view text) {
    Line line("  ");
    line.add(std::string(text), dim_bold());
    return line;
}

Line severity_line(Severity severity) {
    Line line("  ");
    line.add(std::string(severity_glyph(severity)), Style{}.with_fg(colour(severity)).with_bold());
    line.add(" ");
    line.add(std::string(severity_screen_label(severity)), Style{}.with_fg(colour(severity)));
    return line;
}

Line row_line(const Row& row, const Report& report, Columns columns, bool cursor) {
    Line line;
    if (row.kind == Row::Kind::Blank) return line;
    ui::add_marker(line, cursor);
    if (row.kind == Row::Kind::Group) {
        line.add(ui::pad_width(severity_glyph(Severity::Ok), 2), Style{}.with_fg(kOk));
        line.add("  ");
        line.add(ui::cell(fitted(row.group, kGroupColumn), kGroupColumn), dim());
        line.add("  ");
        line.add(ui::pad_width(std::to_string(row.ok_count) + "개 정상", columns.id), dim());
        if (cursor) {
            line.add("  ");
            line.add(ui::fit_width("Enter로 펼칩니다", columns.summary), dim());
        }
        return line;
    }
    const Check& check = report.checks[row.index];
    const Style emphasis = cursor ? Style{}.with_bold() : Style{};
    line.add(ui::pad_width(severity_glyph(check.severity), 2), Style{}.with_fg(colour(check.severity)).with_bold());
    line.add("  ");
    line.add(ui::cell(fitted(check.group, kGroupColumn), kGroupColumn), dim());
    line.add("  ");
    line.add(ui::cell(fitted(check.id, columns.id), columns.id), emphasis);
    line.add("  ");
    line.add(fitted(check.summary, columns.summary), check.severity == Severity::Ok ? dim() : emphasis);
    return line;
}

// The counts of each severity, problems first; with everything shown, a note of it at the right.
Line header(const App& app, std::size_t width) {
    Line line(" ");
    for (Severity severity : {Severity::Error, Severity::Warn, Severity::Ok, Severity::Skip}) {
        const std::size_t n = app.report.count(severity);
        const Style strong = n > 0 ? Style{}.with_fg(colour(severity)).with_bold() : dim();
        line.add("  ");
        line.add(std::string(severity_glyph(severity)), strong);
        line.add(" ");
        line.add(std::to_string(n), strong);
        line.add(" ");
        line.add(std::string(severity_screen_label(severity)), n > 0 ? Style{} : dim());
    }
    if (app.show_all) {
        const std::string note = "모두 보는 중";
        line.add(std::string(minus(width, line.width() + 2 + ui::screen_width(note)), ' '));
        line.add(note, dim());
        line.add(" ");
    }
    return line;
}

Line footer(std::size_t width) {
    return ui::key_hints({{"↑↓", "이동"}, {"Enter", "자세히"}, {"a", "모두 보기"}, {"^R", "다시 검사"}, {"Esc", "닫기"}},
                         width, ui::HintLook{2, dim_bold(), 2});
}

void add_all(std::vector<Line>& to, std::vector<Line> lines) {
    to.insert(to.end(), std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
}

void detail_lines(std::vector<Line>& lines, const Check& check, std::size_t text_width) {
    add_all(lines, paragraph(check.summary, text_width, Style{}));
    if (check.detail) {
        lines.emplace_back("");
        lines.push_back(heading("까닭"));
        add_all(lines, paragraph(*check.detail, text_width, dim()));
    }
    if (!check.remedy) return;
    lines.emplace_back("");
    lines.push_back(heading("조치"));
    add_all(lines, paragraph(check.remedy->text, text_width, Style{}));
    const std::optional<std::string> command = check.remedy->action.line();
    if (!command) return;
    lines.emplace_back("");
    lines.push_back(heading("실행할 명령"));
    add_all(lines, paragraph(*command, text_width, Style{}.with_fg(kAccent)));
    const auto* recipe = std::get_if<Recipe>(&check.remedy->action.what);
    Line note("  ");
    note.add(recipe && recipe->system ? "시스템을 바꿉니다" : "vesk 안에서 끝나는 일입니다", dim());
    lines.push_back(std::move(note));
}

void log_lines(std::vector<Line>& lines, const std::vector<std::string>& log, std::size_t text_width) {
    if (log.empty()) return;
    lines.emplace_back("");
    for (const std::string& l : log) lines.push_back(Line("  ").add(fitted(l, text_width), dim()));
}

void done_lines(std::vector<Line>& lines, const Done& done, std::size_t text_width) {
    Line first("  ");
    if (done.outcome.ok) first.add("✔", Style{}.with_fg(kOk).with_bold());
    else first.add("✘", Style{}.with_fg(kWarning).with_bold());
    first.add("  ");
    first.add(fitted(done.outcome.message, minus(text_width, 3)), Style{}.with_bold());
    lines.push_back(std::move(first));
    log_lines(lines, done.outcome.lines, text_width);
    // A check that is gone after the re-check has no new state to show; its fix's outcome still shows.
    if (!done.severity) return;
    lines.emplace_back("");
    lines.push_back(heading("다시 검사했습니다"));
    lines.push_back(severity_line(*done.severity));
}

Line hint_line(const App& app, const Check* check) {
    Line line("  ");
    const auto key = [&](const char* k, const char* label) {
        line.add(k, dim_bold());
        line.add(label, dim());
    };
    if (running(app)) {
        key("^C", " 화면을 닫아도 하던 일은 끝까지 갑니다");
        return line;
    }
    const bool problem = check && std::holds_alternative<Detail>(app.mode) && is_problem(check->severity);
    if (problem && runnable_fix(app, check->id)) {
        key("Enter", " 지금 실행");
        line.add("   ", dim());
    } else if (problem) {
        line.add("이 조치는 직접 하셔야 합니다   ", dim());
    }
    key("Esc", " 닫기");
    return line;
}

void draw_overlay(const App& app, ui::Buffer& buffer) {
    std::string_view id;
    if (const auto* detail = std::get_if<Detail>(&app.mode)) id = detail->id;
    else if (const auto* run = std::get_if<Running>(&app.mode)) id = run->id;
    else if (const auto* done = std::get_if<Done>(&app.mode)) id = done->id;
    else return;
    const Check* check = app.report.find(id);
    const auto* done = std::get_if<Done>(&app.mode);
    if (!check && !done) return;

    const std::size_t width = overlay_width(buffer.area().width);
    const std::size_t text_width = minus(width, 4);
    std::vector<Line> lines;
    lines.emplace_back("");
    Line title = check ? severity_line(check->severity) : Line("  ");
    if (check) title.add("   ");
    title.add(ui::show_controls(id), dim());
    lines.push_back(std::move(title));
    lines.emplace_back("");

    ui::Color border = kAccent;
    if (const auto* run = std::get_if<Running>(&app.mode)) {
        Line spin("  ");
        spin.add(kSpinner[app.tick % 4], Style{}.with_fg(kAccent));
        spin.add("  ");
        spin.add("하는 중입니다", Style{}.with_bold());
        lines.push_back(std::move(spin));
        log_lines(lines, run->lines, text_width);
    } else if (done) {
        done_lines(lines, *done, text_width);
        border = !done->outcome.ok ? kWarning : done->severity ? colour(*done->severity) : kOk;
    } else {
        detail_lines(lines, *check, text_width);
        border = colour(check->severity);
    }
    lines.emplace_back("");
    lines.push_back(hint_line(app, check));
    ui::draw_overlay(buffer, buffer.area(),
                     {static_cast<std::uint16_t>(width), Line(" " + ui::show_controls(id) + " ", Style{}.with_bold()),
                      Style{}.with_fg(border), std::move(lines)});
}

}  // namespace

Columns columns_for(std::size_t width, std::size_t id_width) {
    if (minus(width, id_width + kFixedColumns) > 15) return {id_width, width - id_width - kFixedColumns};
    const std::size_t id = width >= 38 ? std::min(id_width, width - 37) : 1;
    return {id, std::max<std::size_t>(1, minus(width, id + kFixedColumns))};
}

std::vector<Line> paragraph(std::string_view text, std::size_t width, Style style) {
    std::vector<std::string> done;
    std::string line;
    std::size_t used = 0;
    const auto finish = [&] {
        done.push_back(std::move(line));
        line.clear();
        used = 0;
    };
    const auto place = [&](const std::string& word) {
        const std::string shown = ui::show_controls(word);
        const std::size_t w = ui::screen_width(shown);
        if (!line.empty() && used + 1 + w > width) finish();
        if (w > width) {
            // Broken where the line is full; a line always takes at least one character.
            for (char32_t c : decode_utf8(shown)) {
                const auto cw = static_cast<std::size_t>(ui::screen_char_width(c));
                if (!line.empty() && used + cw > width) finish();
                append_utf8(line, c);
                used += cw;
            }
            return;
        }
        if (!line.empty()) {
            line += ' ';
            ++used;
        }
        line += shown;
        used += w;
    };
    std::string word;
    for (char32_t c : decode_utf8(text)) {
        if (!is_unicode_space(c)) {
            append_utf8(word, c);
        } else if (!word.empty()) {
            place(word);
            word.clear();
        }
    }
    if (!word.empty()) place(word);
    if (!line.empty() || done.empty()) finish();
    std::vector<Line> lines;
    lines.reserve(done.size());
    for (std::string& l : done) lines.push_back(Line("  ").add(std::move(l), style));
    return lines;
}

std::size_t overlay_width(std::size_t frame_width) {
    return std::min(frame_width, std::min<std::size_t>(74, frame_width > 51 ? frame_width * 4 / 5 : 40));
}

void draw(App& app, ui::Buffer& buffer) {
    const auto lines = [&](std::size_t width) {
        const Columns columns = columns_for(width, app.id_width);
        std::vector<Line> out;
        out.reserve(app.rows.size());
        for (std::size_t i = 0; i < app.rows.size(); ++i)
            out.push_back(row_line(app.rows[i], app.report, columns, i == app.selected));
        return out;
    };
    ui::ListLook look{" Doctor ", lines, {}, footer};
    look.header = [&](std::size_t width) { return header(app, width); };
    look.border = dim();
    look.title_style = Style{}.with_bold();
    ui::draw_list_screen(app, buffer, look);
    draw_overlay(app, buffer);
}

}  // namespace vesk::doctor::app
