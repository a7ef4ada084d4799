// The front-end interface: what the window manager asks a front-end to draw,
// and which input a front-end hands back. Two implementations: ui/headless
// (draws nothing; tests drive it) and ui/terminal (ncurses).
//
// Threading: every call into a front-end is made on a thread that runs a
// message loop, one call at a time (the window manager holds a lock around
// them), so a front-end needs no locking of its own.
#pragma once

#include "ce/base.h"

#include <memory>
#include <string>
#include <vector>

namespace ce::ui {

// What a window is, as far as drawing goes.
enum class Kind {
    Window,    // a window of a program's own class (drawn as a frame, if shown)
    Dialog,    // a dialog or message box: caption, frame, children
    Button,    // push button (style BS_DEFPUSHBUTTON marks the default one)
    Static,    // label (SS_LEFT/SS_CENTER/SS_RIGHT)
    Edit,      // edit field (ES_MULTILINE, ES_READONLY, ES_CENTER, ...)
    ComboBox,  // drop-down combo box with an edit field
};

// One window and its children, as the window manager last saw it.
// Positions and sizes are in dialog units: children relative to their
// parent's client area, top-level windows relative to the screen (dialogs
// marked DS_CENTER are placed by the front-end). The terminal front-end maps
// 4 horizontal and 8 vertical units to a character cell.
struct Node {
    HWND hwnd = nullptr;
    Kind kind = Kind::Window;
    int id = 0;           // control id (0 for top-level windows)
    DWORD style = 0;      // WS_*, plus the class's own style bits
    DWORD ex_style = 0;   // WS_EX_*
    std::u16string text;  // caption, label, button text or edit contents
    int x = 0, y = 0, cx = 0, cy = 0;
    bool visible = false;
    bool enabled = true;
    bool focused = false;     // has the keyboard focus
    bool is_default = false;  // the button Enter would press
    bool changed = true;      // changed since the previous draw

    // Edit fields (and a combo box's edit field): the first visible line and
    // column (scroll position), the caret and the selection, in characters.
    int first_line = 0;
    int first_column = 0;
    // Multi-line fields: every line as laid out (wrapped at the field's
    // width unless ES_AUTOHSCROLL); draw from first_line on.
    std::vector<std::u16string> lines;
    int caret = 0;
    int sel_start = 0, sel_end = 0;

    // Combo boxes: the list, the selected entry (-1 none), whether the list
    // is dropped down, and its first visible entry.
    std::vector<std::u16string> items;
    int selected = -1;
    bool dropped = false;
    int list_top = 0;

    // Dialogs: the shell's menu bar (an empty bar is a bar without commands),
    // the message box icon (MB_ICONHAND, MB_ICONEXCLAMATION, ... or 0), and
    // whether this window is the active one, which takes the keyboard.
    bool menu_bar = false;
    bool message_box = false;
    UINT icon = 0;
    bool active = false;

    std::vector<Node> children;  // in creation (template, tab) order
};

// Everything on the screen: top-level windows from bottom to top.
struct Scene {
    std::vector<Node> windows;
    unsigned long generation = 0;  // grows by one on every change
};

// Input a front-end hands to the window manager.
enum class InputKind {
    Key,     // a key press: vk is VK_TAB, VK_RETURN, VK_ESCAPE, VK_UP, ...
    Char,    // a typed character (one UTF-16 unit; pairs arrive as two)
    Click,   // a mouse click on a window of the scene
    Resize,  // the screen changed size: everything is drawn again
};

struct Input {
    InputKind kind = InputKind::Key;
    UINT vk = 0;        // Key
    bool shift = false; // Key: Shift held (Shift+Tab)
    char16_t ch = 0;    // Char
    HWND target = nullptr;  // Click: the window hit (the deepest child)
    int x = 0, y = 0;       // Click: dialog units inside the target
    int item = -1;          // Click: row of an open combo list, else -1
};

class Frontend {
public:
    virtual ~Frontend() = default;
    virtual const char *name() const = 0;
    // True when someone can answer dialogs: a person at a terminal or a test
    // driver. When false, dialogs fail with -1 and a line on standard error,
    // and message boxes print "<caption>: <text>" and answer IDOK.
    virtual bool interactive() const = 0;
    // A descriptor that becomes readable when input is waiting, or -1. The
    // message loop polls it together with the thread's message queue.
    virtual int input_fd() const = 0;
    // Reads what input is ready, without blocking.
    virtual void read_input(std::vector<Input> &out) = 0;
    // Draws the scene. Called once the loop has handled everything waiting
    // and is about to sleep, and only when something changed, so bursts of
    // changes are drawn once.
    virtual void draw(const Scene &scene) = 0;
};

using FrontendFactory = std::unique_ptr<Frontend> (*)();

// A front-end linked into the platform makes itself known with this, from a
// static initialiser; "terminal" is the name the chooser looks for.
bool register_frontend(const char *name, FrontendFactory factory);

// The process's front-end, chosen on first use: CE_UI=terminal|headless
// forces one; otherwise terminal when standard input and output are
// terminals and a terminal front-end is linked in, else headless.
Frontend &frontend();

// Hands input to the window manager as if the active window's thread had
// read it (used by front-ends that read input elsewhere, and by tests).
void deliver_input(const Input &input);

// The current scene, built on demand (for drivers and front-ends that draw
// outside the loop's own draw call).
Scene snapshot();

}  // namespace ce::ui
