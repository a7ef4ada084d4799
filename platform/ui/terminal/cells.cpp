// Cell widths come from the C library for the process's locale (the
// terminal front-end selects the user's locale before it draws), so they
// agree with what the terminal itself does.
#include "ui/terminal/cells.h"

#include <cwchar>

namespace ce::ui::term {

int char_width(char32_t ch) {
    if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0)) return 1;
    if (ch >= 0xD800 && ch <= 0xDFFF) return 1;
    int w = wcwidth(static_cast<wchar_t>(ch));
    if (w < 0) return 1;
    return w > 2 ? 2 : w;
}

std::vector<Glyph> glyphs(std::u16string_view text) {
    std::vector<Glyph> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        Glyph g;
        g.offset = static_cast<int>(i);
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            g.units = 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c == U'\t') c = U' ';
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) c = 0xFFFD;
        g.ch = c;
        g.width = char_width(c);
        // A mark that combines with nothing before it is shown on its own.
        if (g.width == 0 && out.empty()) g.width = 1;
        out.push_back(g);
        i += static_cast<size_t>(g.units);
    }
    return out;
}

int text_width(std::u16string_view text) {
    int w = 0;
    for (const Glyph &g : glyphs(text)) w += g.width;
    return w;
}

size_t fit(const std::vector<Glyph> &g, size_t first, int cells) {
    int used = 0;
    size_t i = first;
    while (i < g.size() && used + g[i].width <= cells) used += g[i++].width;
    return i;
}

size_t glyph_at_offset(const std::vector<Glyph> &g, int offset) {
    for (size_t i = 0; i < g.size(); ++i)
        if (offset < g[i].offset + g[i].units) return i;
    return g.size();
}

std::vector<std::u16string> wrap(std::u16string_view text, int cells) {
    std::vector<std::u16string> rows;
    if (cells < 1) cells = 1;
    size_t start = 0;
    for (;;) {
        size_t end = text.find_first_of(u"\r\n", start);
        std::u16string_view line = text.substr(start, end == std::u16string_view::npos ? text.npos : end - start);
        // Cut the logical line into rows that fit.
        std::vector<Glyph> g = glyphs(line);
        size_t i = 0;
        do {
            size_t stop = fit(g, i, cells);
            if (stop == i && i < g.size()) stop = i + 1;  // never stall on a glyph wider than the row
            if (stop < g.size()) {
                // Break at the last blank inside the row, if there is one.
                size_t b = stop;
                while (b > i && line[static_cast<size_t>(g[b - 1].offset)] != u' ') --b;
                if (b > i) stop = b;
            }
            size_t from = i < g.size() ? static_cast<size_t>(g[i].offset) : line.size();
            size_t to = stop < g.size() ? static_cast<size_t>(g[stop].offset) : line.size();
            std::u16string row(line.substr(from, to - from));
            while (!row.empty() && row.back() == u' ' && stop < g.size()) row.pop_back();
            rows.push_back(row);
            i = stop;
            // Blanks at the start of a continued row are dropped.
            while (i < g.size() && i > 0 && g[i].ch == U' ') ++i;
        } while (i < g.size());
        if (end == std::u16string_view::npos) break;
        start = end + 1;
        if (text[end] == u'\r' && start < text.size() && text[start] == u'\n') ++start;
    }
    return rows;
}

}  // namespace ce::ui::term
