#include "ui/select.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <iterator>

#include <fmt/format.h>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"
#include "ui/screen.hpp"

namespace vesk {

SelectState select_start(std::string prompt, std::vector<std::string> entries, const std::optional<std::string>& initial) {
    SelectState state{std::move(prompt), std::move(entries), {}};
    std::size_t start = 0;
    if (initial) {
        for (std::size_t i = 0; i < state.entries.size(); ++i)
            if (state.entries[i] == *initial) {
                start = i;
                break;
            }
    }
    state.list.selected = start;
    return state;
}

SelectStep select_handle(SelectState state, const ui::Key& key) {
    using ui::KeyCode;
    SelectStep step{std::move(state), SelectResult::Pending};
    std::size_t sel = step.state.selected();
    switch (key.code) {
    case KeyCode::Enter: step.result = SelectResult::Chosen; break;
    case KeyCode::Esc: step.result = SelectResult::Cancelled; break;
    case KeyCode::Up:
        if (sel > 0) step.state.list.selected = sel - 1;
        break;
    case KeyCode::Down:
        if (sel + 1 < step.state.entries.size()) step.state.list.selected = sel + 1;
        break;
    case KeyCode::Char:
        if (key.ch == U'q' && !key.ctrl && !key.alt) step.result = SelectResult::Cancelled;
        break;
    default: break;
    }
    return step;
}

void select_draw(SelectState& state, ui::Buffer& buffer) {
    using namespace ui;
    // A question longer than the screen is wide wraps, so it is read whole before it is answered;
    // the list box below keeps room for one entry (three rows with its frame).
    const Rect area = buffer.area();
    std::vector<std::string> prompt = wrap_message(state.prompt, std::max<std::int64_t>(1, area.width - 2));
    if (prompt.empty()) prompt.emplace_back();
    const std::size_t room = area.height > 5 ? area.height - 5u : 1u;
    prompt.resize(std::min(prompt.size(), room));
    const auto prompt_rows = static_cast<std::uint16_t>(prompt.size() + 2);
    std::vector<Rect> parts = split_vertical(area, {Constraint::length(prompt_rows), Constraint::min(1)});
    Block frame{Borders::All, Style{}, Line{}};
    frame.render(buffer, parts[0]);
    render_lines(buffer, frame.inner(parts[0]), std::vector<Line>(prompt.begin(), prompt.end()));
    frame.render(buffer, parts[1]);
    std::vector<Line> rows(state.entries.begin(), state.entries.end());
    render_list(buffer, frame.inner(parts[1]), rows, state.list, Style{}.with_reverse());
}

std::optional<std::string> ui_select(const std::string& prompt, const std::vector<std::string>& entries,
                                     const std::optional<std::string>& initial) {
    if (entries.empty()) return std::nullopt;
    SelectState state = select_start(prompt, entries, initial);
    std::optional<std::string> chosen;
    // A terminal that cannot be given back is an error, and the choice is dropped with it.
    ui::run_full_screen([&](ui::Screen& screen) {
        while (true) {
            screen.draw([&](ui::Buffer& buffer) { select_draw(state, buffer); });
            std::optional<ui::Event> event = screen.next_event();
            if (!event || event->type != ui::Event::Type::Key) continue;
            SelectStep step = select_handle(std::move(state), event->key);
            state = std::move(step.state);
            if (step.result == SelectResult::Chosen) {
                chosen = state.entries[state.selected()];
                return;
            }
            if (step.result == SelectResult::Cancelled) return;
        }
    });
    return chosen;
}

std::vector<std::string> select_items(std::string_view text) {
    std::vector<std::string> items;
    for (std::string& line : split_lines(text)) {
        if (!is_blank(line)) items.push_back(std::move(line));
    }
    return items;
}

namespace {

// A list for the selector is a screenful or a few hundred lines; a source that runs past this
// (/dev/zero, `yes |`) would otherwise be read until memory runs out.
constexpr std::size_t kItemsLimit = kReadLimit;

// The source read whole, up to kItemsLimit; `name` names it in errors.
std::string read_items(int fd, const std::string& name) {
    try {
        return read_all(fd, kItemsLimit);
    } catch (const SystemError& e) {
        if (e.code == EFBIG)
            throw Error(fmt::format("입력이 {} MiB를 넘어 읽기를 멈췄습니다 ({})", kItemsLimit >> 20, name));
        throw SystemError(e.code, name);
    }
}

// The named source is read whole, whatever it is: scripts hand their list over as a file as often
// as through a pipe (`--items-from <(...)`), and /dev/null is the empty list. A writer that never
// comes keeps the command waiting, as it would on its standard input.
std::string read_source(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw_errno(path);
    std::string text;
    try {
        text = read_items(fd, path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return text;
}

}  // namespace

void ui_select_command(const UiSelectArgs& args) {
    std::string text =
        !args.items_from || *args.items_from == "-" ? read_items(STDIN_FILENO, "표준 입력") : read_source(*args.items_from);
    if (!is_valid_utf8(text)) throw Error("stream did not contain valid UTF-8");
    std::optional<std::string> chosen = ui_select(args.prompt, select_items(text), std::nullopt);
    if (!chosen) return;
    std::fwrite(chosen->data(), 1, chosen->size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) throw_errno();
}

}  // namespace vesk
