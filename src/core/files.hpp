// Safe file writes, small state files for fzf bindings, and path clean-up.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// Creates the target's directory (and missing parents), writes the bytes to a new ".tmpXXXXXX"
// file (0600) in that directory and renames it over the target. The target ends up either with
// its old content or the whole new content, and no temporary file is ever left behind.
// A failed rename throws Error("파일을 교체하지 못했습니다: <system text>").
void write_file_atomically(const std::filesystem::path& target, std::string_view bytes);

// Creates the file (0666 before the umask) when its metadata cannot be read; an existing file
// keeps its content and modification time. A failed open throws SystemError.
void touch(const std::filesystem::path& path);

// stat succeeds (links followed) and names a regular file.
bool regular_file_at(const std::filesystem::path& path);

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
// goes out of scope. Creating or writing it throws SystemError.
class TempFile {
public:
    explicit TempFile(std::string_view bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A whole file's bytes, mapped into memory when it is a regular file (no copy, no fresh pages to
// fill: the listings read indexes of megabytes on every keystroke), else read. Opening or reading
// it fails with SystemError.
class FileBytes {
public:
    explicit FileBytes(const std::filesystem::path& path);
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    std::string_view view() const { return map_ ? std::string_view(static_cast<const char*>(map_), size_) : read_; }

private:
    void* map_ = nullptr;
    std::size_t size_ = 0;
    std::string read_;
};

// Reads the whole file as bytes; failure throws SystemError.
std::string read_file(const std::filesystem::path& path);
// Reads the descriptor to its end (it stays open); failure throws SystemError.
std::string read_all(int fd);
// The file's text for readers that never fail: nothing when it is missing, unreadable or not UTF-8.
std::optional<std::string> read_text_if_any(const std::filesystem::path& path);

// Removes every line equal to `line`, appends `line` and writes the file back (plain write).
void move_line_to_bottom(const std::filesystem::path& path, std::string_view line);

}  // namespace vesk
