// Dialog units to character cells: 4 horizontal and 8 vertical units make a
// cell. Both edges of a control go to their nearest cell line with the same
// rule, so controls that do not overlap in units do not overlap in cells;
// a control that would shrink to nothing keeps one cell, taken from the
// side where it touches no neighbour.
#pragma once

#include <vector>

namespace ce::ui::term {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    int right() const { return x + w; }
    int bottom() const { return y + h; }
    bool contains(int cx, int cy) const { return cx >= x && cx < right() && cy >= y && cy < bottom(); }
    bool overlaps(const Rect &o) const {
        return x < o.right() && o.x < right() && y < o.bottom() && o.y < bottom();
    }
    bool operator==(const Rect &) const = default;
};

// The nearest cell line to a position in units (halves go up).
int column_of(int units);
int row_of(int units);

// A rectangle in units (x, y, cx, cy) as cells, each side at least one cell.
Rect cells_of(int x, int y, int cx, int cy);

// The cells of sibling controls given in units: like cells_of, and a control
// that had to grow to one cell is moved back by one where growing made it
// cover a neighbour.
std::vector<Rect> layout_cells(const std::vector<Rect> &units);

// Units to cells for a size (the client area of a window).
int columns_for(int cx);
int rows_for(int cy);

}  // namespace ce::ui::term
