#include "ui/terminal/cells.h"

#include <gtest/gtest.h>

#include <clocale>

namespace ce::ui::term {
namespace {

// Widths come from the C library, as in the front-end: under UTF-8.
struct Utf8Locale {
    Utf8Locale() { setlocale(LC_CTYPE, "C.UTF-8"); }
} utf8_locale;

std::string show(const std::u16string &s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            char buf[12];
            snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out;
}

TEST(Cells, GlyphWidthsAndReplacements) {
    struct Case {
        std::u16string text;
        std::vector<char32_t> chars;
        std::vector<int> widths;
        int total;
    };
    const Case cases[] = {
        {u"ab", {U'a', U'b'}, {1, 1}, 2},
        {u"日本", {U'日', U'本'}, {2, 2}, 4},
        {u"ｱ", {U'ｱ'}, {1}, 1},                                 // half-width katakana
        {u"e\u0301", {U'e', U'\u0301'}, {1, 0}, 1},              // combining accent
        {u"\u0301", {U'\u0301'}, {1}, 1},                        // a mark with nothing to join
        {u"\U0001F600", {U'\U0001F600'}, {2}, 2},                // surrogate pair
        {u"a\xD800z", {U'a', U'\uFFFD', U'z'}, {1, 1, 1}, 3},    // unpaired high surrogate
        {u"\xDC00", {U'\uFFFD'}, {1}, 1},                        // lone low surrogate
        {u"a\tb", {U'a', U' ', U'b'}, {1, 1, 1}, 3},             // tab shows as a blank
        {u"\x01", {U'\uFFFD'}, {1}, 1},                          // control character
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(show(c.text));
        std::vector<Glyph> g = glyphs(c.text);
        ASSERT_EQ(g.size(), c.chars.size());
        for (size_t i = 0; i < g.size(); ++i) {
            EXPECT_EQ(static_cast<uint32_t>(g[i].ch), static_cast<uint32_t>(c.chars[i])) << "glyph " << i;
            EXPECT_EQ(g[i].width, c.widths[i]) << "glyph " << i;
        }
        EXPECT_EQ(text_width(c.text), c.total);
    }
}

TEST(Cells, FitNeverSplitsAWideCharacter) {
    struct Case {
        std::u16string text;
        size_t first;
        int cells;
        size_t end;
    };
    const Case cases[] = {
        {u"日本語", 0, 5, 2}, {u"日本語", 0, 6, 3}, {u"日本語", 0, 1, 0}, {u"a日b", 0, 2, 1},
        {u"a日b", 1, 3, 3},   {u"abc", 0, 0, 0},    {u"abc", 3, 4, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(show(c.text) + " from " + std::to_string(c.first) + " in " + std::to_string(c.cells));
        EXPECT_EQ(fit(glyphs(c.text), c.first, c.cells), c.end);
    }
}

TEST(Cells, GlyphAtOffsetCountsSurrogatePairsAsOne) {
    std::vector<Glyph> g = glyphs(u"a\U0001F600b");
    EXPECT_EQ(glyph_at_offset(g, 0), 0u);
    EXPECT_EQ(glyph_at_offset(g, 1), 1u);
    EXPECT_EQ(glyph_at_offset(g, 2), 1u);  // inside the pair
    EXPECT_EQ(glyph_at_offset(g, 3), 2u);
    EXPECT_EQ(glyph_at_offset(g, 4), 3u);  // the end
}

TEST(Cells, WrapBreaksAtBlanksAndLineEndsWithinTheWidth) {
    struct Case {
        std::u16string text;
        int cells;
        std::vector<std::u16string> rows;
    };
    const Case cases[] = {
        {u"hello world", 5, {u"hello", u"world"}},
        {u"hello world", 20, {u"hello world"}},
        {u"one two three", 8, {u"one two", u"three"}},
        {u"abcdefgh", 3, {u"abc", u"def", u"gh"}},
        {u"a\r\nb\nc", 10, {u"a", u"b", u"c"}},
        {u"日本語です", 5, {u"日本", u"語で", u"す"}},
        {u"日本語", 1, {u"日", u"本", u"語"}},  // too narrow: one character a row, never lost
        {u"", 4, {u""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(show(c.text) + " in " + std::to_string(c.cells));
        std::vector<std::u16string> rows = wrap(c.text, c.cells);
        ASSERT_EQ(rows.size(), c.rows.size());
        for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(show(rows[i]), show(c.rows[i])) << "row " << i;
    }
}

}  // namespace
}  // namespace ce::ui::term
