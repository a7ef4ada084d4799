// A grid of character cells that the painter fills and the terminal layer
// copies to the screen, cell by cell where it differs from what is shown.
#pragma once

#include "ui/terminal/cells.h"
#include "ui/terminal/geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ce::ui::term {

// What a cell shows, as a part of the picture; the terminal layer turns a
// role into colours, or into bold/reverse/underline/dim on a monochrome
// terminal.
enum class Role : uint8_t {
    Screen,           // outside every window
    Window,           // a window's face, frames, labels, buttons
    Caption,          // title bar of the active window
    CaptionInactive,  // title bar of a window behind it
    Disabled,         // dimmed text of a disabled control
    ButtonDefault,    // the button Enter would press
    Focus,            // the control with the keyboard focus
    Field,            // an edit field or a combo box's field
    FieldReadOnly,    // a field that cannot be typed in
    Selection,        // selected text in a focused field
    List,             // an open combo list
    ListSelected,     // its selected entry
    MenuBar,          // the shell's menu bar
    IconStop,         // message box icons
    IconWarning,
    IconInfo,
    Notice,           // "terminal too small"
};
constexpr int kRoleCount = static_cast<int>(Role::Notice) + 1;

struct Cell {
    char32_t ch = U' ';
    char32_t mark = 0;   // a combining mark shown with ch
    Role role = Role::Screen;
    bool tail = false;   // right half of the wide character to its left
    bool operator==(const Cell &) const = default;
};

class Canvas {
public:
    Canvas() = default;
    Canvas(int width, int height) : w_(width), h_(height), cells_(static_cast<size_t>(width * height)) {}

    int width() const { return w_; }
    int height() const { return h_; }
    const Cell &at(int x, int y) const { return cells_[static_cast<size_t>(y * w_ + x)]; }
    bool operator==(const Canvas &) const = default;

    // Paints the role over a rectangle (clipped), keeping nothing of what
    // was there.
    void fill(const Rect &r, Role role, char32_t ch = U' ');
    // Puts one character of `width` cells at x, y (clipped); a wide
    // character that does not fit whole leaves a blank instead.
    void put(int x, int y, char32_t ch, int width, Role role);
    // Writes text from x on row y in at most `cells` cells; returns the
    // cells used. Combining marks join the character before them.
    int text(int x, int y, std::u16string_view text, int cells, Role role);
    int text(int x, int y, const std::vector<Glyph> &g, size_t first, int cells, Role role);
    // Sets the role of cells, leaving their characters.
    void recolour(int x, int y, int cells, Role role);

    // The text of a row from x over `cells` cells, as UTF-8 (tails left
    // out), for tests and for the sake of reading a frame.
    std::string row_text(int y, int x = 0, int cells = -1) const;

private:
    Cell *cell(int x, int y) { return &cells_[static_cast<size_t>(y * w_ + x)]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
    void clear_wide_at(int x, int y);

    int w_ = 0, h_ = 0;
    std::vector<Cell> cells_;
};

// Box drawing characters the painter uses; the terminal layer shows them
// with the terminal's own line graphics where it has no Unicode.
namespace box {
constexpr char32_t kH = U'\u2500', kV = U'\u2502', kTL = U'\u250C', kTR = U'\u2510', kBL = U'\u2514', kBR = U'\u2518';
constexpr char32_t kUp = U'\u25B2', kDown = U'\u25BC', kTrack = U'\u2591', kThumb = U'\u2588';
}  // namespace box

}  // namespace ce::ui::term
