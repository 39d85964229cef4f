#include "keybind/source.hpp"

#include <charconv>

#include <utf8proc.h>

#include "core/text.hpp"
#include "keybind/keys.hpp"
#include "keybind/phrase.hpp"

namespace vesk::keybind::source {

namespace {

// Byte length of the white space character at `pos`, 0 when the character there is none.
std::size_t space_length(std::string_view text, std::size_t pos) {
    utf8proc_int32_t c = -1;
    auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + pos),
                              static_cast<utf8proc_ssize_t>(text.size() - pos), &c);
    if (n <= 0 || c < 0 || !is_unicode_space(static_cast<char32_t>(c))) return 0;
    return static_cast<std::size_t>(n);
}

std::size_t skip_space(std::string_view text, std::size_t pos) {
    while (pos < text.size()) {
        std::size_t n = space_length(text, pos);
        if (n == 0) break;
        pos += n;
    }
    return pos;
}

std::string collapse_blanks(std::string_view text) {
    std::string out;
    for (std::string_view w : split_words(text)) {
        if (!out.empty()) out += ' ';
        out += w;
    }
    return out;
}

void remove_all(std::string& text, std::string_view needle) {
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at)) {
        text.erase(at, needle.size());
    }
}

// The comment directly above a declaration, as a description, when it is a usable one.
std::optional<std::string> comment_description(std::string_view above) {
    std::string_view line = trim(above);
    if (!line.starts_with('#') || line.starts_with("##")) return std::nullopt;
    std::size_t text_start = line.find_first_not_of('#');
    line = text_start == std::string_view::npos ? std::string_view{} : trim(line.substr(text_start));
    if (line.empty() || line.find_first_not_of("-=") == std::string_view::npos) return std::nullopt;
    if (auto stop = line.find(". "); stop != std::string_view::npos) {
        return std::string(trim_end(line.substr(0, stop + 1)));
    }
    return std::string(line);
}

// The command itself, shortened, for commands that have neither a comment nor a phrase.
std::string command_description(std::string_view command) {
    std::string_view shown = command;
    for (std::string_view runner : {"run-shell", "display-popup", "display-menu"}) {
        if (!command.starts_with(runner)) continue;
        std::size_t open = command.find('"', runner.size());
        std::size_t close = command.rfind('"');
        if (open != std::string_view::npos && close != std::string_view::npos && close > open) {
            shown = trim(command.substr(open + 1, close - open - 1));
        }
        break;
    }
    std::string text = collapse_blanks(shown);
    remove_all(text, "#{@zelt}/bin/");
    remove_all(text, "#{@zelt}/");

    std::u32string chars = decode_utf8(text);
    if (chars.size() <= 48) return text;
    std::string cut;
    for (std::size_t i = 0; i < 47; ++i) append_utf8(cut, chars[i]);
    return cut + "…";
}

std::string describe(std::string_view command, const std::vector<std::string_view>& lines,
                     std::size_t index) {
    if (index > 0) {
        if (auto comment = comment_description(lines[index - 1])) return *comment;
    }
    if (auto phrase = phrase::command_phrase(split_words(command))) return *phrase;
    return command_description(command);
}

struct Declared {
    std::string table;
    std::string key;
    std::string command;
};

std::optional<Declared> read_declaration(std::string_view line) {
    std::string_view rest = trim_start(line);
    if (rest.starts_with("bind-key ")) {
        rest.remove_prefix(8);
    } else if (rest.starts_with("bind ")) {
        rest.remove_prefix(4);
    } else {
        return std::nullopt;
    }

    std::string table = "prefix";
    while (true) {
        auto token = next_token(rest);
        if (!token) return std::nullopt;
        std::string_view word = token->word;
        rest = token->rest;
        if (!word.starts_with('-') || word == "-") {
            std::string_view command = trim(rest);
            if (command.empty()) return std::nullopt;
            return Declared{std::move(table), keys::unquote_key(word), std::string(command)};
        }
        if (word == "-n") {
            table = "root";
        } else if (word == "-T" || word == "-N") {
            auto value = next_token(rest);
            if (!value) return std::nullopt;
            if (word == "-T") table = std::string(value->word);
            rest = value->rest;
        }
        // -r and every other flag: no effect on the record.
    }
}

}  // namespace

std::optional<Token> next_token(std::string_view text) {
    std::size_t start = skip_space(text, 0);
    if (start >= text.size()) return std::nullopt;
    std::size_t end = start;
    while (end < text.size() && space_length(text, end) == 0) ++end;
    return Token{text.substr(start, end - start), text.substr(end)};
}

std::vector<std::string_view> split_words(std::string_view text) {
    std::vector<std::string_view> words;
    while (auto token = next_token(text)) {
        words.push_back(token->word);
        text = token->rest;
    }
    return words;
}

std::optional<std::size_t> origin_line(std::string_view origin) {
    std::size_t colon = origin.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view digits = origin.substr(colon + 1);
    std::size_t value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

std::vector<Binding> parse(std::string_view text, std::string_view source) {
    std::vector<Binding> bindings;
    std::vector<std::string_view> lines = split_at_line_feeds(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto declared = read_declaration(lines[i]);
        if (!declared) continue;
        Binding b;
        b.description = describe(declared->command, lines, i);
        b.group = phrase::group_for(declared->command);
        b.table = std::move(declared->table);
        b.key = std::move(declared->key);
        b.command = std::move(declared->command);
        b.origin = std::string(source) + ":" + std::to_string(i + 1);
        b.source = std::string(source);
        bindings.push_back(std::move(b));
    }
    return bindings;
}

}  // namespace vesk::keybind::source
