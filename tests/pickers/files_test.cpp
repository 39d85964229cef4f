#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/error.hpp"
#include "pickers/list_files.hpp"
#include "pickers/state_files.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

TEST(PickerFiles, TouchMoveToBottomAndStateFiles) {
    TempDir dir;
    auto file = dir / "f";
    write_text(file, "content");
    timespec old_times[2] = {{1000000, 0}, {1000000, 0}};
    ::utimensat(AT_FDCWD, file.c_str(), old_times, 0);
    touch(file);
    struct stat st;
    ::stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000);
    EXPECT_EQ(read_text(file), "content");
    touch(dir / "new");
    EXPECT_EQ(fs::file_size(dir / "new"), 0u);

    write_text(dir / "fav", "x\n/a\ny\n/a\n");
    move_line_to_bottom(dir / "fav", "/a");
    EXPECT_EQ(read_text(dir / "fav"), "x\ny\n/a\n");
    // Compared trimmed on both sides; the other lines stay as written. Rewritten whole: through a
    // link to the real list, keeping its permission bits, no temporary file left.
    fs::create_directories(dir / "dotfiles");
    write_text(dir / "dotfiles" / "fav", "~/src\n\n  /opt  \n ~/src \n");
    ::chmod((dir / "dotfiles" / "fav").c_str(), 0640);
    fs::create_symlink(dir / "dotfiles" / "fav", dir / "linked");
    move_line_to_bottom(dir / "linked", "~/src  ");
    EXPECT_TRUE(fs::is_symlink(dir / "linked"));
    EXPECT_EQ(read_text(dir / "dotfiles" / "fav"), "\n  /opt  \n~/src\n");
    struct stat list_stat;
    ::stat((dir / "dotfiles" / "fav").c_str(), &list_stat);
    EXPECT_EQ(list_stat.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "dotfiles"), fs::directory_iterator()), 1);
    EXPECT_THROW(move_line_to_bottom(dir / "none", "/a"), std::exception);

    // A link planted under the predictable state-file name is not followed.
    EnvGuard env;
    env.set("TMPDIR", dir.path().string());
    write_text(dir / "victim", "precious");
    fs::create_symlink(dir / "victim", dir / ("planted-" + std::to_string(::getpid())));
    EXPECT_THROW(temp_state_file("planted", "oops"), Error);
    EXPECT_EQ(read_text(dir / "victim"), "precious");
}
