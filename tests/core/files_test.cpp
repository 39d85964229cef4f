#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "core/error.hpp"
#include "core/files.hpp"
#include "env_guard.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using vesk::test::EnvGuard;
using vesk::test::TempDir;
using vesk::test::read_text;
using vesk::test::write_text;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> names_in(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(WriteFileAtomically, CreatesParentsAndReplacesWhole) {
    TempDir dir;
    auto target = dir / "a" / "b" / "conf";
    write_file_atomically(target, "one\n");
    EXPECT_EQ(read_text(target), "one\n");
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    ::chmod(target.c_str(), 0644);
    write_file_atomically(target, "한국어\n");
    EXPECT_EQ(read_text(target), "한국어\n");
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);  // the new file's bits, not the old one's
    EXPECT_EQ(names_in(dir / "a" / "b"), std::vector<std::string>{"conf"});

    // A bare file name lands in the working directory.
    EnvGuard env;
    fs::current_path(dir.path());
    write_file_atomically("plain", "x");
    EXPECT_EQ(read_text(dir / "plain"), "x");
}

TEST(WriteFileAtomically, FailuresLeaveNoTemporaryFileAndNoHalfTarget) {
    TempDir dir;
    // Rename over a non-empty directory fails, for root too.
    fs::create_directories(dir / "busy" / "inside");
    try {
        write_file_atomically(dir / "busy", "x");
        FAIL() << "rename over a non-empty directory succeeded";
    } catch (const Error& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("파일을 교체하지 못했습니다: ")) << e.what();
    }
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"busy"});

    // A parent that is a regular file.
    write_text(dir / "file", "keep");
    EXPECT_THROW(write_file_atomically(dir / "file" / "x", "y"), SystemError);
    EXPECT_EQ(read_text(dir / "file"), "keep");

    // A write that runs into the file size limit: the old content stays, nothing is left behind.
    write_text(dir / "target", "old");
    pid_t pid = ::fork();
    if (pid == 0) {
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int code = 1;
        try {
            write_file_atomically(dir / "target", std::string(1 << 20, 'x'));
        } catch (const SystemError& e) {
            code = e.code == EFBIG ? 0 : 2;
        } catch (...) {
            code = 3;
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child was killed (SIGXFSZ?)";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_text(dir / "target"), "old");
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"busy", "file", "target"}));
}

TEST(Files, TouchAndLstat) {
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
    EXPECT_TRUE(fs::is_regular_file(dir / "new"));
    EXPECT_EQ(fs::file_size(dir / "new"), 0u);
    EXPECT_THROW(touch(dir / "missing" / "x"), SystemError);

    fs::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_TRUE(path_lstat_exists(dir / "dangling"));
    EXPECT_FALSE(path_lstat_exists(dir / "nothing"));
    try {
        path_lstat_exists(file / "below-a-file");
        FAIL();
    } catch (const std::exception& e) {
        auto chain = error_chain(e);
        ASSERT_EQ(chain.size(), 2u);
        EXPECT_EQ(chain[0], (file / "below-a-file").string() + " 상태 확인 실패");
        EXPECT_EQ(chain[1], "Not a directory (os error 20)");
    }
}

TEST(Files, StateAndModeFiles) {
    TempDir dir;
    EnvGuard env;
    env.set("TMPDIR", dir.path().string());
    auto path = temp_state_file("vesk-mode", "filename");
    EXPECT_EQ(path, dir / ("vesk-mode-" + std::to_string(::getpid())));
    EXPECT_EQ(read_text(path), "filename");
    temp_state_file("vesk-mode", "x");
    EXPECT_EQ(read_text(path), "x");

    // A link planted under the predictable name is not followed.
    write_text(dir / "victim", "precious");
    fs::create_symlink(dir / "victim", dir / ("planted-" + std::to_string(::getpid())));
    EXPECT_THROW(temp_state_file("planted", "oops"), SystemError);
    EXPECT_EQ(read_text(dir / "victim"), "precious");

    write_text(dir / "mode", "  content\n");
    EXPECT_EQ(read_mode_file(dir / "mode"), "content");
    EXPECT_EQ(read_note_mode(dir / "mode"), "content");
    EXPECT_THROW(read_mode_file(dir / "missing"), SystemError);
    EXPECT_EQ(read_note_mode(dir / "missing"), "filename");
    write_text(dir / "bad", "\xff");
    EXPECT_THROW(read_mode_file(dir / "bad"), std::exception);
    EXPECT_EQ(read_note_mode(dir / "bad"), "filename");
}

TEST(Files, HomeAndSlashes) {
    EnvGuard env;
    env.set("HOME", "/home/u");
    EXPECT_EQ(expand_home("~"), "/home/u");
    EXPECT_EQ(expand_home("$HOME"), "/home/u");
    EXPECT_EQ(expand_home("~/notes"), "/home/u/notes");
    EXPECT_EQ(expand_home("$HOME/x"), "/home/u/x");
    EXPECT_EQ(expand_home("~other/x"), "~other/x");
    EXPECT_EQ(expand_home("$HOMEX"), "$HOMEX");
    EXPECT_EQ(expand_home("rel/~"), "rel/~");
    env.unset("HOME");
    EXPECT_EQ(expand_home("~/x"), "//x");
    EXPECT_EQ(expand_home("~"), "/");

    EXPECT_EQ(strip_trailing_slash("/a/b//"), "/a/b");
    EXPECT_EQ(strip_trailing_slash("/"), "");
    EXPECT_EQ(strip_trailing_slash("a"), "a");
}
