// Safe file writes, whole-file reads and home expansion.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/signal_cleanup.hpp"

namespace vesk {

// Whether a symbolic link at the path of a file vesk writes is followed.
enum class Links {
    // Never followed, the default: the atomic writer replaces the link itself, an append refuses
    // it. For every file in a folder that others may have filled (a vault is often a cloned
    // repository, and a repository can carry links) and for the program's own files.
    NotFollowed,
    // Followed to the end of its chain, for the user's own configuration files in the user's own
    // folders, which dotfile managers keep as links. The file at the end must be a regular file, or
    // missing in a folder that exists: no folder is made for a link's target.
    Followed,
};

// Creates the target's directory (and missing parents), writes the bytes to a new ".tmpXXXXXX"
// file in that directory and renames it over the target, both relative to the one directory
// opened first (a folder swapped meanwhile cannot strand the temporary file). The target ends up
// either with its old content or the whole new content, and no temporary file is ever left
// behind, also when the file size limit or a full disk stops the write (the error is then the
// system's, naming the temporary file). A failed rename (a folder at the target) throws
// Error("파일을 교체하지 못했습니다: <system text> (<target>)"); a device, FIFO or socket at the
// target is never replaced nor written: Error("일반 파일이 아닙니다 (<target>)").
//
// Without `mode` an existing regular file keeps its permission bits (never more than 0777: no
// set-uid, set-gid or sticky bit is carried over) and its group; a new file, or one that replaces
// a link, gets 0666 less the umask as a plain write would. With `mode` the file is the program's
// own (a private state file at 0600, the installed program at 0755) and gets exactly those bits.
// With Links::Followed the file at the end of a chain of links is the one replaced, in its own
// folder; a chain that never ends throws SystemError(ELOOP).
void write_file_atomically(const std::filesystem::path& target, std::string_view bytes,
                           std::optional<unsigned> mode = std::nullopt, Links links = Links::NotFollowed);
inline void write_file_atomically(const std::filesystem::path& target, std::string_view bytes, Links links) {
    write_file_atomically(target, bytes, std::nullopt, links);
}

// Opens the file for appending (and writing only), creating it with 0666 less the umask when it
// is missing. Only a regular file is ever opened: what stands at the path is looked at before
// anything is opened (opening a device can act on it, a FIFO would block until someone reads
// it), a missing name is created exclusively where links are not followed, and the file opened
// is looked at again. Anything else, and with Links::NotFollowed a symbolic link too, throws
// Error("일반 파일이 아닙니다 (<path>)"); other failures throw SystemError naming the path.
int open_for_append(const std::filesystem::path& path, Links links = Links::NotFollowed);
// The same for a file written from its start: opened as open_for_append opens it, then emptied; a
// file it creates gets `mode` less the umask.
int open_for_rewrite(const std::filesystem::path& path, unsigned mode, Links links = Links::NotFollowed);
// Makes the folders `below` names inside `base` (an existing folder, reached as its path says),
// one level at a time, each a real folder: a symbolic link or anything else on the way throws
// Error("폴더가 아닙니다 (<path>)"), and so does a ".." in `below`. For the folders vesk adds to a
// repository that may come from someone else (its .agent/ logs): a link planted there would carry
// every file made below it out of the repository.
void create_folders_inside(const std::filesystem::path& base, const std::filesystem::path& below);
// Appends the bytes to the file opened as open_for_append opens it; failures name the path.
void append_to_file(const std::filesystem::path& path, std::string_view bytes, Links links = Links::NotFollowed);

// 0666 less the process's umask: the bits a plain write gives a new file, for a user's file that
// has to be made some other way first (a private temporary file linked under its final name).
unsigned new_file_mode();

// stat succeeds (links followed unless `links` says otherwise) and names a regular file.
bool regular_file_at(const std::filesystem::path& path, Links links = Links::Followed);

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
// followed unless `links` says otherwise: a link then fails with ELOOP) throws
// Error("일반 파일이 아닙니다 (<path>)"); a file larger than `limit` throws SystemError(EFBIG).
// Every failure names the path.
std::string read_file(const std::filesystem::path& path, std::size_t limit = kReadLimit,
                      Links links = Links::Followed);
// A preview reads no more of a file than this, and hands no larger file to a viewer whole: a file
// of a gigabyte (a sparse one is a single line of NUL bytes) took seconds and gigabytes of memory
// on every cursor move, where this much holds tens of thousands of lines and shows at once.
inline constexpr std::size_t kPreviewBytes = std::size_t{2} << 20;

// The start of a regular file: all of it when it holds at most `limit` bytes (`whole`), else its
// first `limit` bytes. The same files as read_file, with the same errors, but none is too large.
struct FileHead {
    std::string bytes;
    bool whole = true;
};
FileHead read_file_head(const std::filesystem::path& path, std::size_t limit);

// A regular file (links followed) open for reading, for a child to read as its standard input: the
// child then reads the file that was looked at, never a FIFO or a device put at its name since.
// Refused as read_file refuses; the caller closes the descriptor.
int open_regular_file(const std::filesystem::path& path);

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
// Reads the descriptor to its end (it stays open); failure throws SystemError, and so does more
// than `limit` bytes (EFBIG): a source that never ends (/dev/zero, `yes`) stops there.
std::string read_all(int fd, std::size_t limit = SIZE_MAX);
// Writes every byte to the descriptor and closes it, also after a failed write; the first failure
// (the write's, else the close's) throws SystemError. For files written in place, not atomically.
void write_and_close(int fd, std::string_view bytes);
// The file's text for readers that never fail: nothing when it is missing, unreadable, not a
// regular file, larger than kReadLimit or not UTF-8.
std::optional<std::string> read_text_if_any(const std::filesystem::path& path);

}  // namespace vesk
