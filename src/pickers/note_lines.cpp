#include "pickers/note_lines.hpp"

#include <fmt/format.h>

#include "core/text.hpp"

namespace vesk::pickers {

namespace {

// Length of the UTF-8 sequence that starts at `i` when it is a valid one, else 0.
std::size_t utf8_sequence_at(std::string_view s, std::size_t i) {
    auto lead = static_cast<unsigned char>(s[i]);
    std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (len == 0 || i + len > s.size()) return 0;
    return is_valid_utf8(s.substr(i, len)) ? len : 0;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A whole word in fzf's quoting of {} ('...' with every ' written as '\''), unquoted; nothing when
// the text is not exactly such a word.
std::optional<std::string> unquote_fzf_word(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (true) {
        if (i >= text.size() || text[i] != '\'') return std::nullopt;
        std::size_t close = text.find('\'', i + 1);
        if (close == std::string_view::npos) return std::nullopt;
        out.append(text.substr(i + 1, close - i - 1));
        i = close + 1;
        if (i == text.size()) return out;
        if (text.substr(i, 2) != "\\'") return std::nullopt;
        out += '\'';
        i += 2;
    }
}

std::string_view strip_leading_dot_slash(std::string_view text) {
    while (text.starts_with("./")) text.remove_prefix(2);
    return text;
}

}  // namespace

std::string note_list_header(std::string_view mode) {
    return mode == "content" ? "[모드: 📝 내용 검색] C-t로 전환 →" : "[모드: 📄 파일명 검색] C-t로 전환 →";
}

std::string encode_note_name(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    append_note_name(out, name);
    return out;
}

void append_note_name(std::string& out, std::string_view name) {
    for (std::size_t i = 0; i < name.size();) {
        // Printable ASCII goes out as it is, a run at a time: the finder writes a whole tree's
        // names through here on every keystroke.
        std::size_t plain = i;
        while (plain < name.size()) {
            auto b = static_cast<unsigned char>(name[plain]);
            if (b < 0x20 || b >= 0x7f || b == '\\') break;
            ++plain;
        }
        out.append(name.data() + i, plain - i);
        i = plain;
        if (i == name.size()) break;
        auto c = static_cast<unsigned char>(name[i]);
        if (c >= 0x80) {
            if (std::size_t len = utf8_sequence_at(name, i)) {
                out.append(name.substr(i, len));
                i += len;
                continue;
            }
        }
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default:
                if (c < 0x20 || c >= 0x7f) out += fmt::format("\\x{:02x}", c);
                else out += static_cast<char>(c);
        }
        ++i;
    }
}

std::string decode_note_name(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        char next = text[i + 1];
        if (next == '\\') out += '\\';
        else if (next == 't') out += '\t';
        else if (next == 'n') out += '\n';
        else if (next == 'r') out += '\r';
        else if (next == 'x' && i + 3 < text.size() && hex_value(text[i + 2]) >= 0 && hex_value(text[i + 3]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 2]) * 16 + hex_value(text[i + 3]));
            i += 2;
        } else {
            out += '\\';
            continue;
        }
        ++i;
    }
    return out;
}

std::optional<NoteMfLine> parse_note_mf_line(std::string_view text) {
    std::string unquoted;
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        // fzf hands {} over as one single-quoted word; where a caller kept those quotes, a name or
        // a text holding ' comes as '\'' and is given back as the ' it was.
        if (auto word = unquote_fzf_word(text)) unquoted = std::move(*word);
        else unquoted = std::string(text.substr(1, text.size() - 2));
        text = unquoted;
    }
    std::size_t first = text.find('\t');
    if (first == std::string_view::npos) return std::nullopt;
    std::size_t second = text.find('\t', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    return NoteMfLine{decode_note_name(text.substr(0, first)), std::string(text.substr(first + 1, second - first - 1))};
}

std::optional<std::string> note_selection_file(std::string_view mode, std::string_view line, bool first_field_only) {
    if (line.empty()) return std::nullopt;
    std::string file;
    auto parsed = mode == "content" ? parse_note_mf_line(line) : std::nullopt;
    if (parsed) {
        file = std::move(parsed->file);
    } else if (mode == "content" || first_field_only) {
        file = decode_note_name(line.substr(0, line.find('\t')));
    } else {
        file = decode_note_name(line);
    }
    while (!file.empty() && file.back() == '/') file.pop_back();
    file = std::string(strip_leading_dot_slash(file));
    if (file.empty()) return std::nullopt;
    return file;
}

std::filesystem::path note_path_in(const std::filesystem::path& root, const std::string& file) {
    if (file.starts_with('/')) return file;
    return root / file;
}

std::optional<std::filesystem::path> note_selection_path(const std::filesystem::path& root, std::string_view mode,
                                                         std::string_view line) {
    auto file = note_selection_file(mode, line);
    if (!file) return std::nullopt;
    return note_path_in(root, *file);
}

std::vector<NoteContentHit> parse_rg_null_hits(std::string_view output) {
    std::vector<NoteContentHit> hits;
    std::size_t pos = 0;
    while (pos < output.size()) {
        std::size_t nul = output.find('\0', pos);
        if (nul == std::string_view::npos) break;
        std::size_t end = output.find('\n', nul + 1);
        if (end == std::string_view::npos) end = output.size();
        std::string_view file = output.substr(pos, nul - pos);
        std::string_view record = output.substr(nul + 1, end - nul - 1);
        pos = end + 1;
        std::size_t colon = record.find(':');
        if (colon == std::string_view::npos || colon == 0) continue;
        std::string_view number = record.substr(0, colon);
        if (number.find_first_not_of("0123456789") != std::string_view::npos) continue;
        std::string_view text = record.substr(colon + 1);
        if (text.ends_with('\r')) text.remove_suffix(1);
        hits.push_back({std::string(file), std::string(number), lossy_utf8(text)});
    }
    return hits;
}

std::vector<std::string> split_nul_entries(std::string_view output) {
    std::vector<std::string> entries;
    std::size_t pos = 0;
    while (pos < output.size()) {
        std::size_t nul = output.find('\0', pos);
        if (nul == std::string_view::npos) nul = output.size();
        if (nul > pos) entries.emplace_back(output.substr(pos, nul - pos));
        pos = nul + 1;
    }
    return entries;
}

std::string note_content_line(const NoteContentHit& hit) {
    return encode_note_name(hit.file) + "\t" + hit.line + "\t" + hit.text + "\n";
}

std::string search_content_hit_line(const std::string& dir, const NoteContentHit& hit) {
    std::string rel(strip_leading_dot_slash(hit.file));
    std::string path = hit.file.starts_with('/') ? hit.file : (std::filesystem::path(dir) / rel).native();
    // The hit's text is only shown: a TAB in it would move the path and line fields that readers
    // take by position.
    std::string text = hit.text;
    for (char& c : text) {
        if (c == '\t') c = ' ';
    }
    return fmt::format("{}:{}:{}\t{}\t{}\n", encode_note_name(rel), hit.line, text, encode_note_name(path), hit.line);
}

std::string search_content_file_line(const std::string& dir, const std::string& listed) {
    std::string_view rel = listed;
    if (rel.starts_with(dir)) rel.remove_prefix(dir.size());
    while (rel.starts_with('/')) rel.remove_prefix(1);
    return encode_note_name(rel) + "\t" + encode_note_name(listed) + "\t0\n";
}

}  // namespace vesk::pickers
