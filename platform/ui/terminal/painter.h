// Paints a scene of windows into a canvas of character cells: frames with
// captions, labels, buttons, edit fields, combo boxes with their lists,
// menu bars and message boxes; and says where the cursor goes and which
// window each cell belongs to, for mouse clicks.
#pragma once

#include "ui/frontend.h"
#include "ui/terminal/canvas.h"

#include <functional>
#include <optional>
#include <vector>

namespace ce::ui::term {

// A part of the picture a click can hit.
struct Hit {
    Rect area;            // in cells
    HWND hwnd = nullptr;  // the window hit
    int item = -1;        // an open combo list's entry
    // For edit text: per row of the area, the x in dialog units to report for
    // each cell (so the caret lands on the character clicked), and the y.
    std::vector<std::vector<int>> x_units;
    std::vector<int> y_units;
};

struct Frame {
    Canvas canvas;
    int cursor_x = -1, cursor_y = -1;  // -1: no cursor
    std::vector<Hit> hits;             // bottom to top
    bool too_small = false;            // the notice was painted instead
};

// The owner of a top-level window (nullptr if none); message boxes are
// centred over it and dialogs without DS_CENTER placed from its corner.
using OwnerOf = std::function<HWND(HWND)>;

Frame paint(const Scene &scene, int columns, int rows, const OwnerOf &owner_of);

// What a click on a cell of a painted frame means, if anything.
std::optional<Input> click_at(const Frame &frame, int x, int y);

// Text of a label or button as shown: "&&" is "&", a single "&" (the
// mnemonic mark) is dropped.
std::u16string without_prefix(std::u16string_view text);

}  // namespace ce::ui::term
