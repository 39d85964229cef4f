#include "ui/screen.hpp"

#include <fcntl.h>
#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"
#include "ui/true_colour.hpp"

// Last: term.h defines macros with everyday names (lines, columns...).
#include <ncursesw/curses.h>
#include <ncursesw/term.h>

namespace vesk::ui {

namespace {

struct Rgb {
    int r, g, b;
};

// The usual xterm values of the sixteen terminal colours.
constexpr Rgb basic[16] = {{0, 0, 0},       {205, 0, 0},     {0, 205, 0},     {205, 205, 0},
                           {0, 0, 238},     {205, 0, 205},   {0, 205, 205},   {229, 229, 229},
                           {127, 127, 127}, {255, 0, 0},     {0, 255, 0},     {255, 255, 0},
                           {92, 92, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

constexpr int cube_levels[6] = {0x00, 0x5f, 0x87, 0xaf, 0xd7, 0xff};

int dist(Rgb a, Rgb b) { return (a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b); }

int to_cube(int v) { return v < 48 ? 0 : v < 114 ? 1 : (v - 35) / 40; }

// The nearest entry of the 6x6x6 cube or the grey ramp of a 256-colour palette.
int nearest_256(Rgb c) {
    int qr = to_cube(c.r), qg = to_cube(c.g), qb = to_cube(c.b);
    Rgb cube{cube_levels[qr], cube_levels[qg], cube_levels[qb]};
    int cube_index = 16 + 36 * qr + 6 * qg + qb;
    if (cube.r == c.r && cube.g == c.g && cube.b == c.b) return cube_index;
    int avg = (c.r + c.g + c.b) / 3;
    int grey_index = avg > 238 ? 23 : (avg - 3) / 10;
    if (grey_index < 0) grey_index = 0;
    int grey = 8 + 10 * grey_index;
    if (dist(Rgb{grey, grey, grey}, c) < dist(cube, c)) return 232 + grey_index;
    return cube_index;
}

int nearest_basic(Rgb c, int count) {
    int best = 0;
    for (int i = 1; i < count; ++i)
        if (dist(basic[i], c) < dist(basic[best], c)) best = i;
    return best;
}

Rgb rgb_of_index(int i) {
    if (i < 16) return basic[i];
    if (i < 232) {
        int n = i - 16;
        return Rgb{cube_levels[n / 36], cube_levels[(n / 6) % 6], cube_levels[n % 6]};
    }
    int grey = 8 + 10 * (i - 232);
    return Rgb{grey, grey, grey};
}

// Hangul needs a UTF-8 locale in ncursesw; when the environment names none, take C.UTF-8.
void use_utf8_locale() {
    std::setlocale(LC_ALL, "");
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || std::strcmp(codeset, "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}

// ncurses on `type`; on a terminal that shows RGB while its entry knows only a palette, on a copy
// of the entry that sends RGB (see true_colour.hpp), read from a private directory named by
// TERMINFO for as long as ncurses reads it. Whatever goes wrong there leaves the palette.
SCREEN* open_terminal(const std::string& type, int fd, std::FILE* out, std::FILE* in) {
    std::optional<std::string> entry;
    int status = 0;
    if (setupterm(const_cast<char*>(type.c_str()), fd, &status) == OK) {
        const int colours = tigetnum(const_cast<char*>("colors"));
        if (colours >= 8 && colours < (1 << 24) &&
            wants_true_colour(env_var("COLORTERM"), tigetflag(const_cast<char*>("RGB")) > 0,
                              tigetflag(const_cast<char*>("Tc")) > 0))
            entry = direct_colour_entry();
        del_curterm(cur_term);
    }
    if (entry) {
        try {
            PrivateTempDir dir("vesk-terminfo");
            // ncurses looks under the name's first letter, or under its code in hexadecimal where
            // file names ignore case (macOS).
            static_assert(kDirectColourTerm[0] == 'v');
            for (const char* leaf : {"v", "76"}) {
                std::filesystem::create_directory(dir.path() / leaf);
                const std::filesystem::path file = dir.path() / leaf / kDirectColourTerm;
                const int out_fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                if (out_fd < 0) throw_errno(file.string());
                write_and_close(out_fd, *entry);
            }
            const std::optional<std::string> saved = env_var("TERMINFO");
            set_env_var("TERMINFO", dir.path().string());
            SCREEN* s = newterm(const_cast<char*>(kDirectColourTerm), out, in);
            // Children started from the screen (a doctor's fix) find the user's terminals again.
            if (saved) set_env_var("TERMINFO", *saved); else unset_env_var("TERMINFO");
            if (s != nullptr) return s;
        } catch (const std::exception&) {
        }
    }
    return newterm(const_cast<char*>(type.c_str()), out, in);
}

}  // namespace

int palette_colour(Color c, int colors, bool direct) {
    switch (c.kind) {
    case Color::Kind::Default: return -1;
    case Color::Kind::Indexed: {
        const Rgb v = rgb_of_index(c.index);
        const Color as_rgb = Color::rgb(static_cast<uint8_t>(v.r), static_cast<uint8_t>(v.g), static_cast<uint8_t>(v.b));
        // A direct-colour terminal reads every number from 8 up as RGB (8 is 0x000008, black): the
        // rest of the palette goes as the colour xterm gives it.
        if (direct && c.index >= 8) return palette_colour(as_rgb, colors, true);
        if (c.index < colors) return c.index;
        if (colors <= 0) return -1;
        // Bright colours on an eight-colour terminal: their plain variant; dark grey as grey,
        // since black would vanish on the usual dark background.
        if (c.index < 16 && colors >= 8) return c.index == 8 ? 7 : c.index - 8;
        return palette_colour(as_rgb, colors, false);
    }
    case Color::Kind::Rgb: {
        Rgb v{c.r, c.g, c.b};
        // Below 8 a direct-colour number is a basic colour (1 is red): near-black goes as 0x000008.
        if (direct) return std::max((c.r << 16) | (c.g << 8) | c.b, 8);
        if (colors >= 256) return nearest_256(v);
        if (colors >= 8) return nearest_basic(v, colors >= 16 ? 16 : 8);
        return -1;
    }
    }
    return -1;
}

Screen::Screen(const TerminalGuard& guard) : fd_(guard.fd()), reader_(guard.fd(), true) {
    use_utf8_locale();
    // Close-on-exec: a fix or job started from the screen must not hold the terminal, which it
    // could write into after the screen has gone.
    int out_fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    int in_fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (out_fd >= 0) out_ = ::fdopen(out_fd, "w");
    if (in_fd >= 0) in_ = ::fdopen(in_fd, "r");
    if (out_ == nullptr || in_ == nullptr) {
        int e = errno;
        if (out_) std::fclose(out_); else if (out_fd >= 0) ::close(out_fd);
        if (in_) std::fclose(in_); else if (in_fd >= 0) ::close(in_fd);
        throw SystemError(e);
    }
    std::string type = env_non_empty("TERM").value_or("xterm-256color");
    SCREEN* s = open_terminal(type, fd_, out_, in_);
    if (s == nullptr) s = newterm("xterm", out_, in_);
    if (s == nullptr) {
        std::fclose(out_);
        std::fclose(in_);
        throw Error("터미널을 열지 못했습니다: " + type);
    }
    screen_ = s;
    set_term(s);
    raw();
    noecho();
    nonl();
    // The keys are read by our own reader: ncurses must neither wait for them nor cut frames short.
    typeahead(-1);
    set_escdelay(25);
    curs_set(0);
    leaveok(stdscr, TRUE);
    if (has_colors()) {
        start_color();
        use_default_colors();
        direct_colour_ = tigetflag(const_cast<char*>("RGB")) > 0 && COLORS >= 0x1000000;
    }
}

Screen::~Screen() {
    if (screen_ != nullptr) {
        set_term(static_cast<SCREEN*>(screen_));
        endwin();
        delscreen(static_cast<SCREEN*>(screen_));
    }
    if (out_) std::fclose(out_);
    if (in_) std::fclose(in_);
}

Rect Screen::size() {
    winsize ws{};
    if (::ioctl(fd_, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0 &&
        (ws.ws_row != LINES || ws.ws_col != COLS)) {
        resizeterm(ws.ws_row, ws.ws_col);
        clearok(curscr, TRUE);
    }
    return Rect{0, 0, static_cast<uint16_t>(COLS > 0 ? COLS : 0), static_cast<uint16_t>(LINES > 0 ? LINES : 0)};
}

void Screen::draw(const std::function<void(Buffer&)>& paint) {
    Buffer buffer(size());
    paint(buffer);
    show(buffer);
}

void Screen::show(const Buffer& buffer) {
    const Rect area = buffer.area().intersection(Rect{0, 0, static_cast<uint16_t>(COLS), static_cast<uint16_t>(LINES)});
    const int colors = has_colors() ? COLORS : 0;
    for (uint16_t y = area.y; y < area.bottom(); ++y) {
        for (uint16_t x = area.x; x < area.right(); ++x) {
            const Cell& cell = buffer.at(x, y);
            if (cell.symbol.empty()) continue;  // covered by the wide character to its left
            std::u32string chars = decode_utf8(cell.symbol);
            wchar_t text[CCHARW_MAX + 1] = {};
            for (size_t i = 0; i < chars.size() && i < CCHARW_MAX; ++i) text[i] = static_cast<wchar_t>(chars[i]);
            if (text[0] == 0) text[0] = L' ';
            attr_t attrs = A_NORMAL;
            if (cell.style.bold) attrs |= A_BOLD;
            if (cell.style.dim) attrs |= A_DIM;
            if (cell.style.underline) attrs |= A_UNDERLINE;
            if (cell.style.reverse) attrs |= A_REVERSE;
            int pair = 0;
            if (colors > 0 && (!cell.style.fg.is_default() || !cell.style.bg.is_default())) {
                int fg = palette_colour(cell.style.fg, colors, direct_colour_);
                int bg = palette_colour(cell.style.bg, colors, direct_colour_);
                pair = alloc_pair(fg, bg);
                if (pair < 0) pair = 0;
            }
            cchar_t cc;
            setcchar(&cc, text, attrs, 0, &pair);
            // The bottom-right cell reports an error (the cursor cannot move past it) but is drawn.
            mvwadd_wch(stdscr, y, x, &cc);
        }
    }
    wnoutrefresh(stdscr);
    doupdate();
}

std::optional<Event> Screen::next_event(std::optional<std::chrono::milliseconds> timeout) {
    return reader_.next(timeout);
}

void run_full_screen(const std::function<void(Screen&)>& body) {
    // The screen goes before the guard, so the alternate screen and raw mode end last; on an
    // error the destructors give the terminal back all the same.
    TerminalGuard guard = TerminalGuard::enter();
    std::optional<Screen> screen(std::in_place, guard);
    body(*screen);
    screen.reset();
    guard.leave();
}

}  // namespace vesk::ui
