#include "core/folder_walk.hpp"

#include <gtest/gtest.h>

#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

// A walk far deeper than the folders it keeps open, each level reached through a link from a
// folder elsewhere: on the way back up every closed folder is opened again by its path and its
// listing taken up where it was left, so no entry after a deep one is lost.
TEST(FolderWalk, ClosedFoldersAreTakenUpAgainOnTheWayBack) {
    TempDir dir;
    constexpr int kLevels = 200;
    for (int i = 0; i < kLevels; ++i) {
        const fs::path level = dir / ("n" + std::to_string(i));
        write_text(level / "f", "");
        if (i + 1 < kLevels) fs::create_directory_symlink("../n" + std::to_string(i + 1), level / "next");
    }
    FolderWalk walk(dir / "n0");
    int files = 0;
    while (walk.next()) {
        if (walk.kind() == FolderWalk::Kind::File) ++files;
        if (walk.kind() == FolderWalk::Kind::Folder) ASSERT_TRUE(walk.enter()) << walk.entry_path();
    }
    EXPECT_EQ(files, kLevels);
}
