#include "ui/terminal/geometry.h"

#include <algorithm>

namespace ce::ui::term {
namespace {

int floor_div(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool covers_other(const std::vector<Rect> &cells, size_t i) {
    for (size_t j = 0; j < cells.size(); ++j)
        if (j != i && cells[i].overlaps(cells[j])) return true;
    return false;
}

}  // namespace

int column_of(int units) { return floor_div(units + 2, 4); }
int row_of(int units) { return floor_div(units + 4, 8); }

Rect cells_of(int x, int y, int cx, int cy) {
    Rect r;
    r.x = column_of(x);
    r.y = row_of(y);
    r.w = std::max(1, column_of(x + std::max(cx, 0)) - r.x);
    r.h = std::max(1, row_of(y + std::max(cy, 0)) - r.y);
    return r;
}

std::vector<Rect> layout_cells(const std::vector<Rect> &units) {
    std::vector<Rect> cells;
    cells.reserve(units.size());
    for (const Rect &u : units) cells.push_back(cells_of(u.x, u.y, u.w, u.h));
    for (size_t i = 0; i < cells.size(); ++i) {
        const Rect &u = units[i];
        bool grew_w = column_of(u.x + std::max(u.w, 0)) - column_of(u.x) < 1;
        bool grew_h = row_of(u.y + std::max(u.h, 0)) - row_of(u.y) < 1;
        if (!grew_w && !grew_h) continue;
        if (!covers_other(cells, i)) continue;
        // Try the cell before instead of the cell after.
        Rect moved = cells[i];
        if (grew_w) moved.x -= 1;
        if (grew_h) moved.y -= 1;
        Rect keep = cells[i];
        cells[i] = moved;
        if (covers_other(cells, i)) cells[i] = keep;
    }
    return cells;
}

int columns_for(int cx) { return std::max(1, column_of(cx)); }
int rows_for(int cy) { return std::max(1, row_of(cy)); }

}  // namespace ce::ui::term
