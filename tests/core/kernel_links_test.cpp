#include "core/kernel_links.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

// /proc's per-process links are refused wherever they stand on the way, with openat2 and by hand
// alike; ordinary links, also to another folder, still lead where they point.
TEST(KernelLinks, PerProcessLinksAreRefusedOrdinaryLinksFollowed) {
    TempDir dir;
    write_text(dir / "elsewhere" / "f.md", "f\n");
    fs::create_directories(dir / "v");
    fs::create_directory_symlink(dir / "elsewhere", dir / "v" / "other");
    fs::create_symlink("other/f.md", dir / "v" / "f.md");
    plant_proc_links(dir / "v");
    fs::create_symlink("selfroot/etc/passwd", dir / "v" / "passwd");
    for (auto open : {open_without_magic_links, open_without_magic_links_by_hand}) {
        for (const fs::path& refused : {dir / "v" / "selfroot", dir / "v" / "passwd", dir / "v" / "passwd.md",
                                        fs::path("/proc/self/cwd/x")}) {
            errno = 0;
            EXPECT_EQ(open(AT_FDCWD, refused.c_str(), O_RDONLY | O_CLOEXEC), -1) << refused;
            EXPECT_EQ(errno, ELOOP) << refused;
        }
        for (const fs::path& followed : {dir / "v" / "f.md", dir / "v" / "other" / ".." / "elsewhere" / "f.md"}) {
            const int fd = open(AT_FDCWD, followed.c_str(), O_RDONLY | O_CLOEXEC);
            EXPECT_GE(fd, 0) << followed;
            if (fd >= 0) ::close(fd);
        }
        EXPECT_EQ(open(AT_FDCWD, (dir / "v" / "missing").c_str(), O_RDONLY | O_CLOEXEC), -1);
        EXPECT_EQ(errno, ENOENT);
    }
    EXPECT_TRUE(reaches_kernel_trees(dir / "v" / "environ.md"));
    EXPECT_TRUE(reaches_kernel_trees(dir / "v" / "passwd.md"));
    EXPECT_FALSE(reaches_kernel_trees(dir / "v" / "f.md"));
    EXPECT_FALSE(reaches_kernel_trees(dir / "v" / "missing"));
}
