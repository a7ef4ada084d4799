#include "ui/terminal/painter.h"

#include "platform.h"

#include <gtest/gtest.h>

#include <clocale>

namespace ce::ui::term {
namespace {

struct Utf8Locale {
    Utf8Locale() { setlocale(LC_CTYPE, "C.UTF-8"); }
} utf8_locale;

HWND h(uintptr_t v) { return reinterpret_cast<HWND>(v); }

Node control(uintptr_t id, Kind kind, std::u16string text, int x, int y, int cx, int cy, DWORD style = 0) {
    Node n;
    n.hwnd = h(id);
    n.id = static_cast<int>(id);
    n.kind = kind;
    n.text = std::move(text);
    n.x = x;
    n.y = y;
    n.cx = cx;
    n.cy = cy;
    n.style = WS_CHILD | WS_VISIBLE | style;
    n.visible = true;
    return n;
}

Node dialog(uintptr_t id, std::u16string caption, int cx, int cy, DWORD style = DS_CENTER) {
    Node n;
    n.hwnd = h(id);
    n.kind = Kind::Dialog;
    n.text = std::move(caption);
    n.cx = cx;
    n.cy = cy;
    n.style = WS_POPUP | WS_CAPTION | WS_VISIBLE | style;
    n.visible = true;
    n.active = true;
    return n;
}

// Where a text starts on a painted row, in cells; -1 if it is not there.
int column_of_text(const Canvas &c, int y, const std::string &text) {
    for (int x = 0; x < c.width(); ++x)
        if (c.row_text(y, x).rfind(text, 0) == 0 && !c.at(x, y).tail) return x;
    return -1;
}

std::string dump(const Canvas &c) {
    std::string out;
    for (int y = 0; y < c.height(); ++y) out += c.row_text(y) + "\n";
    return out;
}

// The sample-like dialog: a label, a field, a combo box, two buttons.
Scene sample_scene() {
    Node d = dialog(1, u"Settings", 120, 64);
    d.children.push_back(control(10, Kind::Static, u"&Name", 4, 4, 36, 8));
    Node name = control(11, Kind::Edit, u"山田太郎", 44, 4, 40, 12, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL);
    d.children.push_back(name);
    Node speed = control(12, Kind::ComboBox, u"19200", 44, 20, 40, 44, CBS_DROPDOWN | WS_TABSTOP);
    speed.items = {u"9600", u"19200", u"38400", u"57600", u"115200"};
    speed.selected = 1;
    speed.caret = 5;
    d.children.push_back(speed);
    Node ok = control(IDOK, Kind::Button, u"OK", 20, 44, 36, 14, BS_DEFPUSHBUTTON | WS_TABSTOP);
    ok.is_default = true;
    d.children.push_back(ok);
    d.children.push_back(control(IDCANCEL, Kind::Button, u"Cancel", 64, 44, 36, 14, WS_TABSTOP));
    Scene s;
    s.windows.push_back(d);
    return s;
}

TEST(Painter, DialogFrameCaptionAndControlsAtTheirCells) {
    Frame f = paint(sample_scene(), 60, 20, nullptr);
    const Canvas &c = f.canvas;
    SCOPED_TRACE(dump(c));
    // 30 x 8 cells of client area, centred: frame 32 x 10 at (14, 5).
    EXPECT_EQ(c.at(14, 5).ch, box::kTL);
    EXPECT_EQ(c.at(45, 14).ch, box::kBR);
    EXPECT_EQ(column_of_text(c, 5, " Settings "), 16);
    EXPECT_EQ(c.at(17, 5).role, Role::Caption);
    // Children from the client corner (15, 6): "Name" (its mnemonic mark
    // dropped) at column 1, row 1 of the client area.
    EXPECT_EQ(column_of_text(c, 7, "Name "), 16);
    EXPECT_EQ(column_of_text(c, 7, "山田太郎"), 26);
    EXPECT_EQ(c.at(26, 7).role, Role::Field);
    EXPECT_EQ(column_of_text(c, 9, "19200"), 26);
    EXPECT_EQ(c.at(35, 9).ch, box::kDown);  // the combo's arrow, at its right end
    // Buttons on client row 6: the default one in angle brackets, the other
    // in square ones, without the inner blanks where it is narrow.
    EXPECT_EQ(column_of_text(c, 12, "< OK >"), 21);
    EXPECT_EQ(c.at(21, 12).role, Role::ButtonDefault);
    EXPECT_EQ(column_of_text(c, 12, "[Cancel]"), 31);
    // No focus anywhere: no cursor.
    EXPECT_EQ(f.cursor_x, -1);
}

TEST(Painter, FocusIsMarkedAndTakesTheCursor) {
    struct Case {
        const char *name;
        size_t child;       // index of the focused child
        int cursor_x, cursor_y;
        int role_x;         // a cell that shows the focus
    };
    const Case cases[] = {
        {"field: cursor at the caret", 1, 26 + 4, 7, 26},
        {"combo: cursor after its text", 2, 26 + 5, 9, 26},
        {"button: cursor on its text", 4, 32, 12, 31},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Scene s = sample_scene();
        Node &focused = s.windows[0].children[k.child];
        focused.focused = true;
        focused.caret = 2;  // the field: after 山田
        if (k.child == 2) focused.caret = 5;
        Frame f = paint(s, 60, 20, nullptr);
        EXPECT_EQ(f.cursor_x, k.cursor_x);
        EXPECT_EQ(f.cursor_y, k.cursor_y);
        EXPECT_EQ(f.canvas.at(k.role_x, k.cursor_y).role, Role::Focus);
        // Focus in a window behind the active one shows nothing.
        s.windows[0].active = false;
        Frame behind = paint(s, 60, 20, nullptr);
        EXPECT_EQ(behind.cursor_x, -1);
        EXPECT_NE(behind.canvas.at(k.role_x, k.cursor_y).role, Role::Focus);
    }
}

TEST(Painter, WideTextIsNeverCutInHalfAndKeepsTheFrameAligned) {
    Node d = dialog(1, u"日本語のダイアログ", 60, 40);
    // A 5-cell field with 3 wide characters: two fit, the third is left off.
    d.children.push_back(control(2, Kind::Edit, u"日本語", 0, 0, 20, 8, ES_AUTOHSCROLL));
    d.children.push_back(control(3, Kind::Static, u"ラベルの文字がとても長い", 0, 16, 60, 8));
    d.children.push_back(control(4, Kind::Static, u"x日本", 0, 24, 16, 8));
    Scene s;
    s.windows.push_back(d);
    Frame f = paint(s, 40, 12, nullptr);
    const Canvas &c = f.canvas;
    SCOPED_TRACE(dump(c));
    int left = -1;
    for (int x = 0; x < c.width(); ++x)
        if (c.at(x, 3).ch == box::kV) {
            left = x;
            break;
        }
    ASSERT_GE(left, 0);
    int right = left + 16;  // 15 columns of client area + the frame
    for (int y = 3; y < 8; ++y) {
        SCOPED_TRACE("row " + std::to_string(y));
        EXPECT_EQ(c.at(left, y).ch, box::kV);
        EXPECT_EQ(c.at(right, y).ch, box::kV);
        EXPECT_FALSE(c.at(right, y).tail);
    }
    // The field: 日本 and a blank where 語 would stick out.
    EXPECT_EQ(c.row_text(3, left + 1, 5), "日本 ");
    EXPECT_EQ(c.at(left + 5, 3).role, Role::Field);
    // The label that is too long wraps inside its width; the narrow one
    // ends with a blank, not half a character.
    EXPECT_EQ(c.row_text(5, left + 1, 15), "ラベルの文字が ");
    EXPECT_EQ(c.row_text(6, left + 1, 4), "x日 ");
}

TEST(Painter, MessageBoxIsCentredOverItsOwnerWithItsIcon) {
    Node owner = dialog(1, u"Main", 100, 80, 0);
    owner.x = 40;  // columns 10..
    owner.y = 16;  // rows 2..
    owner.active = false;
    Node box = dialog(2, u"Sample", 100, 36, DS_CENTER);
    box.message_box = true;
    box.icon = MB_ICONHAND;
    box.children.push_back(control(3, Kind::Static, u"It went wrong.", 8, 8, 84, 8, SS_NOPREFIX));
    Node ok = control(IDOK, Kind::Button, u"OK", 30, 16, 40, 14, BS_DEFPUSHBUTTON);
    ok.is_default = true;
    ok.focused = true;
    box.children.push_back(ok);
    Scene s;
    s.windows = {owner, box};
    OwnerOf owner_of = [](HWND w) { return w == h(2) ? h(1) : nullptr; };
    Frame f = paint(s, 80, 30, owner_of);
    const Canvas &c = f.canvas;
    SCOPED_TRACE(dump(c));
    // Owner frame: 27 x 12 at (10, 2). Box: 25 + 7 (icon) + 2 = 34 wide,
    // 5 + 2 = 7 high, centred over it: (7, 4).
    EXPECT_EQ(c.at(10, 2).ch, box::kTL);
    EXPECT_EQ(c.at(7, 4).ch, box::kTL);
    EXPECT_EQ(c.at(40, 10).ch, box::kBR);
    EXPECT_EQ(column_of_text(c, 6, " Stop "), 9);
    EXPECT_EQ(c.at(9, 6).role, Role::IconStop);
    EXPECT_EQ(column_of_text(c, 6, "It went wrong."), 17);
    EXPECT_EQ(column_of_text(c, 7, "< OK >"), 25);
    EXPECT_EQ(c.at(25, 7).role, Role::Focus);
    // The owner behind it has an inactive caption.
    EXPECT_EQ(c.at(12, 2).role, Role::CaptionInactive);
    // Without an owner it is centred on the screen.
    s.windows = {box};
    Frame alone = paint(s, 80, 30, owner_of);
    EXPECT_EQ(alone.canvas.at(23, 11).ch, box::kTL);
}

TEST(Painter, OpenComboListShowsEntriesAndTakesClicks) {
    Scene s = sample_scene();
    Node &combo = s.windows[0].children[2];
    combo.dropped = true;
    combo.focused = true;
    Frame f = paint(s, 60, 20, nullptr);
    const Canvas &c = f.canvas;
    SCOPED_TRACE(dump(c));
    // (44 - 12) / 8 = 4 rows under the field, over the buttons, with a scroll bar.
    const char *rows[] = {"9600", "19200", "38400", "57600"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(rows[i]);
        EXPECT_EQ(column_of_text(c, 10 + i, rows[i]), 26);
        EXPECT_EQ(c.at(26, 10 + i).role, i == 1 ? Role::ListSelected : Role::List);
        auto click = click_at(f, 27, 10 + i);
        ASSERT_TRUE(click.has_value());
        EXPECT_EQ(click->target, h(12));
        EXPECT_EQ(click->item, i);
    }
    EXPECT_EQ(c.at(35, 10).ch, box::kUp);
    EXPECT_EQ(f.cursor_y, 11);  // on the selected entry
    // Scrolled by one, the first row is the second entry.
    combo.list_top = 1;
    Frame scrolled = paint(s, 60, 20, nullptr);
    EXPECT_EQ(column_of_text(scrolled.canvas, 10, "19200"), 26);
    EXPECT_EQ(click_at(scrolled, 27, 10)->item, 1);
}

TEST(Painter, ClicksReportTheCharacterUnderTheMouse) {
    Scene s = sample_scene();
    struct Case {
        int x, y;
        uintptr_t target;
        int ux;
    };
    // The field shows 山田太郎 from column 26: two cells a character, and
    // the x in units is 4 a character.
    const Case cases[] = {
        {26, 7, 11, 0}, {27, 7, 11, 0}, {28, 7, 11, 4}, {33, 7, 11, 12}, {34, 7, 11, 16},  // past the end
        {22, 12, IDOK, 8}, {16, 7, 10, 0}, {15, 13, 1, 0},
    };
    Frame f = paint(s, 60, 20, nullptr);
    for (const Case &k : cases) {
        SCOPED_TRACE(std::to_string(k.x) + "," + std::to_string(k.y));
        auto click = click_at(f, k.x, k.y);
        ASSERT_TRUE(click.has_value());
        EXPECT_EQ(click->target, h(k.target));
        EXPECT_EQ(click->x, k.ux);
        EXPECT_EQ(click->item, -1);
    }
    EXPECT_FALSE(click_at(f, 0, 0).has_value());  // outside every window
}

TEST(Painter, MultiLineFieldShowsItsScrollPosition) {
    Node d = dialog(1, u"Log", 100, 48);
    Node log = control(2, Kind::Edit, u"", 0, 0, 100, 32, ES_MULTILINE | WS_VSCROLL);
    for (int i = 1; i <= 10; ++i) log.lines.push_back(u"line " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)));
    for (int i = 0; i < 10; ++i) log.text += log.lines[static_cast<size_t>(i)] + u"\r\n";
    struct Case {
        int first_line;
        const char *top;
        int thumb_row;  // within the track (rows between the arrows)
    };
    const Case cases[] = {{0, "line 1", 0}, {3, "line 4", 0}, {6, "line 7", 1}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.first_line);
        Node l = log;
        l.first_line = k.first_line;
        Node dd = d;
        dd.children.push_back(l);
        Scene s;
        s.windows.push_back(dd);
        Frame f = paint(s, 40, 12, nullptr);
        const Canvas &c = f.canvas;
        SCOPED_TRACE(dump(c));
        // Frame at (6, 2); field at (7, 3), 25 x 4 with the bar in its last column.
        EXPECT_EQ(c.row_text(3, 7, 6), k.top);
        EXPECT_EQ(c.at(31, 3).ch, box::kUp);
        EXPECT_EQ(c.at(31, 6).ch, box::kDown);
        EXPECT_EQ(c.at(31, 4 + k.thumb_row).ch, box::kThumb);
    }
}

TEST(Painter, DisabledMenuBarAndTooSmall) {
    Scene s = sample_scene();
    s.windows[0].children[0].enabled = false;
    s.windows[0].menu_bar = true;
    Frame f = paint(s, 60, 20, nullptr);
    const Canvas &c = f.canvas;
    SCOPED_TRACE(dump(c));
    EXPECT_EQ(c.at(16, 6).role, Role::Disabled);  // the frame grew: one row higher
    // The bar takes the row above the bottom line; the frame grows by one.
    int bottom = -1;
    for (int y = 0; y < c.height(); ++y)
        if (c.at(14, y).ch == box::kBL) bottom = y;
    ASSERT_GT(bottom, 0);
    EXPECT_EQ(c.at(20, bottom - 1).role, Role::MenuBar);
    EXPECT_EQ(c.at(14, bottom - 1).ch, box::kV);

    Frame small = paint(sample_scene(), 20, 6, nullptr);
    EXPECT_TRUE(small.too_small);
    // The notice, read as words: what the dialog needs and what there is.
    std::string all;
    for (char ch : dump(small.canvas))
        if (ch != ' ' && ch != '\n') all += ch;
    EXPECT_NE(all.find("Terminaltoosmall:32x10needed,20x6here."), std::string::npos) << dump(small.canvas);
    EXPECT_FALSE(click_at(small, 10, 3).has_value());
}

}  // namespace
}  // namespace ce::ui::term
