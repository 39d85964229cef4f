#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/sysmacros.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/error.hpp"
#include "core/files.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

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
    ::chmod(target.c_str(), 0644);
    write_file_atomically(target, "한국어\n");
    EXPECT_EQ(read_text(target), "한국어\n");
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);  // the replaced file's bits
    EXPECT_EQ(names_in(dir / "a" / "b"), std::vector<std::string>{"conf"});
}

namespace {

unsigned mode_of(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
}

// Sets the umask for one test.
struct UmaskGuard {
    explicit UmaskGuard(mode_t mask) : old(::umask(mask)) {}
    ~UmaskGuard() { ::umask(old); }
    mode_t old;
};

}  // namespace

// A user's configuration file keeps what the user gave it: a group-readable file stays
// group-readable, a list linked into a dotfiles repository stays linked and that file gets the
// text. Nothing else follows a link, and no file keeps a set-uid, set-gid or sticky bit.
TEST(WriteFileAtomically, UsersFilesKeepTheirModeAndLinksPrivateFilesGetTheirBits) {
    TempDir dir;
    UmaskGuard umask(027);
    write_file_atomically(dir / "new", "x");
    EXPECT_EQ(mode_of(dir / "new"), 0640u);

    // A chain of links, relative and absolute, across folders: the links stay, the last file is
    // replaced in its own folder, keeping its bits; a dangling link is written through into a
    // folder that exists, never into one made for it.
    write_text(dir / "dots" / "deep" / "list", "old\n");
    ::chmod((dir / "dots" / "deep" / "list").c_str(), 0660);
    fs::create_symlink("deep/list", dir / "dots" / "hop");
    fs::create_directories(dir / "use");
    fs::create_symlink(dir / "dots" / "hop", dir / "use" / "list");
    fs::create_symlink("../dots/made", dir / "use" / "dangling");
    fs::create_symlink("later/made", dir / "use" / "far");
    write_file_atomically(dir / "use" / "list", "new\n", Links::Followed);
    write_file_atomically(dir / "use" / "dangling", "d", Links::Followed);
    EXPECT_EQ(read_text(dir / "dots" / "deep" / "list"), "new\n");
    EXPECT_EQ(mode_of(dir / "dots" / "deep" / "list"), 0660u);
    EXPECT_EQ(read_text(dir / "dots" / "made"), "d");
    EXPECT_EQ(names_in(dir / "dots" / "deep"), std::vector<std::string>{"list"});
    EXPECT_THROW(write_file_atomically(dir / "use" / "far", "x", Links::Followed), SystemError);
    // A loop of links is refused.
    fs::create_symlink("loop-b", dir / "use" / "loop-a");
    fs::create_symlink("loop-a", dir / "use" / "loop-b");
    EXPECT_THROW(write_file_atomically(dir / "use" / "loop-a", "x", Links::Followed), SystemError);
    for (const char* link : {"list", "dangling", "far", "loop-a", "loop-b"}) EXPECT_TRUE(fs::is_symlink(dir / "use" / link));
    EXPECT_EQ(names_in(dir / "use"), (std::vector<std::string>{"dangling", "far", "list", "loop-a", "loop-b"}));

    // Without the user's say-so a link is replaced, whatever it points at, which stays as it was;
    // a private file gets exactly the bits asked, any other those of a new file. The bits that lend
    // a program its owner's or group's rights are never carried over.
    write_file_atomically(dir / "new", "state", 0600);
    EXPECT_EQ(mode_of(dir / "new"), 0600u);
    fs::create_symlink(dir / "dots" / "deep" / "list", dir / "state");
    write_file_atomically(dir / "state", "mode\n", 0600);
    write_file_atomically(dir / "use" / "far", "index\n");
    EXPECT_FALSE(fs::is_symlink(dir / "state") || fs::is_symlink(dir / "use" / "far"));
    EXPECT_EQ(mode_of(dir / "use" / "far"), 0640u);
    EXPECT_EQ(read_text(dir / "dots" / "deep" / "list"), "new\n");
    EXPECT_FALSE(fs::exists(dir / "use" / "later"));
    ::chmod((dir / "dots" / "deep" / "list").c_str(), 06775);
    write_file_atomically(dir / "use" / "list", "x", Links::Followed);
    EXPECT_EQ(mode_of(dir / "dots" / "deep" / "list"), 0775u);
}

// A device, FIFO or socket is never replaced, written or waited on: not at the path, nor at the
// end of a followed link. An append refuses them, and a link it does not follow, at once.
TEST(WriteFileAtomically, DevicesFifosAndAppendsThatMustNotBlock) {
    TempDir dir;
    const fs::path fifo = dir / "fifo", text = dir / "text";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("/dev/null", dir / "null");
    fs::create_symlink("fifo", dir / "to-fifo");
    fs::create_symlink("text", dir / "to-text");
    write_text(text, "a\n");
    const auto refused = [](const fs::path& path) { return "일반 파일이 아닙니다 (" + path.string() + ")"; };
    EXPECT_EQ(error_text([&] { write_file_atomically(fifo, "x"); }), refused(fifo));
    EXPECT_EQ(error_text([&] { write_file_atomically(dir / "null", "x", Links::Followed); }), refused("/dev/null"));
    EXPECT_EQ(error_text([&] { write_file_atomically(dir / "to-fifo", "x", Links::Followed); }), refused(fifo));
    for (const fs::path& odd : {fifo, dir / "to-fifo", dir / "to-text", dir.path()})
        EXPECT_EQ(error_text([&] { append_to_file(odd, "b\n"); }), refused(odd));
    append_to_file(dir / "to-text", "b\n", Links::Followed);
    EXPECT_EQ(read_text(text), "a\nb\n");
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"fifo", "null", "text", "to-fifo", "to-text"}));
}

// Opening a device can act on it: a writer looks first and opens nothing but a regular file or a
// name it creates. A FIFO's reader sees a hang-up only once a writer has opened it.
TEST(OpenForWriting, NothingButARegularFileIsEverOpened) {
    TempDir dir;
    const fs::path fifo = dir / "fifo", device = dir / ".recent";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const auto refused = [](const fs::path& path) { return "일반 파일이 아닙니다 (" + path.string() + ")"; };
    EXPECT_EQ(error_text([&] { append_to_file(fifo, "x"); }), refused(fifo));
    EXPECT_EQ(error_text([&] { ::close(open_for_rewrite(fifo, 0600)); }), refused(fifo));
    pollfd poll_reader{reader, POLLIN, 0};
    EXPECT_EQ(::poll(&poll_reader, 1, 0), 0) << "a writer opened the FIFO";
    ::close(reader);
    // A missing name is made; a regular file is emptied by the rewrite.
    ::close(open_for_rewrite(dir / "state", 0600));
    append_to_file(dir / "state", "old");
    const int fd = open_for_rewrite(dir / "state", 0600);
    write_and_close(fd, "new");
    EXPECT_EQ(read_text(dir / "state"), "new");
    EXPECT_EQ(mode_of(dir / "state") & 077, 0u);
    // A character device with /dev/null's numbers, at the name an append goes to.
    if (::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) GTEST_SKIP() << "mknod needs root";
    EXPECT_EQ(error_text([&] { append_to_file(device, "x"); }), refused(device));
    EXPECT_TRUE(fs::is_character_file(device));
}

// A repository's .agent/ folders are made one by one and none may be a link out of it.
TEST(CreateFoldersInside, MakesRealFoldersAndRefusesLinksOnTheWay) {
    TempDir dir, outside;
    create_folders_inside(dir.path(), ".agent/chat");
    create_folders_inside(dir.path(), ".agent/chat");  // again: nothing to do
    EXPECT_TRUE(fs::is_directory(dir / ".agent" / "chat"));
    fs::create_symlink(outside.path(), dir / "linked");
    fs::create_symlink(outside / "gone", dir / ".agent" / "dangling");
    for (const char* below : {"linked/chat", ".agent/dangling/x", "../x"})
        EXPECT_EQ(error_text([&] { create_folders_inside(dir.path(), below); }).rfind("폴더가 아닙니다 (", 0), 0u) << below;
    EXPECT_TRUE(fs::is_empty(outside.path()));
}

TEST(WriteFileAtomically, FailuresLeaveNoTemporaryFileAndNoHalfTarget) {
    TempDir dir;
    // Rename over a non-empty directory fails, for root too.
    fs::create_directories(dir / "busy" / "inside");
    EXPECT_TRUE(error_text([&] { write_file_atomically(dir / "busy", "x"); }).starts_with("파일을 교체하지 못했습니다: "));
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"busy"});

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
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"busy", "target"}));
}

TEST(Files, ExpandHome) {
    EnvGuard env;
    env.set("HOME", "/home/u");
    for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"~", "/home/u"}, {"$HOME", "/home/u"}, {"~/notes", "/home/u/notes"}, {"$HOME/x", "/home/u/x"},
             {"~other/x", "~other/x"}, {"$HOMEX", "$HOMEX"}})
        EXPECT_EQ(expand_home(in), out) << in;
    env.unset("HOME");
    EXPECT_EQ(expand_home("~/x"), "//x");
}

// Only regular files are read: a FIFO would hang the reader and /dev/zero never ends. Every
// failure names the file; the never-failing reader counts all of them as missing.
TEST(ReadFile, OnlyRegularFilesWithinTheLimitAndErrorsNameThePath) {
    TempDir dir;
    const fs::path fifo = dir / "fifo", zero = dir / "zero", text = dir / "text";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", zero);
    write_text(text, "한글\n");
    EXPECT_EQ(read_file(text), "한글\n");
    EXPECT_EQ(read_text_if_any(text), "한글\n");
    for (const fs::path& odd : {fifo, zero, dir.path()}) {
        EXPECT_EQ(error_text([&] { read_file(odd); }), "일반 파일이 아닙니다 (" + odd.string() + ")");
        EXPECT_EQ(read_text_if_any(odd), std::nullopt) << odd;
    }
    EXPECT_EQ(error_text([&] { read_file(dir / "missing"); }),
              "No such file or directory (os error 2) (" + (dir / "missing").string() + ")");
    EXPECT_EQ(error_text([&] { read_file(text, 3); }), "File too large (os error 27) (" + text.string() + ")");
    EXPECT_EQ(read_file(text, 7), "한글\n");
    // A file that reports no size (as /proc files do) is still held to the limit.
    EXPECT_THROW(read_file("/proc/self/maps", 16), SystemError);
    // A preview's read: the start of a file of any size, the same refusals.
    EXPECT_EQ(read_file_head(text, 7).bytes, "한글\n");
    EXPECT_TRUE(read_file_head(text, 7).whole);
    EXPECT_FALSE(read_file_head(text, 3).whole);
    EXPECT_EQ(read_file_head(text, 3).bytes, "한");

    // The writer's bits on request, and a failed replacement names its target.
    write_file_atomically(dir / "prog", "#!/bin/sh\n", 0755);
    struct stat st;
    ASSERT_EQ(::stat((dir / "prog").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    fs::create_directories(dir / "busy" / "inside");
    EXPECT_EQ(error_text([&] { write_file_atomically(dir / "busy", "x"); }),
              "파일을 교체하지 못했습니다: Is a directory (os error 21) (" + (dir / "busy").string() + ")");
}
