// When the screens send RGB, and the terminfo copy through which ncurses sends it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <map>

#include "support/private_env.hpp"
#include "ui/true_colour.hpp"

// Last: term.h defines macros with everyday names.
#include <ncursesw/curses.h>
#include <ncursesw/term.h>

using namespace vesk;
using namespace vesk::test;

namespace {

char* cap(const char* name) { return const_cast<char*>(name); }

// Every standard capability of the current terminal, as text.
std::map<std::string, std::string> capabilities() {
    std::map<std::string, std::string> caps;
    for (int i = 0; boolnames[i]; ++i) caps[boolnames[i]] = std::to_string(tigetflag(cap(boolnames[i])));
    for (int i = 0; numnames[i]; ++i) caps[numnames[i]] = std::to_string(tigetnum(cap(numnames[i])));
    for (int i = 0; strnames[i]; ++i) {
        const char* s = tigetstr(cap(strnames[i]));
        caps[std::string("str:") + strnames[i]] = s ? std::string(s) : "(absent)";
    }
    return caps;
}

}  // namespace

TEST(TrueColour, ColortermOrTheEntrySaysSo) {
    EXPECT_TRUE(ui::wants_true_colour("truecolor", false, false));
    EXPECT_TRUE(ui::wants_true_colour("24bit", false, false));
    EXPECT_TRUE(ui::wants_true_colour(std::nullopt, true, false));
    EXPECT_TRUE(ui::wants_true_colour(std::nullopt, false, true));
    EXPECT_FALSE(ui::wants_true_colour(std::nullopt, false, false));
    EXPECT_FALSE(ui::wants_true_colour("", false, false));
    EXPECT_FALSE(ui::wants_true_colour("256", false, false));
}

TEST(TrueColour, TheCopyKeepsTheEntryButSendsRgb) {
    int status = 0;
    ASSERT_EQ(setupterm(cap("xterm-256color"), -1, &status), OK);
    std::map<std::string, std::string> original = capabilities();
    const std::optional<std::string> entry = ui::direct_colour_entry();
    del_curterm(cur_term);
    ASSERT_TRUE(entry);

    TempDir dir;
    fs::create_directory(dir / "v");
    write_text(dir / "v" / ui::kDirectColourTerm, *entry);
    EnvGuard env;
    env.set("TERMINFO", dir.path().string());
    ASSERT_EQ(setupterm(cap(ui::kDirectColourTerm), -1, &status), OK);
    std::map<std::string, std::string> copy = capabilities();
    EXPECT_EQ(tigetflag(cap("RGB")), 1);
    const std::string navy = tiparm(tigetstr(cap("setab")), 0x2f334d);
    const std::string red = tiparm(tigetstr(cap("setaf")), 1);
    del_curterm(cur_term);

    EXPECT_EQ(navy, "\x1b[48;2;47;51;77m");
    EXPECT_EQ(red, "\x1b[31m");
    EXPECT_EQ(copy["colors"], std::to_string(1 << 24));
    for (const char* changed : {"colors", "str:setaf", "str:setab"}) {
        original.erase(changed);
        copy.erase(changed);
    }
    EXPECT_EQ(copy, original);
}
