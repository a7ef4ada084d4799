// Text as terminal cells: UTF-16 decoded into characters with their width
// (two cells for Japanese and other wide text, none for combining marks),
// cut to a width without ever splitting a wide character.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ce::ui::term {

struct Glyph {
    char32_t ch = U' ';  // what to show (unprintable input shows U+FFFD)
    int width = 1;       // 0, 1 or 2 cells
    int offset = 0;      // where it starts in the UTF-16 text
    int units = 1;       // UTF-16 units it came from
};

// Cells a character takes: 2 for wide, 0 for combining, 1 otherwise.
// Control characters and unpaired surrogates count as one cell (shown as
// a replacement mark).
int char_width(char32_t ch);

// Decodes UTF-16; an unpaired surrogate becomes U+FFFD, a control
// character U+FFFD (a tab becomes a blank).
std::vector<Glyph> glyphs(std::u16string_view text);

// Cells the whole text takes.
int text_width(std::u16string_view text);

// The glyphs from `first` that fit in `cells` cells (a wide character that
// would stick out is left off): the index one past the last that fits.
size_t fit(const std::vector<Glyph> &g, size_t first, int cells);

// The glyph index at a UTF-16 offset (the glyph that contains it, or
// g.size() at or past the end).
size_t glyph_at_offset(const std::vector<Glyph> &g, int offset);

// Splits text into rows of at most `cells` cells: at line breaks (CR, LF,
// CRLF), at the last blank that fits, else inside a word (never inside a
// wide character).
std::vector<std::u16string> wrap(std::u16string_view text, int cells);

}  // namespace ce::ui::term
