#include <gtest/gtest.h>

#include "pickers/note_lines.hpp"

using namespace vesk::pickers;
using namespace std::string_literals;

TEST(NoteLines, ContentLineRule) {
    auto p = parse_note_mf_line("'notes/a.md\t12\thello'");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->file + "|" + p->line, "notes/a.md|12");
    EXPECT_FALSE(parse_note_mf_line("a.md\t12"));
    EXPECT_EQ(parse_note_mf_line("a.md\t12\t")->line, "12");
    // fzf's own quoting of {} kept by a caller: the ' of the name comes back as it was; a text
    // that is not fzf's quoting only loses the outer pair.
    EXPECT_EQ(parse_note_mf_line("'./it'\\''s.md\t3\tdon'\\''t'")->file, "./it's.md");
    EXPECT_EQ(parse_note_mf_line("'a'b\t1\tx'")->file, "a'b");
}

TEST(NoteLines, EveryNameComesBackByteForByteFromOneLine) {
    for (const std::string name : {"two\nlines.md", "tab\there.md", "back\\nslash.md", "bad\xff\x01utf8.md", "cr\r.md",
                                   "it's $(touch PWNED) #{pane_id} 한글:3:.md"}) {
        std::string encoded = encode_note_name(name);
        EXPECT_EQ(encoded.find_first_of("\t\n\r"), std::string::npos) << encoded;
        EXPECT_EQ(decode_note_name(encoded), name) << encoded;
        std::string line = note_content_line({"./" + name, "7", "x\ty"});
        EXPECT_EQ(parse_note_mf_line(line.substr(0, line.size() - 1))->file, "./" + name);
    }
    // Only '\', controls and bytes that are not UTF-8 are escaped; a stray '\' reads as itself.
    EXPECT_EQ(encode_note_name("it's $(x) #{y} 한글:3:"), "it's $(x) #{y} 한글:3:");
    EXPECT_EQ(encode_note_name("a\\b\tc\x01\xff"), "a\\\\b\\tc\\x01\\xff");
    std::string line = "kept ";
    append_note_name(line, "\x7f end\\");
    EXPECT_EQ(line, "kept \\x7f end\\\\");
    EXPECT_EQ(decode_note_name("a\\qb\\"), "a\\qb\\");
}

TEST(NoteLines, SelectionPathsRipgrepRecordsAndSearchContentLines) {
    EXPECT_EQ(note_selection_path("/r", "content", "./work/list.md\t7\tbuy milk"), std::filesystem::path("/r/work/list.md"));
    EXPECT_EQ(note_selection_path("/r", "content", "./a.md\t7"), std::filesystem::path("/r/a.md"));
    EXPECT_EQ(note_selection_path("/r", "filename", "././sub/a.md//"), std::filesystem::path("/r/sub/a.md"));
    EXPECT_EQ(note_selection_path("/r", "filename", "/abs/x.md"), std::filesystem::path("/abs/x.md"));
    EXPECT_FALSE(note_selection_path("/r", "filename", ""));

    auto hits = parse_rg_null_hits("./x.md\0" "3:a:b\r\n" "./two\nl.md\0" "12:hit\n" "junk\n" "./y.md\0" "z:no\n"s);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].file + "|" + hits[0].line + "|" + hits[0].text, "./x.md|3|a:b");
    EXPECT_EQ(note_content_line(hits[1]), "./two\\nl.md\t12\thit\n");
    EXPECT_EQ(search_content_hit_line("n", {"./w/a:b.md", "4", "x\ty"}), "w/a:b.md:4:x y\tn/w/a:b.md\t4\n");
    EXPECT_EQ(search_content_file_line("n/", "n/s/a.md"), "s/a.md\tn/s/a.md\t0\n");
}
