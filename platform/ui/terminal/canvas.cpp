#include "ui/terminal/canvas.h"
#include "core/codepage.h"

namespace ce::ui::term {

void Canvas::fill(const Rect &r, Role role, char32_t ch) {
    for (int y = r.y; y < r.bottom(); ++y)
        for (int x = r.x; x < r.right(); ++x) {
            if (!inside(x, y)) continue;
            clear_wide_at(x, y);
            *cell(x, y) = Cell{ch, 0, role, false};
        }
}

// Overwriting half of a wide character blanks its other half.
void Canvas::clear_wide_at(int x, int y) {
    Cell *c = cell(x, y);
    if (c->tail && x > 0) {
        Cell *head = cell(x - 1, y);
        head->ch = U' ';
        head->mark = 0;
    } else if (!c->tail && x + 1 < w_ && cell(x + 1, y)->tail) {
        Cell *t = cell(x + 1, y);
        t->tail = false;
        t->ch = U' ';
    }
}

void Canvas::put(int x, int y, char32_t ch, int width, Role role) {
    if (!inside(x, y)) return;
    if (width == 2 && !inside(x + 1, y)) {
        ch = U' ';
        width = 1;
    }
    clear_wide_at(x, y);
    *cell(x, y) = Cell{ch, 0, role, false};
    if (width == 2) {
        clear_wide_at(x + 1, y);
        *cell(x + 1, y) = Cell{U' ', 0, role, true};
    }
}

int Canvas::text(int x, int y, std::u16string_view t, int cells, Role role) {
    return text(x, y, glyphs(t), 0, cells, role);
}

int Canvas::text(int x, int y, const std::vector<Glyph> &g, size_t first, int cells, Role role) {
    int used = 0;
    int last = -1;  // x of the last character put, for combining marks
    for (size_t i = first; i < g.size(); ++i) {
        if (g[i].width == 0) {
            if (last >= 0 && inside(last, y)) cell(last, y)->mark = g[i].ch;
            continue;
        }
        if (used + g[i].width > cells) break;
        put(x + used, y, g[i].ch, g[i].width, role);
        last = x + used;
        used += g[i].width;
    }
    return used;
}

void Canvas::recolour(int x, int y, int cells, Role role) {
    for (int i = 0; i < cells; ++i)
        if (inside(x + i, y)) cell(x + i, y)->role = role;
}

std::string Canvas::row_text(int y, int x, int cells) const {
    std::string out;
    if (y < 0 || y >= h_) return out;
    int end = cells < 0 ? w_ : std::min(w_, x + cells);
    auto utf8 = [&out](char32_t c) { ce::encode_char(ce::kUtf8, c, out); };
    for (int i = std::max(x, 0); i < end; ++i) {
        const Cell &c = at(i, y);
        if (c.tail) continue;
        utf8(c.ch);
        if (c.mark) utf8(c.mark);
    }
    return out;
}

}  // namespace ce::ui::term
