// The painter works from dialog units: a window's client area and its
// controls go to cells with the shared rounding of geometry.h, children
// relative to the client area's corner. A dialog's frame takes one cell
// round the client area (its top line holds the caption), and the shell's
// menu bar one row above the bottom line.
#include "ui/terminal/painter.h"

#include "controls/text_layout.h"

#include <algorithm>
#include <map>

namespace ce::ui::term {
namespace {

constexpr int kComboFieldUnits = 12;  // height of a combo box's field in units

// Where a top-level window went.
struct Placed {
    Rect frame;   // the whole window
    Rect client;  // its client area
};

struct Painter {
    Canvas &c;
    Frame &f;
    std::map<HWND, Placed> placed;
    int mid_ = 0;  // the row a one-line control is drawn on

    // One-line controls (labels, buttons, fields) go on the row that holds
    // their middle, so that a label and the field beside it share a row
    // even when their tops are a few units apart. For a control of a cell
    // or more that row lies inside its cells.
    static int middle_row(const Rect &units, const Rect &cells) {
        if (units.h < 8) return cells.y;
        int mid = units.y + units.h / 2;
        int row = mid >= 0 ? mid / 8 : -((-mid + 7) / 8);
        return std::clamp(row, cells.y, cells.bottom() - 1);
    }

    bool has_frame(const Node &n) const {
        return n.kind == Kind::Dialog || (n.style & (WS_CAPTION | WS_BORDER | WS_DLGFRAME));
    }
    bool has_caption(const Node &n) const { return (n.style & WS_CAPTION) == WS_CAPTION; }

    // Width of the message box icon's column ("Stop", ...), 0 without one.
    static std::u16string icon_word(UINT icon) {
        switch (icon & MB_ICONMASK) {
        case MB_ICONHAND: return u"Stop";
        case MB_ICONQUESTION: return u"?";
        case MB_ICONEXCLAMATION: return u"Warning";
        case MB_ICONASTERISK: return u"Info";
        default: return {};
        }
    }
    static Role icon_role(UINT icon) {
        switch (icon & MB_ICONMASK) {
        case MB_ICONHAND: return Role::IconStop;
        case MB_ICONEXCLAMATION: return Role::IconWarning;
        default: return Role::IconInfo;
        }
    }
    static int icon_columns(const Node &n) {
        std::u16string w = icon_word(n.icon);
        return n.message_box && !w.empty() ? static_cast<int>(w.size()) + 3 : 0;
    }

    // The size of a window's frame in cells.
    Rect frame_size(const Node &n, int cols, int rows) const {
        Rect r;
        if (n.cx == CW_USEDEFAULT || n.cy == CW_USEDEFAULT) {
            r.w = cols;
            r.h = rows;
            return r;
        }
        r.w = columns_for(n.cx) + icon_columns(n);
        r.h = rows_for(n.cy);
        if (has_frame(n)) {
            r.w += 2;
            r.h += 2;
        }
        if (n.menu_bar) r.h += 1;
        return r;
    }

    void place(const Node &n, const OwnerOf &owner_of, int cols, int rows) {
        Rect fr = frame_size(n, cols, rows);
        HWND owner = owner_of ? owner_of(n.hwnd) : nullptr;
        auto op = owner ? placed.find(owner) : placed.end();
        if (n.message_box || (n.kind == Kind::Dialog && (n.style & DS_CENTER))) {
            // Message boxes over their owner; centred dialogs on the screen.
            Rect over{0, 0, cols, rows};
            if (n.message_box && op != placed.end()) over = op->second.frame;
            fr.x = over.x + (over.w - fr.w) / 2;
            fr.y = over.y + (over.h - fr.h) / 2;
        } else if (n.x != CW_USEDEFAULT) {
            Rect from = op != placed.end() ? op->second.client : Rect{0, 0, cols, rows};
            fr.x = from.x + column_of(n.x);
            fr.y = from.y + row_of(n.y);
        }
        fr.x = std::clamp(fr.x, 0, std::max(cols - fr.w, 0));
        fr.y = std::clamp(fr.y, 0, std::max(rows - fr.h, 0));
        Placed p;
        p.frame = fr;
        p.client = fr;
        if (has_frame(n)) p.client = Rect{fr.x + 1, fr.y + 1, fr.w - 2, fr.h - 2};
        if (n.menu_bar) p.client.h -= 1;
        placed[n.hwnd] = p;
    }

    void window(const Node &n) {
        const Placed &p = placed[n.hwnd];
        c.fill(p.frame, Role::Window);
        if (has_frame(n)) border(n, p.frame);
        if (n.menu_bar) c.fill(Rect{p.client.x, p.client.bottom(), p.client.w, 1}, Role::MenuBar);
        Hit whole;
        whole.area = p.client;
        whole.hwnd = n.hwnd;
        f.hits.push_back(whole);

        // The message box icon sits left of the text.
        int shift = icon_columns(n);
        if (shift) {
            std::u16string word = icon_word(n.icon);
            c.text(p.client.x + 1, p.client.y + 1, u" " + word + u" ", shift - 1, icon_role(n.icon));
        }

        std::vector<const Node *> shown;
        std::vector<Rect> units;
        for (const Node &ch : n.children) {
            if (!ch.visible) continue;
            shown.push_back(&ch);
            int cy = ch.kind == Kind::ComboBox && (ch.style & 3) != CBS_SIMPLE ? std::min(ch.cy, kComboFieldUnits) : ch.cy;
            units.push_back(Rect{ch.x, ch.y, ch.cx, cy});
        }
        std::vector<Rect> cells = layout_cells(units);
        for (size_t i = 0; i < shown.size(); ++i) {
            Rect r = cells[i];
            r.x += p.client.x + shift;
            r.y += p.client.y;
            mid_ = middle_row(units[i], cells[i]) + p.client.y;
            control(n, *shown[i], r);
        }
        // Open lists go over everything else of the window.
        for (size_t i = 0; i < shown.size(); ++i) {
            if (shown[i]->kind != Kind::ComboBox || !shown[i]->dropped) continue;
            Rect r = cells[i];
            r.x += p.client.x + shift;
            r.y = middle_row(units[i], cells[i]) + p.client.y;
            combo_list(n, *shown[i], r);
        }
    }

    void border(const Node &n, const Rect &r) {
        frame_box(c, r);
        if (!has_caption(n)) return;
        // The title bar: the top line in the caption's colours, the text on it.
        Role role = n.active ? Role::Caption : Role::CaptionInactive;
        c.recolour(r.x, r.y, r.w, role);
        std::u16string title = n.text;
        while (!title.empty() && title.front() == u' ') title.erase(title.begin());
        if (r.w > 4 && !title.empty()) c.text(r.x + 2, r.y, u" " + title + u" ", r.w - 4, role);
    }

    bool focus_shown(const Node &dlg, const Node &ctl) const { return dlg.active && ctl.focused; }

    void set_cursor(int x, int y) {
        f.cursor_x = x;
        f.cursor_y = y;
    }

    void control(const Node &dlg, const Node &n, const Rect &r) {
        Hit h;
        h.area = r;
        h.hwnd = n.hwnd;
        switch (n.kind) {
        case Kind::Static: label(n, r); break;
        case Kind::Button: button(dlg, n, r); break;
        case Kind::Edit:
            if (n.style & ES_MULTILINE) multi_line(dlg, n, r, h);
            else single_line(dlg, n, r, h);
            break;
        case Kind::ComboBox: combo(dlg, n, r, h); break;
        default: c.fill(r, Role::Window); break;
        }
        f.hits.push_back(std::move(h));
    }

    void label(const Node &n, const Rect &r) {
        Role role = n.enabled ? Role::Window : Role::Disabled;
        std::u16string text = (n.style & SS_NOPREFIX) ? n.text : without_prefix(n.text);
        std::vector<std::u16string> rows = wrap(text, r.w);
        // One line of text on the middle row, more from the top.
        int top = rows.size() == 1 ? mid_ : r.y;
        for (int i = 0; top + i < r.bottom() && i < static_cast<int>(rows.size()); ++i) {
            int w = text_width(rows[static_cast<size_t>(i)]);
            int x = r.x;
            DWORD align = n.style & 3;
            if (align == SS_CENTER) x += std::max(0, (r.w - w) / 2);
            if (align == SS_RIGHT) x += std::max(0, r.w - w);
            c.text(x, top + i, rows[static_cast<size_t>(i)], r.right() - x, role);
        }
    }

    void button(const Node &dlg, const Node &n, const Rect &r) {
        DWORD type = n.style & BS_TYPEMASK;
        std::u16string text = without_prefix(n.text);
        bool focus = focus_shown(dlg, n);
        Role text_role = !n.enabled ? Role::Disabled : focus ? Role::Focus : Role::Window;
        int row = mid_;
        if (type == BS_GROUPBOX) {
            frame_box(c, r);
            c.text(r.x + 1, r.y, text, r.w - 2, n.enabled ? Role::Window : Role::Disabled);
            return;
        }
        if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && type != BS_OWNERDRAW) {
            bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
            std::u16string mark = radio ? u"( ) " : u"[ ] ";
            c.text(r.x, row, mark, r.w, text_role);
            c.text(r.x + 4, row, text, r.w - 4, n.enabled ? Role::Window : Role::Disabled);
            if (focus) set_cursor(r.x + 1, row);
            return;
        }
        // [ Text ] or, for the default button, < Text >; tighter when narrow.
        std::u16string open = n.is_default ? u"<" : u"[", close = n.is_default ? u">" : u"]";
        int tw = text_width(text);
        std::u16string face = tw + 4 <= r.w ? open + u" " + text + u" " + close : open + text + close;
        int fw = std::min(text_width(face), r.w);
        int x = r.x + (r.w - fw) / 2;
        Role role = !n.enabled ? Role::Disabled : focus ? Role::Focus : n.is_default ? Role::ButtonDefault : Role::Window;
        if (fw < text_width(face)) {
            // Too narrow for the whole face: keep the brackets, cut the text.
            c.text(x, row, open, 1, role);
            c.text(x + 1, row, text, std::max(fw - 2, 0), role);
            c.text(x + fw - 1, row, close, 1, role);
        } else {
            c.text(x, row, face, fw, role);
        }
        if (focus) set_cursor(x + (tw + 4 <= r.w ? 2 : 1), row);
    }

    static void frame_box(Canvas &c, const Rect &r) {
        using namespace box;
        for (int x = r.x + 1; x < r.right() - 1; ++x) {
            c.put(x, r.y, kH, 1, Role::Window);
            c.put(x, r.bottom() - 1, kH, 1, Role::Window);
        }
        for (int y = r.y + 1; y < r.bottom() - 1; ++y) {
            c.put(r.x, y, kV, 1, Role::Window);
            c.put(r.right() - 1, y, kV, 1, Role::Window);
        }
        c.put(r.x, r.y, kTL, 1, Role::Window);
        c.put(r.right() - 1, r.y, kTR, 1, Role::Window);
        c.put(r.x, r.bottom() - 1, kBL, 1, Role::Window);
        c.put(r.right() - 1, r.bottom() - 1, kBR, 1, Role::Window);
    }

    Role field_role(const Node &dlg, const Node &n) const {
        if (!n.enabled) return Role::Disabled;
        if (focus_shown(dlg, n)) return Role::Focus;
        if (n.kind == Kind::Edit && (n.style & ES_READONLY)) return Role::FieldReadOnly;
        return Role::Field;
    }

    // One line of field text from glyph `first` in `width` cells, with the
    // selection marked; returns per cell the text offset it shows (for clicks).
    std::vector<int> field_text(int x, int y, const std::vector<Glyph> &g, size_t first, int width, Role role,
                                int base, int sel_start, int sel_end, bool show_sel, int end_offset) {
        std::vector<int> offsets(static_cast<size_t>(std::max(width, 0)), end_offset);
        int used = 0;
        for (size_t i = first; i < g.size(); ++i) {
            if (g[i].width == 0) continue;
            if (used + g[i].width > width) break;
            int at = base + g[i].offset;
            bool selected = show_sel && at >= sel_start && at < sel_end;
            c.text(x + used, y, g, i, g[i].width, selected ? Role::Selection : role);
            for (int k = 0; k < g[i].width; ++k) offsets[static_cast<size_t>(used + k)] = g[i].offset;
            used += g[i].width;
        }
        return offsets;
    }

    // The first glyph to show so that the caret's cell is inside `width`.
    static size_t scroll_for_caret(const std::vector<Glyph> &g, size_t first, size_t caret, int width) {
        if (caret < first) return caret;
        for (;;) {
            int w = 0;
            for (size_t i = first; i < caret && i < g.size(); ++i) w += g[i].width;
            if (w < width || first >= caret) return first;
            ++first;
        }
    }

    void single_line(const Node &dlg, const Node &n, const Rect &r, Hit &h) {
        Role role = field_role(dlg, n);
        int row = mid_;
        Rect line{r.x, row, r.w, 1};
        c.fill(line, role);
        std::u16string shown = n.text;
        if (n.style & ES_PASSWORD) shown.assign(n.text.size(), u'*');
        std::vector<Glyph> g = glyphs(shown);
        size_t first = glyph_at_offset(g, n.first_column);
        size_t caret = glyph_at_offset(g, n.caret);
        first = scroll_for_caret(g, first, caret, r.w);
        int tw = 0;
        for (size_t i = first; i < g.size(); ++i) tw += g[i].width;
        int x = r.x;
        if (first == 0 && tw < r.w) {
            DWORD align = n.style & 3;
            if (align == ES_CENTER) x += (r.w - tw) / 2;
            if (align == ES_RIGHT) x += r.w - tw;
        }
        bool focus = focus_shown(dlg, n);
        int first_offset = first < g.size() ? g[first].offset : static_cast<int>(shown.size());
        std::vector<int> offsets = field_text(x, row, g, first, r.right() - x, role, 0, n.sel_start, n.sel_end,
                                              focus, static_cast<int>(shown.size()));
        // Clicks: each cell reports the column of its character.
        std::vector<int> xs(static_cast<size_t>(r.w), 0);
        for (int i = 0; i < r.w; ++i) {
            int k = i - (x - r.x);
            int off = k < 0 ? first_offset : k < static_cast<int>(offsets.size()) ? offsets[static_cast<size_t>(k)]
                                                                                   : static_cast<int>(shown.size());
            xs[static_cast<size_t>(i)] = (off - n.first_column) * 4;
        }
        h.area = line;
        h.x_units.assign(1, xs);
        h.y_units.assign(1, 0);
        if (focus) {
            int cx = x;
            for (size_t i = first; i < caret && i < g.size(); ++i) cx += g[i].width;
            set_cursor(std::min(cx, r.right() - 1), row);
        }
    }

    void multi_line(const Node &dlg, const Node &n, const Rect &r, Hit &h) {
        Role role = field_role(dlg, n);
        c.fill(r, role);
        bool scroll = (n.style & WS_VSCROLL) != 0;
        int width = std::max(r.w - (scroll ? 1 : 0), 1);
        ctl::Layout l = ctl::layout(n.text, ctl::columns(n.style, n.cx), true, !(n.style & ES_AUTOHSCROLL));
        const std::vector<std::u16string> &lines = n.lines.empty() ? l.lines : n.lines;
        bool focus = focus_shown(dlg, n);
        auto [caret_line, caret_col] = l.position(n.caret);
        h.x_units.assign(static_cast<size_t>(r.h), std::vector<int>(static_cast<size_t>(r.w), 0));
        h.y_units.assign(static_cast<size_t>(r.h), 0);
        for (int i = 0; i < r.h; ++i) {
            int li = n.first_line + i;
            h.y_units[static_cast<size_t>(i)] = i * 8;
            if (li < 0 || li >= static_cast<int>(lines.size())) continue;
            std::vector<Glyph> g = glyphs(lines[static_cast<size_t>(li)]);
            int base = li < static_cast<int>(l.starts.size()) ? l.starts[static_cast<size_t>(li)] : 0;
            int len = static_cast<int>(lines[static_cast<size_t>(li)].size());
            std::vector<int> offsets =
                field_text(r.x, r.y + i, g, 0, width, role, base, n.sel_start, n.sel_end, focus, len);
            for (int k = 0; k < r.w; ++k)
                h.x_units[static_cast<size_t>(i)][static_cast<size_t>(k)] =
                    (k < static_cast<int>(offsets.size()) ? offsets[static_cast<size_t>(k)] : len) * 4;
            if (focus && li == caret_line) {
                int cx = r.x;
                size_t caret = glyph_at_offset(g, caret_col);
                for (size_t k = 0; k < caret && k < g.size(); ++k) cx += g[k].width;
                set_cursor(std::min(cx, r.x + width - 1), r.y + i);
            }
        }
        if (scroll) scroll_bar(r.right() - 1, r.y, r.h, static_cast<int>(lines.size()), n.first_line, role);
    }

    // A scroll bar of h rows for `total` lines of which h show from `first`.
    void scroll_bar(int x, int y, int h, int total, int first, Role role) {
        using namespace box;
        int hidden = total - h;
        if (h >= 3) {
            c.put(x, y, kUp, 1, role);
            c.put(x, y + h - 1, kDown, 1, role);
            ++y;
            h -= 2;
        }
        for (int i = 0; i < h; ++i) c.put(x, y + i, kTrack, 1, role);
        int pos = 0;
        if (hidden > 0) pos = std::clamp(first * (h - 1) / hidden, 0, h - 1);
        c.put(x, y + pos, kThumb, 1, role);
    }

    void combo(const Node &dlg, const Node &n, const Rect &r, Hit &h) {
        Role role = field_role(dlg, n);
        int row = mid_;
        Rect line{r.x, row, r.w, 1};
        c.fill(line, role);
        int width = std::max(r.w - 1, 0);
        c.put(r.right() - 1, row, box::kDown, 1, role);
        std::vector<Glyph> g = glyphs(n.text);
        size_t caret = glyph_at_offset(g, n.caret);
        size_t first = scroll_for_caret(g, 0, caret, width);
        bool focus = focus_shown(dlg, n);
        bool list_only = (n.style & 3) == CBS_DROPDOWNLIST;
        field_text(r.x, row, g, first, width, role, 0, n.sel_start, n.sel_end, focus && !list_only,
                   static_cast<int>(n.text.size()));
        h.area = line;
        if (focus) {
            int cx = r.x;
            if (!list_only)
                for (size_t i = first; i < caret && i < g.size(); ++i) cx += g[i].width;
            set_cursor(std::min(cx, r.x + std::max(width - 1, 0)), row);
        }
    }

    void combo_list(const Node &dlg, const Node &n, const Rect &field) {
        int count = static_cast<int>(n.items.size());
        int rows = std::max(std::min(std::max((n.cy - 12) / 8, 1), count), 1);
        Rect list{field.x, field.y + 1, field.w, rows};
        if (list.bottom() > c.height() && field.y - rows >= 0) list.y = field.y - rows;
        c.fill(list, Role::List);
        bool scroll = count > rows;
        int width = list.w - (scroll ? 1 : 0);
        for (int i = 0; i < rows; ++i) {
            int item = n.list_top + i;
            if (item >= count) break;
            Role role = item == n.selected ? Role::ListSelected : Role::List;
            c.fill(Rect{list.x, list.y + i, width, 1}, role);
            c.text(list.x, list.y + i, n.items[static_cast<size_t>(item)], width, role);
            Hit h;
            h.area = Rect{list.x, list.y + i, list.w, 1};
            h.hwnd = n.hwnd;
            h.item = item;
            f.hits.push_back(h);
            if (item == n.selected && focus_shown(dlg, n)) set_cursor(list.x, list.y + i);
        }
        if (scroll) scroll_bar(list.right() - 1, list.y, rows, count, n.list_top, Role::List);
    }
};

void notice(Canvas &c, int need_w, int need_h) {
    auto num = [](int v) {
        std::u16string s;
        std::string d = std::to_string(v);
        for (char ch : d) s += static_cast<char16_t>(ch);
        return s;
    };
    std::u16string text = u"Terminal too small: " + num(need_w) + u"x" + num(need_h) + u" needed, " + num(c.width()) +
                          u"x" + num(c.height()) + u" here. Please enlarge it.";
    std::vector<std::u16string> rows = wrap(text, std::max(c.width() - 2, 1));
    int top = std::max((c.height() - static_cast<int>(rows.size())) / 2, 0);
    for (size_t i = 0; i < rows.size() && top + static_cast<int>(i) < c.height(); ++i) {
        int w = text_width(rows[i]);
        c.text(std::max((c.width() - w) / 2, 0), top + static_cast<int>(i), rows[i], c.width(), Role::Notice);
    }
}

}  // namespace

std::u16string without_prefix(std::u16string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') {
                out += u'&';
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

Frame paint(const Scene &scene, int columns, int rows, const OwnerOf &owner_of) {
    Frame f;
    f.canvas = Canvas(std::max(columns, 0), std::max(rows, 0));
    Painter p{f.canvas, f, {}};
    // Place every window first: a message box is centred over its owner.
    int need_w = 0, need_h = 0;
    for (const Node &n : scene.windows) {
        p.place(n, owner_of, columns, rows);
        const Rect &fr = p.placed[n.hwnd].frame;
        need_w = std::max(need_w, fr.w);
        need_h = std::max(need_h, fr.h);
    }
    if (need_w > columns || need_h > rows) {
        f.too_small = true;
        notice(f.canvas, need_w, need_h);
        return f;
    }
    for (const Node &n : scene.windows) p.window(n);
    return f;
}

std::optional<Input> click_at(const Frame &frame, int x, int y) {
    if (frame.too_small) return std::nullopt;
    for (auto it = frame.hits.rbegin(); it != frame.hits.rend(); ++it) {
        const Hit &h = *it;
        if (!h.area.contains(x, y)) continue;
        Input in;
        in.kind = InputKind::Click;
        in.target = h.hwnd;
        in.item = h.item;
        int row = y - h.area.y, col = x - h.area.x;
        in.x = col * 4;
        in.y = row * 8;
        if (row < static_cast<int>(h.x_units.size()) && col < static_cast<int>(h.x_units[static_cast<size_t>(row)].size()))
            in.x = h.x_units[static_cast<size_t>(row)][static_cast<size_t>(col)];
        if (row < static_cast<int>(h.y_units.size())) in.y = h.y_units[static_cast<size_t>(row)];
        return in;
    }
    return std::nullopt;
}

}  // namespace ce::ui::term
