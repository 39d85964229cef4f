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

    // A link planted under the predictable state-file name is not followed.
    EnvGuard env;
    env.set("TMPDIR", dir.path().string());
    write_text(dir / "victim", "precious");
    fs::create_symlink(dir / "victim", dir / ("planted-" + std::to_string(::getpid())));
    EXPECT_THROW(temp_state_file("planted", "oops"), SystemError);
    EXPECT_EQ(read_text(dir / "victim"), "precious");
}
