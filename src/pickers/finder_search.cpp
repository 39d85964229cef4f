// The finder's list commands that fzf runs on every keystroke (`finder mf-search`, `git-search`)
// and its mode switches (`mf-toggle`, `git-toggle`).
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <string>
#include <system_error>
#include <unordered_set>

#include "core/command.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "pickers/finder.hpp"
#include "pickers/finder_lines.hpp"
#include "pickers/note_lines.hpp"
#include "pickers/text.hpp"
#include "pickers/walkers.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

namespace {

// fzf has stopped reading (a newer keystroke replaced this list): nothing more is wanted.
struct ReaderGone {};

// Standard output in large writes. The list goes out while it is made, so that fzf shows the
// first lines at once and no tree is ever held whole.
class ListWriter {
public:
    ~ListWriter() {
        try {
            flush();
        } catch (...) {
        }
    }
    std::string& buffer() { return buf_; }
    void add(std::string_view text) {
        buf_.append(text);
        if (buf_.size() >= kFlushAt) flush();
    }
    // Called after each line: writes once enough has gathered.
    void line_done() {
        if (buf_.size() >= kFlushAt) flush();
    }
    void flush() {
        std::string_view rest = buf_;
        while (!rest.empty()) {
            ssize_t n = ::write(STDOUT_FILENO, rest.data(), rest.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                buf_.clear();
                if (errno == EPIPE) throw ReaderGone{};
                throw_errno();
            }
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
        buf_.clear();
    }

private:
    static constexpr std::size_t kFlushAt = std::size_t{1} << 16;
    std::string buf_;
};

std::string read_mode_or(const std::string& file, std::string_view fallback) {
    try {
        return read_mode_file(file);
    } catch (const std::exception&) {
        return std::string(fallback);
    }
}

// Appends the name as fzf shows it and keeps the line when it matches the query.
void add_name(ListWriter& out, std::string_view query, std::string_view name) {
    std::string& buf = out.buffer();
    const std::size_t start = buf.size();
    append_note_name(buf, name);
    if (!query.empty() && !subsequence_match(query, std::string_view(buf).substr(start))) {
        buf.resize(start);
        return;
    }
    buf += '\n';
    out.line_done();
}

// Reads the child's standard output in chunks and hands each to `take`, which keeps what it has
// not used yet; the child is stopped when the reader goes away.
template <class Take>
void stream_output(Child& child, Take&& take) {
    std::string pending;
    char chunk[1 << 16];
    try {
        for (;;) {
            ssize_t n = ::read(child.stdout_fd(), chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw_errno();
            if (n == 0) break;
            pending.append(chunk, static_cast<std::size_t>(n));
            take(pending, false);
        }
        take(pending, true);
    } catch (...) {
        child.kill();
        child.wait();
        throw;
    }
    child.wait();
}

// ripgrep's hits of the query below the working directory as "file<TAB>line<TAB>text" lines. The
// query is a pattern, never an option (-e); --null ends each file name, so a name holding ':' or a
// line feed is never split into another file; no colour codes, which fzf would show as text.
void content_hits(ListWriter& out, const std::string& query) {
    ChildCommand rg("rg", {"--line-number", "--with-filename", "--no-heading", "--color=never", "--smart-case",
                           "--null", "-e", query});
    // Standard input on /dev/null: rg then searches the working directory, names without "./".
    rg.in = Stdio::Null;
    rg.out = Stdio::Pipe;
    rg.err = Stdio::Null;
    Child child = Child::spawn(rg);
    stream_output(child, [&](std::string& pending, bool at_end) {
        // Complete records only: "file NUL line:text LF" (the name itself may hold a line feed).
        std::size_t done = 0;
        for (;;) {
            std::size_t nul = pending.find('\0', done);
            if (nul == std::string::npos) break;
            std::size_t end = pending.find('\n', nul + 1);
            if (end == std::string::npos) {
                if (!at_end) break;
                end = pending.size();
            }
            for (const auto& hit : parse_rg_null_hits(std::string_view(pending).substr(done, end - done))) {
                out.add(note_content_line(hit));
            }
            done = end < pending.size() ? end + 1 : end;
        }
        pending.erase(0, done);
    });
}

// The files git reports as changed (unstaged and staged) or untracked, relative to the top level,
// each once, in that order; files that are gone are left out. NUL-separated listings: names come
// raw, whatever bytes they hold.
std::vector<std::string> git_changed_files(const std::string& top) {
    std::vector<std::string> files;
    std::unordered_set<std::string> seen;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"diff", "--name-only", "-z"},
                                                 std::vector<std::string>{"diff", "--name-only", "-z", "--cached"},
                                                 std::vector<std::string>{"ls-files", "-z", "--others",
                                                                          "--exclude-standard"}}) {
        ChildCommand git("git", {"-C", top});
        git.args.insert(git.args.end(), args.begin(), args.end());
        git.in = Stdio::Null;
        git.out = Stdio::Pipe;
        git.err = Stdio::Null;
        Output listed = run_child(git);
        if (!listed.status.success()) throw Error("command failed");
        for (std::string& name : split_nul_entries(listed.out)) {
            if (name.ends_with('\r')) name.pop_back();
            std::error_code ec;
            if (name.empty() || seen.contains(name) || !fs::is_regular_file(fs::path(top) / name, ec)) continue;
            seen.insert(name);
            files.push_back(std::move(name));
        }
    }
    return files;
}

// A name that ugrep's "%f" prints as fzf shows it: nothing escaped, no TAB or line break.
bool plain_name(std::string_view name) { return encode_note_name(name) == name; }

// ugrep's hits of the query in the files, as "file<TAB>line<TAB>text" lines. ugrep 3.11 has no
// --from and takes "\t" in --format literally: the files are its operands and "%t" the TAB.
void ugrep_hits(ListWriter& out, const std::string& top, const std::vector<std::string>& files,
                const std::string& query) {
    auto run = [&](std::vector<std::string> args, const std::string& prefix) {
        ChildCommand ugrep("ugrep", std::move(args));
        ugrep.cwd = top;
        ugrep.in = Stdio::Null;
        ugrep.out = Stdio::Pipe;
        ugrep.err = Stdio::Null;
        Child child = Child::spawn(ugrep);
        stream_output(child, [&](std::string& pending, bool at_end) {
            std::size_t done = 0;
            for (std::size_t end; (end = pending.find('\n', done)) != std::string::npos || (at_end && done < pending.size());) {
                if (end == std::string::npos) end = pending.size();
                std::string_view line = std::string_view(pending).substr(done, end - done);
                if (line.ends_with('\r')) line.remove_suffix(1);
                out.add(prefix);
                out.add(line);
                out.add("\n");
                done = end < pending.size() ? end + 1 : end;
            }
            pending.erase(0, done);
        });
    };
    // Names that print as they are go to one ugrep (in batches that fit a command line); any other
    // is searched on its own and its lines get its escaped name, so that a line never splits.
    std::vector<std::string> batch;
    std::size_t batch_bytes = 0;
    auto run_batch = [&] {
        if (batch.empty()) return;
        std::vector<std::string> args = {"-H", "--format=%f%t%n%t%O%~", "-e", query, "--"};
        args.insert(args.end(), batch.begin(), batch.end());
        run(std::move(args), "");
        batch.clear();
        batch_bytes = 0;
    };
    for (const std::string& file : files) {
        if (!plain_name(file)) {
            run({"--format=%n%t%O%~", "-e", query, "--", file}, encode_note_name(file) + "\t");
            continue;
        }
        batch.push_back(file);
        batch_bytes += file.size() + 1;
        if (batch_bytes > (std::size_t{1} << 17)) run_batch();
    }
    run_batch();
}

void write_mode(const std::string& file, const std::string& mode) {
    write_file_atomically(file, mode + "\n", 0600);
    std::string line = mode + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

void finder_mf_search(const FinderModeQueryArgs& args) {
    const std::string mode = read_mode_or(args.mode_file, "filename");
    const std::string query = args.query.value_or("");
    ListWriter out;
    try {
        out.add(mf_search_header(mode) + "\n");
        if (mode == "content" && !query.empty()) {
            content_hits(out, query);
        } else {
            rg_files_each(".", [&](std::string_view name) { add_name(out, query, name); });
        }
        out.flush();
    } catch (const ReaderGone&) {
    }
}

void finder_git_search(const FinderModeQueryArgs& args) {
    const std::string mode = read_mode_or(args.mode_file, "list");
    const std::string query = args.query.value_or("");
    ListWriter out;
    try {
        out.add(git_search_header(mode) + "\n");
        std::string top;
        try {
            top = command_output(ChildCommand("git", {"rev-parse", "--show-toplevel"}));
        } catch (const std::exception&) {
            // Not in a repository (or no git): the header alone.
        }
        if (!top.empty()) {
            const std::vector<std::string> files = git_changed_files(top);
            if (mode != "content" || query.empty()) {
                for (const std::string& file : files) add_name(out, query, file);
            } else if (which("ugrep") && !files.empty()) {
                ugrep_hits(out, top, files, query);
            }
        }
        out.flush();
    } catch (const ReaderGone&) {
    }
}

void finder_mf_toggle(const FinderModeFileArgs& args) {
    write_mode(args.mode_file, next_mf_mode(read_mode_or(args.mode_file, "filename")));
}

void finder_git_toggle(const FinderModeFileArgs& args) {
    write_mode(args.mode_file, next_git_mode(read_mode_or(args.mode_file, "list")));
}

}  // namespace vesk::pickers
