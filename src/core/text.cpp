#include "core/text.hpp"

#include <utf8proc.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include "core/command.hpp"
#include "core/fzf_filter.hpp"
#include "core/error.hpp"
#include "core/process.hpp"

namespace vesk {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one character at `i`, advancing `i`. An invalid sequence gives U+FFFD and consumes its
// longest valid prefix (at least one byte), so one bad byte never swallows the good ones after it.
char32_t next_char(std::string_view s, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char b = byte(i);
    if (b < 0x80) {
        ++i;
        return b;
    }
    int need;
    char32_t c;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        c = b & 0x0F;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        c = b & 0x07;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
    } else {
        ++i;
        return kReplacement;
    }
    size_t k = i + 1;
    for (int n = 0; n < need; ++n, ++k) {
        if (k >= s.size()) {
            i = k;
            return kReplacement;
        }
        unsigned char cb = byte(k);
        if (cb < lo || cb > hi) {
            i = k;
            return kReplacement;
        }
        lo = 0x80;
        hi = 0xBF;
        c = (c << 6) | (cb & 0x3F);
    }
    i = k;
    return c;
}

bool is_letter(char32_t c) {
    auto cat = utf8proc_category(static_cast<utf8proc_int32_t>(c));
    return cat >= UTF8PROC_CATEGORY_LU && cat <= UTF8PROC_CATEGORY_LO;
}

std::u32string lower_chars(std::string_view text) {
    std::u32string in = decode_utf8(text);
    std::u32string out;
    out.reserve(in.size());
    for (size_t k = 0; k < in.size(); ++k) {
        char32_t c = in[k];
        if (c == 0x130) {  // İ: the one unconditional mapping to two characters
            out += U'i';
            out += char32_t(0x307);
        } else if (c == 0x3A3) {  // Σ at the end of a word is the final sigma
            bool after_letter = k > 0 && is_letter(in[k - 1]);
            bool before_letter = k + 1 < in.size() && is_letter(in[k + 1]);
            out += (after_letter && !before_letter) ? char32_t(0x3C2) : char32_t(0x3C3);
        } else {
            out += static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c)));
        }
    }
    return out;
}

bool is_wide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2329 && c <= 0x232A) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE10 && c <= 0xFE19) ||
           (c >= 0xFE30 && c <= 0xFE6F) || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6);
}

std::vector<std::u32string> split_terms(const std::u32string& text) {
    std::vector<std::u32string> terms;
    std::u32string cur;
    for (char32_t c : text) {
        if (is_unicode_space(c)) {
            if (!cur.empty()) terms.push_back(std::move(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) terms.push_back(std::move(cur));
    return terms;
}

std::string with_final_newline(std::string text) {
    if (!text.empty() && text.back() != '\n') text += '\n';
    return text;
}

std::vector<std::string> byte_sorted(std::vector<std::string> lines) {
    std::stable_sort(lines.begin(), lines.end());
    return lines;
}

std::optional<std::string> read_whole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(buffer).str();
}

}  // namespace

std::u32string decode_utf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) out += next_char(text, i);
    return out;
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool is_valid_utf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        size_t start = i;
        char32_t c = next_char(bytes, i);
        // A genuine U+FFFD in the text is three bytes; a replacement for bad input is not.
        if (c == kReplacement && (i - start != 3 || bytes.substr(start, 3) != "\xEF\xBF\xBD")) return false;
    }
    return true;
}

std::string lossy_utf8(std::string_view bytes) {
    if (is_valid_utf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    for (size_t i = 0; i < bytes.size();) append_utf8(out, next_char(bytes, i));
    return out;
}

std::string path_text(const std::filesystem::path& path) { return lossy_utf8(path.native()); }

std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r') --stop;
        lines.emplace_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string_view> split_at_line_feeds(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

bool is_unicode_space(char32_t c) {
    if ((c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85) return true;
    if (c < 0xA0) return false;
    auto cat = utf8proc_category(static_cast<utf8proc_int32_t>(c));
    return cat == UTF8PROC_CATEGORY_ZS || cat == UTF8PROC_CATEGORY_ZL || cat == UTF8PROC_CATEGORY_ZP;
}

std::string_view trim_start(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        size_t j = i;
        if (!is_unicode_space(next_char(text, j))) break;
        i = j;
    }
    return text.substr(i);
}

std::string_view trim_end(std::string_view text) {
    // ASCII at the end needs no decoding (the listings trim every field of every index line).
    while (!text.empty() && static_cast<unsigned char>(text.back()) < 0x80) {
        const char c = text.back();
        if (c != ' ' && (c < 0x09 || c > 0x0D)) return text;
        text.remove_suffix(1);
    }
    // Walk forward, remembering where the last run of white space began.
    size_t end = 0;
    for (size_t i = 0; i < text.size();) {
        char32_t c = next_char(text, i);
        if (!is_unicode_space(c)) end = i;
    }
    return text.substr(0, end);
}

std::string_view trim(std::string_view text) { return trim_end(trim_start(text)); }

bool is_blank(std::string_view text) { return trim(text).empty(); }

std::string to_lower(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : lower_chars(text)) append_utf8(out, c);
    return out;
}

bool is_upper(char32_t c) {
    if (c >= 'A' && c <= 'Z') return true;
    if (c < 0x80) return false;
    return utf8proc_isupper(static_cast<utf8proc_int32_t>(c)) != 0;
}

std::size_t display_width(std::string_view text) {
    std::size_t width = 0;
    for (size_t i = 0; i < text.size();) width += is_wide(next_char(text, i)) ? 2 : 1;
    return width;
}

std::string pad_display(std::string_view text, std::size_t width) {
    std::string out(text);
    std::size_t have = display_width(text);
    if (have < width) out.append(width - have, ' ');
    return out;
}

bool subsequence_match(std::string_view query, std::string_view candidate) {
    std::vector<std::u32string> terms = split_terms(decode_utf8(query));
    if (terms.empty()) return true;
    std::u32string hay = lower_chars(candidate);
    for (const auto& term : terms) {
        size_t pos = 0;
        std::string term_text;
        for (char32_t c : term) append_utf8(term_text, c);
        for (char32_t c : lower_chars(term_text)) {
            size_t found = hay.find(c, pos);
            if (found == std::u32string::npos) return false;
            pos = found + 1;
        }
    }
    return true;
}

bool smart_case_contains(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return true;
    bool has_upper = false;
    for (char32_t c : decode_utf8(needle)) has_upper = has_upper || is_upper(c);
    if (has_upper) return haystack.find(needle) != std::string_view::npos;
    return to_lower(haystack).find(to_lower(needle)) != std::string::npos;
}

std::string filter_line_views(std::span<const std::string_view> lines, std::string_view query) {
    std::string out;
    if (query.empty()) {
        std::size_t size = 0;
        for (std::string_view line : lines) size += line.size() + 1;
        out.reserve(size);
        for (std::string_view line : lines) {
            out += line;
            out += '\n';
        }
        return out;
    }
    if (which("fzf")) {
        // The lines `fzf -f QUERY` prints, worked out here: fzf runs this on every keystroke, and
        // starting it would cost more than the filtering.
        const std::vector<std::size_t> order = fzf_filter_order(lines, query);
        std::size_t size = 0;
        for (std::size_t i : order) size += lines[i].size() + 1;
        out.reserve(size);
        for (std::size_t i : order) {
            if (is_valid_utf8(lines[i])) out += lines[i];
            else out += lossy_utf8(lines[i]);
            out += '\n';
        }
        return out;
    }
    const std::string needle = to_lower(query);
    for (std::string_view line : lines) {
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (to_lower(line).find(needle) == std::string::npos) continue;
        out += line;
        out += '\n';
    }
    return out;
}

std::string filter_lines(std::string_view text, std::string_view query) {
    if (query.empty()) return with_final_newline(std::string(text));
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return filter_line_views(lines, query);
}

std::vector<std::string> sort_like_shell(std::vector<std::string> lines) {
    // Nothing to sort: handing sort a lone "\n" would bring back one empty line that was never there.
    if (lines.empty()) return lines;
    if (!which("sort")) return byte_sorted(std::move(lines));
    std::string input;
    for (const auto& line : lines) {
        input += line;
        input += '\n';
    }
    ChildCommand sort("sort");
    sort.in = Stdio::Pipe;
    sort.out = Stdio::Pipe;
    Output out = run_child(sort, input);
    // A sort that failed may have quit before reading everything: its status decides first.
    if (!out.status.success()) return byte_sorted(std::move(lines));
    if (out.input_errno) throw SystemError(out.input_errno);
    return split_lines(lossy_utf8(out.out));
}

std::string lines_with_newline(const std::vector<std::string>& lines, std::string_view empty_text) {
    std::string out;
    if (lines.empty()) {
        out = empty_text;
    } else {
        for (size_t k = 0; k < lines.size(); ++k) {
            if (k) out += '\n';
            out += lines[k];
        }
    }
    return with_final_newline(std::move(out));
}

void show_range(const std::filesystem::path& path, std::optional<std::size_t> highlight,
                std::optional<LineRange> range) {
    std::fflush(stdout);
    // Debian installs bat as batcat.
    std::optional<std::filesystem::path> bat_path = which("bat");
    if (!bat_path) bat_path = which("batcat");
    if (bat_path) {
        ChildCommand bat(bat_path->filename().string(), {"--color=always", "--style=numbers"});
        if (highlight) bat.arg("--highlight-line").arg(std::to_string(*highlight));
        if (range) bat.arg("--line-range").arg(fmt::format("{}:{}", range->first, range->last));
        bat.arg(path.native());
        if (run_child(bat).status.success()) return;
    }
    // A preview shows what it can: bytes that are not UTF-8 come out as U+FFFD rather than
    // blanking the whole window.
    std::string text = lossy_utf8(read_whole(path).value_or(""));
    LineRange window = range.value_or(LineRange{1, 40});
    std::string out;
    std::size_t number = 0;
    for (const auto& line : split_lines(text)) {
        ++number;
        if (number < window.first || number > window.last) continue;
        out += fmt::format("{:>6}\t{}\n", number - window.first + 1, line);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

std::optional<std::string> first_non_empty_line(const std::filesystem::path& path) {
    auto text = read_whole(path);
    if (!text || !is_valid_utf8(*text)) return std::nullopt;
    auto lines = split_lines(*text);
    for (size_t k = 0; k < lines.size() && k < 20; ++k) {
        if (!is_blank(lines[k])) return lines[k];
    }
    return std::nullopt;
}

std::string trim_leading_blank_lines(std::string_view text) {
    auto lines = split_lines(text);
    auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return !is_blank(l); });
    std::string out;
    for (auto it = first; it != lines.end(); ++it) {
        out += *it;
        out += '\n';
    }
    return out;
}

std::string stamp_first_line(std::string_view text, std::string_view stamp) {
    auto lines = split_lines(text);
    auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return !is_blank(l); });
    if (first == lines.end()) return fmt::format("[{}]\n", stamp);
    std::string out = fmt::format("[{}] {}\n", stamp, *first);
    for (auto it = first + 1; it != lines.end(); ++it) {
        out += *it;
        out += '\n';
    }
    return out;
}

std::string format_local_time(const char* format) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[128];
    size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, n);
}

std::string timestamp_minute() { return format_local_time("%Y-%m-%d_%H:%M"); }

std::string safe_name(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : decode_utf8(text)) {
        if (c == '/' || c == ':' || c == '\\' || is_unicode_space(c)) out += '-';
        else append_utf8(out, c);
    }
    return out;
}

void push_unique(std::vector<std::string>& list, std::string_view text) {
    if (text.empty()) return;
    if (std::find(list.begin(), list.end(), text) != list.end()) return;
    list.emplace_back(text);
}

std::int32_t parse_i32(std::string_view text, std::int32_t fallback) {
    std::string_view t = trim(text);
    if (t.empty()) return fallback;
    bool negative = false;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (t.empty() || !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) return fallback;
    std::int64_t value = 0;
    for (char c : t) {
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) return fallback;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return fallback;
    return static_cast<std::int32_t>(value);
}

}  // namespace vesk
