#include "ui/terminal/geometry.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace ce::ui::term {
namespace {

std::string str(const Rect &r) {
    return "{" + std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.w) + "x" +
           std::to_string(r.h) + "}";
}

TEST(Geometry, UnitsToCells) {
    struct Case {
        Rect units;
        Rect cells;
    };
    // Controls of the terminal sample's dialogs: 4 units a column, 8 a row.
    const Case cases[] = {
        {{5, 4, 48, 10}, {1, 1, 12, 1}},      // label above the send field
        {{5, 14, 120, 12}, {1, 2, 30, 1}},    // send field right under it
        {{97, 28, 28, 12}, {24, 4, 7, 1}},    // Send button
        {{5, 50, 120, 55}, {1, 6, 30, 7}},    // receive field, seven rows
        {{87, 115, 38, 14}, {22, 14, 9, 2}},  // EXIT
        {{0, 0, 3, 3}, {0, 0, 1, 1}},         // smaller than a cell still shows
        {{-6, -12, 8, 16}, {-1, -1, 2, 2}},   // off the left and top edge
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(str(c.units));
        Rect got = cells_of(c.units.x, c.units.y, c.units.w, c.units.h);
        EXPECT_EQ(got, c.cells) << str(got);
    }
}

TEST(Geometry, NeighboursThatTouchInUnitsDoNotOverlapInCells) {
    // Rows of controls side by side, with random sizes (a cell or more) and
    // gaps of none to a few units, as dialog templates place them.
    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        std::vector<Rect> units;
        int y = static_cast<int>(rng() % 8);
        for (int row = 0; row < 4; ++row) {
            int x = static_cast<int>(rng() % 5);
            int h = 8 + static_cast<int>(rng() % 20);
            for (int col = 0; col < 5; ++col) {
                int w = 4 + static_cast<int>(rng() % 40);
                units.push_back(Rect{x, y, w, h});
                x += w + static_cast<int>(rng() % 4);
            }
            y += h + static_cast<int>(rng() % 4);
        }
        std::vector<Rect> cells = layout_cells(units);
        for (size_t i = 0; i < cells.size(); ++i)
            for (size_t j = i + 1; j < cells.size(); ++j)
                ASSERT_FALSE(cells[i].overlaps(cells[j]))
                    << "round " << round << ": " << str(units[i]) << " -> " << str(cells[i]) << " and " << str(units[j])
                    << " -> " << str(cells[j]);
    }
}

TEST(Geometry, TinyControlGrowsAwayFromItsNeighbour) {
    struct Case {
        const char *name;
        std::vector<Rect> units;
        std::vector<Rect> cells;
    };
    const Case cases[] = {
        // A 1-unit-wide marker squeezed between two controls takes the free
        // cell before it, not the cell of the control after it.
        {"marker between controls", {{0, 0, 8, 8}, {10, 0, 1, 8}, {12, 0, 8, 8}},
         {{0, 0, 2, 1}, {2, 0, 1, 1}, {3, 0, 2, 1}}},
        // A 2-unit-high line under a label takes the row under the label.
        {"thin line under a label", {{0, 0, 40, 8}, {0, 8, 40, 2}}, {{0, 0, 10, 1}, {0, 1, 10, 1}}},
        // ...and the row above it when the row below belongs to the next field.
        {"thin line above a field", {{0, 0, 40, 8}, {0, 12, 40, 2}, {0, 14, 40, 8}},
         {{0, 0, 10, 1}, {0, 1, 10, 1}, {0, 2, 10, 1}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Rect> got = layout_cells(c.units);
        ASSERT_EQ(got.size(), c.cells.size());
        for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], c.cells[i]) << i << ": " << str(got[i]);
        for (size_t i = 0; i < got.size(); ++i)
            for (size_t j = i + 1; j < got.size(); ++j) EXPECT_FALSE(got[i].overlaps(got[j])) << i << " and " << j;
    }
}

}  // namespace
}  // namespace ce::ui::term
