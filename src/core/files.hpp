// Safe file writes, whole-file reads and home expansion.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/signal_cleanup.hpp"

namespace vesk {

// Creates the target's directory (and missing parents), writes the bytes to a new ".tmpXXXXXX"
// file in that directory and renames it over the target. The target ends up either with its old
// content or the whole new content, and no temporary file is ever left behind, also when the file
// size limit or a full disk stops the write (the error is then the system's, naming the temporary
// file). A failed rename throws Error("파일을 교체하지 못했습니다: <system text> (<target>)").
//
// Without `mode` the target is one of the user's files (an index, a list, an override, the tmux
// configuration): an existing file keeps its permission bits and its group, a new one gets 0666
// less the umask as a plain write would, and a target that is a symbolic link (into a dotfiles
// repository, a shared folder) stays one: the file at the end of its chain of links is replaced,
// created when the link dangles. A chain that never ends throws SystemError(ELOOP).
// With `mode` the file is the program's own (a private state file at 0600, the installed program
// at 0755): it gets exactly those bits, and the path itself is replaced, a link there included.
void write_file_atomically(const std::filesystem::path& target, std::string_view bytes,
                           std::optional<unsigned> mode = std::nullopt);

// 0666 less the process's umask: the bits a plain write gives a new file, for a user's file that
// has to be made some other way first (a private temporary file linked under its final name).
unsigned new_file_mode();

// stat succeeds (links followed) and names a regular file.
bool regular_file_at(const std::filesystem::path& path);

// The whole file as UTF-8, trimmed: a mode file that fzf bindings rewrite. A missing or unreadable
// file throws SystemError, text that is not UTF-8 Error.
std::string read_mode_file(const std::filesystem::path& path);

// "~" and "$HOME" give HOME ("/" when unset); "~/x" and "$HOME/x" give HOME + "/x"; anything
// else is returned unchanged.
std::filesystem::path expand_home(std::string_view text);

// A new file (".tmpXXXXXX", 0600) in the system temporary directory ($TMPDIR, else /tmp) holding
// `bytes`, for a program that reads its input from a path (tmux source-file). Removed when this
// goes out of scope, or when SIGINT, SIGTERM or SIGHUP ends the process first. Creating or writing
// it throws SystemError.
class TempFile {
public:
    explicit TempFile(std::string_view bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    OnSignal on_signal_;
};

// A new directory (mkdtemp, 0700) in the system temporary directory, named `prefix`, "-" and six
// random characters: a home for files that children of this process find by name (a picker's
// state files, an editor's script), which nobody else can create first or read. Removed with
// everything in it when this goes out of scope; a signal that ends the process first removes the
// files named through file() and then the directory. Creating it throws SystemError.
class PrivateTempDir {
public:
    // `base`: another parent than the system temporary directory.
    explicit PrivateTempDir(std::string_view prefix, const std::optional<std::filesystem::path>& base = std::nullopt);
    ~PrivateTempDir();
    PrivateTempDir(const PrivateTempDir&) = delete;
    PrivateTempDir& operator=(const PrivateTempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // path()/name, also removed on a signal; the file itself is made by the caller or a child.
    std::filesystem::path file(std::string_view name);

private:
    std::filesystem::path path_;
    std::vector<OnSignal> on_signal_;
};

// No file vesk reads on its own account comes near this size; a larger one is refused rather
// than read into memory.
inline constexpr std::size_t kReadLimit = std::size_t{64} << 20;

// Reads a regular file whole, as bytes. Only regular files are read: a FIFO would block the
// reader forever and a device such as /dev/zero never ends, so anything else (symbolic links are
// followed) throws Error("일반 파일이 아닙니다 (<path>)"); a file larger than `limit` throws
// SystemError(EFBIG). Every failure names the path.
std::string read_file(const std::filesystem::path& path, std::size_t limit = kReadLimit);
// A whole file's bytes, mapped into memory (no copy, no fresh pages to fill: the listings read
// indexes of megabytes on every keystroke), else read. The same files as read_file, with the same
// errors.
class FileBytes {
public:
    explicit FileBytes(const std::filesystem::path& path, std::size_t limit = kReadLimit);
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    std::string_view view() const { return map_ ? std::string_view(static_cast<const char*>(map_), size_) : read_; }

private:
    void* map_ = nullptr;
    std::size_t size_ = 0;
    std::string read_;
};
// Reads the descriptor to its end (it stays open); failure throws SystemError.
std::string read_all(int fd);
// Writes every byte to the descriptor and closes it, also after a failed write; the first failure
// (the write's, else the close's) throws SystemError. For files written in place, not atomically.
void write_and_close(int fd, std::string_view bytes);
// The file's text for readers that never fail: nothing when it is missing, unreadable, not a
// regular file, larger than kReadLimit or not UTF-8.
std::optional<std::string> read_text_if_any(const std::filesystem::path& path);

}  // namespace vesk
