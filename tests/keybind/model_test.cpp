#include "keybind/model.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "keybind/kept_lines.hpp"
#include "keybind/bindings.hpp"
#include "support/private_env.hpp"

namespace vesk::keybind::model {
namespace {

using test::read_text;
using test::TempDir;
using test::write_text;

const std::string kHeader =
    "# vesk 설정 화면에서 바꾼 단축키입니다.\n"
    "# 직접 고쳐도 됩니다. 기본값 그대로인 항목은 여기에 적히지 않습니다.\n";

// 0 prefix x (Pane), 1 root M-y (윈도우), 2 prefix y (Pane), 3 copy-mode-vi v, 4 prefix z (윈도우).
EditSession small_session() {
    return session_from_bindings(source::parse("bind x kill-pane\n"
                                               "bind -n M-y new-window\n"
                                               "bind y split-window -h\n"
                                               "bind -T copy-mode-vi v send -X begin-selection\n"
                                               "bind z next-window\n",
                                               "c"),
                                 {});
}

const std::string& key_of(const EditSession& s, std::size_t i) { return *s.entries.at(i).current_key; }

TEST(KeybindModel, EntriesFromBindingsAndActions) {
    EditSession s = small_session();
    ASSERT_EQ(s.entries.size(), 5u);
    EXPECT_EQ(s.entries[2].info, (ActionInfo{"c:3", "Pane", "수직 분할", "split-window -h", "split-window -h",
                                             "prefix", "y"}));
    for (const Entry& e : s.entries) EXPECT_FALSE(e.changed()) << e.info.id;
    // Groups in order of first appearance.
    EXPECT_EQ(groups(s), (std::vector<Group>{{"Pane", {0, 2}}, {"윈도우", {1, 4}}, {"복사 모드", {3}}}));

    // The fragments as shipped give the session; an unreadable root falls back on the actions.
    TempDir dir;
    EditSession shipped = load_session_from(Defaults{dir.path(), true}, std::nullopt);
    EXPECT_EQ(shipped, session_from_bindings(load_bindings(Defaults{dir.path(), true}, RebuildProfile::Linux), {}));
    EXPECT_EQ(load_session_from(Defaults{dir / "nothing", false}, dir / "keybindings.conf"),
              session_from_actions(keybinding_actions(), {}));
}

TEST(KeybindModel, OperationsConflictsAndRestoringDefaults) {
    const EditSession s = small_session();
    const EditSession before = s;

    EditSession moved = with_key_at(s, 0, "C-x");
    EXPECT_TRUE(moved.entries[0].changed());
    EditSession removed = with_key_at(s, 0, std::nullopt);
    EXPECT_TRUE(!removed.entries[0].current_key && removed.entries[0].changed());
    // restore_default of an unchanged entry changes nothing; of a changed one (key, removal or
    // table), brings it back.
    EXPECT_EQ(restore_default(s, 3), s);
    EXPECT_EQ(restore_default(removed, 0), s);
    EditSession elsewhere = moved;
    elsewhere.entries[0].table = "root";
    EXPECT_EQ(restore_default(elsewhere, 0), s);
    // An index beyond the list changes nothing and never fails.
    EXPECT_EQ(restore_default(s, 99), s);
    EXPECT_EQ(assign_overwriting(s, 5, "x"), s);
    EXPECT_EQ(assign(s, 5, "x"), AssignOutcome(Assigned{s}));

    // Its own key is no conflict; a key another entry holds in another table neither.
    EXPECT_EQ(assign(s, 0, "x"), AssignOutcome(Assigned{s}));
    EXPECT_EQ(assign(s, 0, "M-y"), AssignOutcome(Assigned{with_key_at(s, 0, "M-y")}));
    // In the same table: the first such entry in list order; a removed binding holds no key.
    EditSession twice = with_key_at(s, 4, "y");
    EXPECT_EQ(assign(twice, 0, "y"), AssignOutcome(Conflict{"c:3", "수직 분할", "y", "prefix"}));
    EXPECT_EQ(conflict_for(twice, 2, "prefix", "y"), (Conflict{"c:5", "다음 창", "y", "prefix"}));
    EditSession freed = with_key_at(s, 2, std::nullopt);
    EXPECT_EQ(assign(freed, 0, "y"), AssignOutcome(Assigned{with_key_at(freed, 0, "y")}));

    // Overwriting takes the key away from every holder in the table: removed, not reset.
    EditSession taken = assign_overwriting(twice, 0, "y");
    EXPECT_EQ(key_of(taken, 0), "y");
    EXPECT_FALSE(taken.entries[2].current_key);
    EXPECT_FALSE(taken.entries[4].current_key);
    EXPECT_EQ(key_of(taken, 1), "M-y");
    EXPECT_EQ(overrides::render(save_entries(taken)),
              kHeader + "\n# pane 닫기\nbind-key y kill-pane\n\n# 수직 분할\nunbind y\n\n# 다음 창\nunbind z\n");
    EXPECT_EQ(s, before);
}

// keybindings.conf holds the user's work: no load path may make a later save drop any of it.
TEST(KeybindModel, SavingNeverLosesTheUsersLines) {
    TempDir dir;
    const auto path = dir / "vesk" / "keybindings.conf";
    const Defaults shipped{dir.path(), true};
    const Defaults broken{dir / "nothing", false};  // authoring mode without sources: no fragment

    // Rebind the first shipped binding and remove the second.
    EditSession s = load_session_from(shipped, path);
    const Entry first = s.entries[0], second = s.entries[1];
    s = with_key_at(with_key_at(s, 0, "F11"), 1, std::nullopt);
    save_session(path, s);
    const std::string from_fragments = read_text(path);

    // The user adds lines by hand: one for a binding the distribution does not have, a note.
    const std::string hand = "# 내 단축키\nbind-key -n M-F12 display-message 손으로\n\nset -g mouse on\n";
    write_text(path, from_fragments + "\n" + hand);

    // Without fragments the session falls back on the actions; what the user has for them shows...
    write_text(path, read_text(path) + "\nbind-key -n M-J run-shell \"#{@zelt}/bin/vesk tidewell project-select\"\n");
    EditSession fallback = load_session_from(broken, path);
    ASSERT_EQ(fallback.entries.size(), 23u);
    EXPECT_EQ(fallback.entries[9].info.id, "tidewell.project-select");
    EXPECT_EQ(key_of(fallback, 9), "M-J");

    // ...and saving it keeps the overrides of the fragment bindings and the hand-written lines.
    fallback = restore_default(with_key_at(fallback, 0, "C-q"), 9);
    save_session(path, fallback);
    const std::string after = read_text(path);
    EXPECT_NE(after.find("bind-key F11 " + first.info.command + "\n"), std::string::npos) << after;
    EXPECT_NE(after.find("unbind" + overrides::table_option(second.info.default_table) + " "), std::string::npos);
    EXPECT_NE(after.find(hand), std::string::npos) << after;
    EXPECT_EQ(after.find("M-J"), std::string::npos) << after;  // restored: its line is gone
    EXPECT_EQ(key_of(load_session_from(broken, path), 0), "C-q");

    // Back with the fragments, the user's changes are all still there.
    EditSession again = load_session_from(shipped, path);
    EXPECT_EQ(again.entries[0].current_key, "F11");
    EXPECT_EQ(again.entries[1].current_key, std::nullopt);

    // Saving the same session twice gives the same file.
    save_session(path, again);
    const std::string once = read_text(path);
    save_session(path, again);
    EXPECT_EQ(read_text(path), once);
    EXPECT_EQ(once.find(kHeader), 0u);
    EXPECT_EQ(once.find(kHeader, 1), std::string::npos);
    EXPECT_NE(once.find(hand), std::string::npos) << once;

    // The change made without fragments shows on the fragment binding of the same command.
    auto quillbox = std::find_if(again.entries.begin(), again.entries.end(), [](const Entry& e) {
        return e.info.command == keybinding_actions()[0].command;
    });
    ASSERT_NE(quillbox, again.entries.end());
    EXPECT_EQ(quillbox->current_key, "C-q");

    // Restoring every entry leaves only what the model does not stand for.
    for (std::size_t i = 0; i < again.entries.size(); ++i) again = restore_default(again, i);
    save_session(path, again);
    EXPECT_EQ(read_text(path), kHeader + "\n" + hand);
}

TEST(KeybindModel, SaveRefusesAFileItCannotRead) {
    TempDir dir;
    const auto path = dir / "keybindings.conf";
    // Bytes that are not UTF-8 gave no overrides on loading: every line of them is kept.
    const std::string odd = "bind-key q kill-pane \xff\n";
    write_text(path, odd);
    save_session(path, with_key_at(small_session(), 0, "C-x"));
    EXPECT_EQ(read_text(path), kHeader + "\n# pane 닫기\nbind-key C-x kill-pane\n\n" + odd);

    // A file that cannot be read is not replaced.
    ASSERT_EQ(::chmod(path.c_str(), 0200), 0);
    if (::access(path.c_str(), R_OK) != 0) EXPECT_ANY_THROW(save_session(path, small_session()));  // root reads anyway
    ::chmod(path.c_str(), 0600);
    EXPECT_NE(read_text(path).find(odd), std::string::npos);
}

}  // namespace
}  // namespace vesk::keybind::model
