// Safe file writes, small state files for fzf bindings, and path clean-up.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/signal_cleanup.hpp"

namespace vesk {

// Creates the target's directory (and missing parents), writes the bytes to a new ".tmpXXXXXX"
// file in that directory and renames it over the target. The target ends up either with its old
// content or the whole new content, and no temporary file is ever left behind, also when the file
// size limit or a full disk stops the write (the error is then the system's, naming the temporary
// file). `mode` gives the new file's permission bits (0600 unless the caller needs others, such as
// a program's 0755). A failed rename throws Error("파일을 교체하지 못했습니다: <system text> (<target>)").
void write_file_atomically(const std::filesystem::path& target, std::string_view bytes, unsigned mode = 0600);

// Creates the file (0666 before the umask) when its metadata cannot be read; an existing file
// keeps its content and modification time. A failed open throws SystemError.
void touch(const std::filesystem::path& path);

// lstat succeeds: true (a dangling symbolic link exists); ENOENT: false; anything else throws
// with the context "<path> 상태 확인 실패".
bool path_lstat_exists(const std::filesystem::path& path);

// Writes `contents` to <temp dir>/<prefix>-<pid> (created or truncated) and returns that path.
std::filesystem::path temp_state_file(std::string_view prefix, std::string_view contents);

// The whole file as UTF-8, trimmed. A missing or unreadable file, or invalid UTF-8, throws SystemError.
std::string read_mode_file(const std::filesystem::path& path);

// As read_mode_file, but any failure gives "filename".
std::string read_note_mode(const std::filesystem::path& path);

// "~" and "$HOME" give HOME ("/" when unset); "~/x" and "$HOME/x" give HOME + "/x"; anything
// else is returned unchanged.
std::filesystem::path expand_home(std::string_view text);

// The lossy text of the path without its trailing slashes ("/" gives "").
std::string strip_trailing_slash(const std::filesystem::path& path);

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

// No file vesk reads on its own account comes near this size; a larger one is refused rather
// than read into memory.
inline constexpr std::size_t kReadLimit = std::size_t{64} << 20;

// Reads a regular file whole, as bytes. Only regular files are read: a FIFO would block the
// reader forever and a device such as /dev/zero never ends, so anything else (symbolic links are
// followed) throws Error("일반 파일이 아닙니다 (<path>)"); a file larger than `limit` throws
// SystemError(EFBIG). Every failure names the path.
std::string read_file(const std::filesystem::path& path, std::size_t limit = kReadLimit);
// Reads the descriptor to its end (it stays open); failure throws SystemError.
std::string read_all(int fd);
// The file's text for readers that never fail: nothing when it is missing, unreadable, not a
// regular file, larger than kReadLimit or not UTF-8.
std::optional<std::string> read_text_if_any(const std::filesystem::path& path);

// Removes every line equal to `line`, appends `line` and writes the file back (plain write).
void move_line_to_bottom(const std::filesystem::path& path, std::string_view line);

}  // namespace vesk
