// `quillbox create-named RAW...`.
#include "agent/vault_create.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <fmt/format.h>

#include "agent/quillbox.hpp"
#include "agent/vault_index.hpp"
#include "agent/vault_root.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTimeName = "%Y-%m-%d-%H-%M-%S";

bool is_control(char32_t c) { return c <= 0x1F || (c >= 0x7F && c <= 0x9F); }

bool is_separator(char32_t c, bool file_name) {
    switch (c) {
        case '"': case '\'': case '*': case ':': case '<': case '>': case '?': case '\\': case '`': case '|': case '_':
            return true;
        case '/':
            return file_name;
        default:
            return false;
    }
}

}  // namespace

bool create_if_missing(const fs::path& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno == EEXIST && regular_file_at(path)) return false;
    throw_errno(path_text(path));
}

void make_item_folder(const fs::path& root, const fs::path& folder) {
    std::error_code ec;
    fs::path existing = folder;
    while (lies_under(existing, root) && !fs::exists(existing, ec)) existing = existing.parent_path();
    // A vault not made yet holds no link.
    if (fs::exists(existing, ec) && !resolves_inside(root, existing, true))
        throw Error(fmt::format("볼트 밖에는 항목을 만들 수 없습니다: {}", path_text(folder)));
    fs::create_directories(folder, ec);
    if (ec) throw SystemError(ec.value(), path_text(folder));
}

std::string sanitize_quillbox_component(std::string_view text, bool file_name) {
    std::string out;
    bool in_run = false;
    for (char32_t c : decode_utf8(text)) {
        if (is_control(c)) continue;  // does not end a run of separators either
        if (is_separator(c, file_name)) {
            if (!in_run) out += '_';
            in_run = true;
            continue;
        }
        append_utf8(out, c);
        in_run = false;
    }
    return out;
}

std::string sanitize_quillbox_file(std::string_view text) {
    std::string name = sanitize_quillbox_component(text, true);
    return name.empty() ? format_local_time(kTimeName) : name;
}

fs::path quillbox_named_path(const fs::path& root, const std::vector<std::string>& raw) {
    std::string joined;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (i) joined += ' ';
        joined += raw[i];
    }
    std::string name(trim(joined));
    if (name.empty()) name = format_local_time(kTimeName);

    fs::path folder;
    std::string file;
    if (name.starts_with('/')) {
        // The components as a path reads them: empty ones and "." name nothing, and a final ".."
        // names a folder, not a file (the item then gets the time as its name).
        std::vector<std::string_view> parts;
        for (std::string_view rest = std::string_view(name).substr(1); !rest.empty();) {
            const std::size_t slash = rest.find('/');
            const std::string_view part = rest.substr(0, slash);
            if (!part.empty() && part != ".") parts.push_back(part);
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        }
        std::string_view last;
        if (!parts.empty() && parts.back() != "..") {
            last = parts.back();
            parts.pop_back();
        }
        std::string folder_text;
        for (std::string_view part : parts) {
            if (!folder_text.empty()) folder_text += '/';
            folder_text += part;
        }
        const std::string part = sanitize_quillbox_component(folder_text, false);
        folder = normal_form(part.empty() || part == "." ? root : root / part);
        // ".." may climb back up within the vault, never above it.
        if (!lies_under(folder, root, true)) throw Error(fmt::format("볼트 밖에는 항목을 만들 수 없습니다: {}", name));
        file = sanitize_quillbox_file(last);
    } else {
        // Every "/" becomes '_': whatever the name holds, the item lands in the inbox.
        folder = root / "inbox";
        file = sanitize_quillbox_file(name);
    }
    if (file == "." || file == "..") throw Error(fmt::format("항목 이름으로 쓸 수 없습니다: {}", name));
    if (file.find('.') == std::string::npos) file += ".md";
    return folder / file;
}

void quillbox_create_named(const QuillboxCreateNamedArgs& args) {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const fs::path root = qbox_root(tmux);
    const fs::path path = quillbox_named_path(root, args.raw);
    make_item_folder(root, path.parent_path());
    create_if_missing(path);
    append_quillbox_index_entry(root, path);
    std::string line = path_text(path) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace vesk::agent
