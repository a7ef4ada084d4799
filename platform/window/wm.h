// Internals of the window manager shared by window/, controls/ and ui/.
//
// Locking: one process-wide lock (wm_lock) guards the window table and every
// field of every Window, ControlState and DialogState. It is held only for
// short reads and writes, never while a window procedure, another thread or
// the front-end is called, so procedures may call back into any API.
#pragma once

#include "platform.h"
#include "ui/frontend.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ce::wm {

std::recursive_mutex &wm_lock();
using Guard = std::lock_guard<std::recursive_mutex>;

// Private messages, in the range the system keeps for itself.
constexpr UINT kMsgSync = 0x03F0;       // posted by drivers; wParam = SyncToken*
constexpr UINT kMsgListClick = 0x03F1;  // to a combo box: wParam = list row clicked
// Keyboard input waiting in a queue, posted to the active top-level window:
// it becomes WM_KEYDOWN / WM_CHAR for the window that has the focus when it
// is taken from the queue, so keys typed ahead follow the focus as it moves.
constexpr UINT kMsgKeyInput = 0x03F2;
constexpr UINT kMsgCharInput = 0x03F3;

// Posts the user's input (keys, clicks): like PostMessageW, but never refused
// because the queue holds its quota of posted messages.
bool post_input(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// Shift held with a WM_KEYDOWN, kept in a bit of lParam the platform leaves unused.
constexpr LPARAM kShiftBit = LPARAM(1) << 25;

// A call to run on a queue's thread: sent messages from other threads and
// driver actions. The waiter (if any) is woken when it is done.
struct SentItem {
    std::function<LRESULT()> fn;
    LRESULT result = 0;
    bool done = false;
    std::mutex m;
    std::weak_ptr<struct ThreadQueue> waiter;  // woken when done
};

// Marks a point in a queue's posted messages; signalled when reached.
struct SyncToken {
    std::mutex m;
    std::condition_variable cv;
    bool reached = false;
};

// The message queue and input state of one thread.
struct ThreadQueue {
    ThreadQueue();
    ~ThreadQueue();
    void wake();   // makes the thread's wait return
    void drain();  // clears the wake-up signal

    int efd = -1;          // eventfd the thread's wait polls
    DWORD thread_id = 0;
    // Guarded by m: the message lists and the quit request.
    std::mutex m;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentItem>> sent;
    bool quit = false;
    int quit_code = 0;
    bool dead = false;     // the thread has ended; nothing more is accepted
    // Guarded by wm_lock: keyboard focus and the active window of the thread.
    HWND focus = nullptr;
    HWND active = nullptr;
    // The thread's current message (GetMessagePos, shift state).
    MSG current{};
};

// Posted messages a queue holds at most; one more fails (ERROR_NOT_ENOUGH_QUOTA).
constexpr size_t kQueueLimit = 10000;

std::shared_ptr<ThreadQueue> current_queue();  // the calling thread's, created on demand
DWORD current_thread_id();

// Per-class state of a control (edit text layout, combo list, ...).
struct ControlState {
    virtual ~ControlState() = default;
    // Fills the drawing description of the control.
    virtual void describe(ui::Node &node) const = 0;
};

struct DialogState {
    DLGPROC proc = nullptr;
    INT_PTR result = 0;
    bool ended = false;
    LONG_PTR msg_result = 0;   // DWLP_MSGRESULT
    LONG_PTR user = 0;         // DWLP_USER
    HWND last_focus = nullptr; // restored when the dialog is active again
    int def_id = 0;            // DM_SETDEFID; 0 = none set
    bool message_box = false;  // built by MessageBoxW
    UINT icon = 0;             // message boxes: MB_ICON* bits
};

struct WindowClass {
    std::u16string name;
    WNDPROC proc = nullptr;
    UINT style = 0;
    HINSTANCE instance = nullptr;
    HBRUSH background = nullptr;
    ui::Kind kind = ui::Kind::Window;
    bool system = false;  // a built-in class
};

struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<ThreadQueue> queue;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    HWND parent = nullptr;  // child windows
    HWND owner = nullptr;   // owned top-level windows (dialogs, message boxes)
    int id = 0;
    DWORD style = 0;
    DWORD ex_style = 0;
    std::u16string text;
    int x = 0, y = 0, cx = 0, cy = 0;
    HINSTANCE instance = nullptr;
    LONG_PTR user_data = 0;
    std::vector<HWND> children;  // creation order = tab order
    bool destroying = false;
    bool changed = true;
    bool menu_bar = false;  // SHCreateMenuBar gave it an (empty) bar
    std::unique_ptr<ControlState> control;
    std::unique_ptr<DialogState> dialog;
};

// ---- the window table (call with or without wm_lock held) ----
std::shared_ptr<Window> find(HWND hwnd);          // null (no last error) if not a window
std::shared_ptr<Window> find_or_fail(HWND hwnd);  // sets ERROR_INVALID_WINDOW_HANDLE
std::vector<HWND> top_levels();                   // bottom to top
bool is_child_of(HWND child, HWND ancestor);      // ancestor itself counts
HWND top_level_of(HWND hwnd);
// Removes a window and its children without any message (its thread ended).
void drop_window_silently(HWND hwnd);

// ---- classes ----
std::shared_ptr<WindowClass> find_class(const std::u16string &name);
void register_system_class(const char16_t *name, WNDPROC proc, ui::Kind kind);
void ensure_system_classes();  // registers button, static, edit, combobox, dialog

// ---- messages ----
// Calls hwnd's procedure on the calling thread (no thread check).
LRESULT call_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// Runs fn on the queue's thread and waits; inline when it is the caller's.
LRESULT run_on(const std::shared_ptr<ThreadQueue> &q, std::function<LRESULT()> fn);
// WM_COMMAND from a control to its parent.
void notify_parent(HWND control, WORD code);
// Waits for and takes the next message of the calling thread, handling sent
// messages and front-end input meanwhile. False on WM_QUIT.
bool next_message(MSG &msg);

// ---- screen changes ----
void mark_changed(HWND hwnd);  // the front-end redraws before the next sleep
unsigned long scene_generation();
// Waits until the scene generation passes `seen` or the timeout (ms) elapses.
unsigned long wait_scene_change(unsigned long seen, int timeout_ms);

// ---- focus and activation ----
void activate(HWND top);          // makes a top-level window the active one
HWND foreground();                // the active top-level window of the process

// ---- dialogs ----
bool is_dialog(HWND hwnd);
// Default dialog processing of the keyboard; true when the message was used.
bool dialog_key(HWND dialog, MSG &msg);
// Runs a created dialog modally until EndDialog, WM_QUIT or its destruction.
INT_PTR run_modal(HWND dialog, HWND owner);
// Builds and runs a dialog from size bytes of template; -1 when it cannot.
INT_PTR dialog_box(HINSTANCE instance, const void *data, size_t size, HWND owner, DLGPROC proc, LPARAM param);
// Creates a dialog window (class #32770 or the template's) with no controls.
HWND create_dialog_window(HINSTANCE instance, DWORD style, DWORD ex_style, int x, int y, int cx, int cy,
                          const std::u16string &caption, HWND owner, DLGPROC proc,
                          const std::u16string &class_name = std::u16string());

// ---- front-end ----
// True when the chosen front-end can show dialogs (a terminal, or a driver).
bool interactive();
void set_driven(bool driven);  // a test driver attaches to the headless front-end
bool driven();

}  // namespace ce::wm
