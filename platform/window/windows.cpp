// Window objects: the table of live windows, classes, creation and
// destruction, texts, styles, enabling, focus and activation.
#include "window/wm.h"

#include "core/root.h"

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <unordered_map>

namespace ce::wm {
namespace {

// First window handle; handles step by 4 and are never reused, so a stale
// or invented HWND is always recognised.
constexpr uintptr_t kFirstWindow = 0x20000;

struct State {
    std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
    std::vector<HWND> z_order;  // top-level windows, bottom to top
    uintptr_t next = kFirstWindow;
    std::map<std::u16string, std::shared_ptr<WindowClass>> classes;  // by folded name
    std::map<ATOM, std::shared_ptr<WindowClass>> atoms;
    ATOM next_atom = 0xC000;
    HWND foreground = nullptr;
};

State &state() {
    static State *s = new State;  // never destroyed: windows may go during exit
    return *s;
}

std::mutex g_scene_lock;
std::condition_variable g_scene_cv;
unsigned long g_generation = 1;

std::u16string fold(const std::u16string &s) {
    std::u16string r = s;
    for (auto &c : r)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return r;
}

std::u16string from_narrow(LPCSTR s) {
    if (!s) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 0) return {};
    std::u16string r(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, r.data(), n);
    r.resize(static_cast<size_t>(n - 1));
    return r;
}

std::u16string from_wide(LPCWSTR s) { return s ? std::u16string(s) : std::u16string(); }

void bump_generation() {
    std::lock_guard<std::mutex> g(g_scene_lock);
    ++g_generation;
    g_scene_cv.notify_all();
}

void remove_from_table(const std::shared_ptr<Window> &w) {
    State &s = state();
    for (HWND c : w->children) {
        auto cw = find(c);
        if (cw) remove_from_table(cw);
    }
    s.windows.erase(reinterpret_cast<uintptr_t>(w->hwnd));
    std::erase(s.z_order, w->hwnd);
    if (s.foreground == w->hwnd) s.foreground = nullptr;
    if (w->queue) {
        if (w->queue->focus == w->hwnd) w->queue->focus = nullptr;
        if (w->queue->active == w->hwnd) w->queue->active = nullptr;
    }
    if (w->parent) {
        if (auto p = find(w->parent)) std::erase(p->children, w->hwnd);
    }
}

void destroy_tree(HWND hwnd) {
    call_proc(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        Guard g(wm_lock());
        auto w = find(hwnd);
        if (!w) return;
        children = w->children;
    }
    for (HWND c : children) {
        {
            Guard g(wm_lock());
            auto cw = find(c);
            if (!cw || cw->destroying) continue;
            cw->destroying = true;
        }
        destroy_tree(c);
    }
    call_proc(hwnd, WM_NCDESTROY, 0, 0);
    Guard g(wm_lock());
    if (auto w = find(hwnd)) remove_from_table(w);
}

}  // namespace

std::recursive_mutex &wm_lock() {
    static auto *m = new std::recursive_mutex;
    return *m;
}

std::shared_ptr<Window> find(HWND hwnd) {
    if (!hwnd) return nullptr;
    Guard g(wm_lock());
    auto &w = state().windows;
    auto it = w.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == w.end() ? nullptr : it->second;
}

std::shared_ptr<Window> find_or_fail(HWND hwnd) {
    auto w = find(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

std::vector<HWND> top_levels() {
    Guard g(wm_lock());
    return state().z_order;
}

bool is_child_of(HWND child, HWND ancestor) {
    Guard g(wm_lock());
    for (HWND h = child; h;) {
        if (h == ancestor) return true;
        auto w = find(h);
        if (!w) return false;
        h = w->parent;
    }
    return false;
}

HWND top_level_of(HWND hwnd) {
    Guard g(wm_lock());
    HWND last = nullptr;
    for (HWND h = hwnd; h;) {
        auto w = find(h);
        if (!w) return last;
        last = h;
        h = w->parent;
    }
    return last;
}

void drop_window_silently(HWND hwnd) {
    {
        Guard g(wm_lock());
        if (auto w = find(hwnd)) remove_from_table(w);
    }
    bump_generation();
}

std::shared_ptr<WindowClass> find_class(const std::u16string &name) {
    Guard g(wm_lock());
    auto &c = state().classes;
    auto it = c.find(fold(name));
    return it == c.end() ? nullptr : it->second;
}

void register_system_class(const char16_t *name, WNDPROC proc, ui::Kind kind) {
    Guard g(wm_lock());
    auto cls = std::make_shared<WindowClass>();
    cls->name = name;
    cls->proc = proc;
    cls->kind = kind;
    cls->system = true;
    state().classes[fold(name)] = cls;
}

void mark_changed(HWND hwnd) {
    {
        Guard g(wm_lock());
        if (auto w = find(hwnd)) w->changed = true;
    }
    bump_generation();
}

unsigned long scene_generation() {
    std::lock_guard<std::mutex> g(g_scene_lock);
    return g_generation;
}

unsigned long wait_scene_change(unsigned long seen, int timeout_ms) {
    std::unique_lock<std::mutex> lk(g_scene_lock);
    g_scene_cv.wait_for(lk, std::chrono::milliseconds(timeout_ms), [&] { return g_generation != seen; });
    return g_generation;
}

HWND foreground() {
    Guard g(wm_lock());
    return state().foreground;
}

void activate(HWND top) {
    std::shared_ptr<ThreadQueue> q;
    HWND previous;
    {
        Guard g(wm_lock());
        auto w = find(top);
        if (!w) return;
        q = w->queue;
        previous = q->active;
        state().foreground = top;
        auto &z = state().z_order;
        std::erase(z, top);
        z.push_back(top);
        if (previous == top) return;
        q->active = top;
    }
    bump_generation();
    if (previous && find(previous)) call_proc(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top));
    call_proc(top, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
}

}  // namespace ce::wm

using namespace ce::wm;

namespace {

HWND create_window(DWORD ex_style, const std::shared_ptr<WindowClass> &cls, const std::u16string &name,
                   DWORD style, int x, int y, int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance,
                   LPVOID param) {
    auto w = std::make_shared<Window>();
    {
        Guard g(wm_lock());
        if (parent && !find(parent)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if ((style & WS_CHILD) && !parent) {
            SetLastError(ERROR_INVALID_PARAMETER);  // a child needs a parent
            return nullptr;
        }
        State &s = state();
        w->hwnd = reinterpret_cast<HWND>(s.next);
        s.next += 4;
        w->queue = current_queue();
        w->cls = cls;
        w->proc = cls->proc;
        w->style = style & ~WS_VISIBLE;
        w->ex_style = ex_style;
        w->instance = instance;
        w->x = x == CW_USEDEFAULT ? 0 : x;
        w->y = y == CW_USEDEFAULT ? 0 : y;
        w->cx = cx == CW_USEDEFAULT ? 160 : cx;
        w->cy = cy == CW_USEDEFAULT ? 160 : cy;
        if (style & WS_CHILD) {
            w->parent = parent;
            w->id = static_cast<int>(reinterpret_cast<intptr_t>(menu));
            find(parent)->children.push_back(w->hwnd);
        } else {
            w->owner = parent ? top_level_of(parent) : nullptr;
            s.z_order.push_back(w->hwnd);
        }
        s.windows[reinterpret_cast<uintptr_t>(w->hwnd)] = w;
    }
    HWND hwnd = w->hwnd;
    CREATESTRUCTW cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = w->cx;
    cs.cy = w->cy;
    cs.x = w->x;
    cs.y = w->y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = name.c_str();
    cs.lpszClass = cls->name.c_str();
    cs.dwExStyle = ex_style;
    if (!call_proc(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        call_proc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    mark_changed(hwnd);
    return hwnd;
}

std::shared_ptr<WindowClass> class_by_name(LPCWSTR name) {
    ensure_system_classes();
    if (!name) return nullptr;
    if (IS_INTRESOURCE(name)) {
        Guard g(wm_lock());
        auto &a = state().atoms;
        auto it = a.find(static_cast<ATOM>(reinterpret_cast<uintptr_t>(name)));
        return it == a.end() ? nullptr : it->second;
    }
    return find_class(name);
}

ATOM register_class(const std::u16string &name, WNDPROC proc, UINT style, HINSTANCE instance, HBRUSH bg) {
    if (name.empty() || !proc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ensure_system_classes();
    Guard g(wm_lock());
    State &s = state();
    auto key = fold(name);
    if (auto it = s.classes.find(key); it != s.classes.end() && !it->second->system) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = name;
    cls->proc = proc;
    cls->style = style;
    cls->instance = instance;
    cls->background = bg;
    s.classes[key] = cls;
    ATOM atom = s.next_atom++;
    s.atoms[atom] = cls;
    return atom;
}

// Runs fn on the thread that owns the window (windows are touched by their
// own thread, as on the platform).
template <class F>
LRESULT on_owner(HWND hwnd, F fn) {
    std::shared_ptr<ThreadQueue> q;
    {
        Guard g(wm_lock());
        auto w = find_or_fail(hwnd);
        if (!w) return 0;
        q = w->queue;
    }
    return run_on(q, fn);
}

}  // namespace

ATOM RegisterClassW(const WNDCLASSW *wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return register_class(from_wide(wc->lpszClassName), wc->lpfnWndProc, wc->style, wc->hInstance,
                          wc->hbrBackground);
}

ATOM RegisterClassA(const WNDCLASSA *wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return register_class(from_narrow(wc->lpszClassName), wc->lpfnWndProc, wc->style, wc->hInstance,
                          wc->hbrBackground);
}

BOOL UnregisterClassW(LPCWSTR name, HINSTANCE) {
    if (!name || IS_INTRESOURCE(name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Guard g(wm_lock());
    State &s = state();
    auto it = s.classes.find(fold(name));
    if (it == s.classes.end() || it->second->system) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    for (auto a = s.atoms.begin(); a != s.atoms.end();) {
        if (a->second == it->second) a = s.atoms.erase(a);
        else ++a;
    }
    s.classes.erase(it);
    return TRUE;
}

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR name, DWORD style, int x, int y, int cx,
                     int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    auto cls = class_by_name(class_name);
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    return create_window(ex_style, cls, from_wide(name), style, x, y, cx, cy, parent, menu, instance, param);
}

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR name, DWORD style, int x, int y, int cx, int cy,
                     HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    std::shared_ptr<WindowClass> cls;
    if (class_name && IS_INTRESOURCE(class_name)) {
        cls = class_by_name(reinterpret_cast<LPCWSTR>(class_name));
    } else {
        std::u16string wide = from_narrow(class_name);
        cls = class_by_name(wide.c_str());
    }
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    return create_window(ex_style, cls, from_narrow(name), style, x, y, cx, cy, parent, menu, instance, param);
}

BOOL DestroyWindow(HWND hwnd) {
    std::shared_ptr<ThreadQueue> q;
    HWND owner = nullptr;
    bool was_active = false;
    std::vector<HWND> owned;
    {
        Guard g(wm_lock());
        auto w = find_or_fail(hwnd);
        if (!w) return FALSE;
        if (w->queue != current_queue()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying) return TRUE;
        w->destroying = true;
        q = w->queue;
        owner = w->owner;
        was_active = q->active == hwnd;
        if (q->focus && is_child_of(q->focus, hwnd)) q->focus = nullptr;
        for (HWND t : state().z_order) {
            auto tw = find(t);
            if (tw && tw->owner == hwnd) owned.push_back(t);
        }
    }
    // Owned windows (message boxes, dialogs) go first.
    for (HWND o : owned) DestroyWindow(o);
    destroy_tree(hwnd);
    bump_generation();
    if (was_active) {
        HWND next = nullptr;
        {
            Guard g(wm_lock());
            if (q->active == hwnd || q->active == nullptr) {
                q->active = nullptr;
                if (owner && find(owner)) {
                    next = owner;
                } else {
                    // The topmost remaining enabled window of this thread.
                    auto &z = state().z_order;
                    for (auto it = z.rbegin(); it != z.rend(); ++it) {
                        auto tw = find(*it);
                        if (tw && tw->queue == q && !(tw->style & WS_DISABLED) && (tw->style & WS_VISIBLE)) {
                            next = *it;
                            break;
                        }
                    }
                }
            }
        }
        if (next) activate(next);
    }
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return find(hwnd) ? TRUE : FALSE; }

HWND GetParent(HWND hwnd) {
    Guard g(wm_lock());
    auto w = find_or_fail(hwnd);
    if (!w) return nullptr;
    return w->parent ? w->parent : w->owner;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    bool was_visible;
    bool top;
    {
        Guard g(wm_lock());
        auto w = find_or_fail(hwnd);
        if (!w) return FALSE;
        was_visible = (w->style & WS_VISIBLE) != 0;
        if (cmd == SW_HIDE) w->style &= ~WS_VISIBLE;
        else w->style |= WS_VISIBLE;
        top = w->parent == nullptr;
    }
    if (was_visible != (cmd != SW_HIDE)) {
        call_proc(hwnd, WM_SHOWWINDOW, cmd != SW_HIDE, 0);
        mark_changed(hwnd);
    }
    if (top && cmd != SW_HIDE && !(GetWindowLongW(hwnd, GWL_STYLE) & WS_DISABLED)) activate(hwnd);
    return was_visible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) { return IsWindow(hwnd); }

BOOL IsWindowVisible(HWND hwnd) {
    Guard g(wm_lock());
    for (HWND h = hwnd; h;) {
        auto w = find(h);
        if (!w || !(w->style & WS_VISIBLE)) return FALSE;
        h = w->parent;
    }
    return hwnd ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    bool was_disabled;
    std::shared_ptr<ThreadQueue> q;
    {
        Guard g(wm_lock());
        auto w = find_or_fail(hwnd);
        if (!w) return FALSE;
        was_disabled = (w->style & WS_DISABLED) != 0;
        if (was_disabled == !enable) return was_disabled;
        if (enable) w->style &= ~WS_DISABLED;
        else w->style |= WS_DISABLED;
        q = w->queue;
    }
    mark_changed(hwnd);
    // A disabled window loses the keyboard focus.
    if (!enable) {
        bool had_focus;
        {
            Guard g(wm_lock());
            had_focus = q->focus && is_child_of(q->focus, hwnd);
        }
        if (had_focus) {
            on_owner(hwnd, [] { SetFocus(nullptr); return LRESULT(0); });
        }
    }
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return was_disabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
    Guard g(wm_lock());
    auto w = find_or_fail(hwnd);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    if (!find_or_fail(hwnd)) return FALSE;
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
    std::u16string wide = from_narrow(text);
    return SetWindowTextW(hwnd, wide.c_str());
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int max) {
    if (!find_or_fail(hwnd)) return 0;
    if (!buffer || max <= 0) return 0;
    buffer[0] = 0;
    SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buffer));
    buffer[max - 1] = 0;
    return static_cast<int>(wcslen(buffer));
}

int GetWindowTextA(HWND hwnd, LPSTR buffer, int max) {
    if (!buffer || max <= 0) return 0;
    int len = GetWindowTextLengthW(hwnd);
    std::u16string wide(static_cast<size_t>(len) + 1, u'\0');
    GetWindowTextW(hwnd, wide.data(), len + 1);
    int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, buffer, max, nullptr, nullptr);
    if (n <= 0) {
        // Too long: cut to the buffer, never in the middle of a character.
        std::string all(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0,
                                                                nullptr, nullptr)) + 1, '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, all.data(), static_cast<int>(all.size()), nullptr,
                            nullptr);
        size_t cut = static_cast<size_t>(max - 1);
        while (cut > 0 && cut < all.size() && (static_cast<unsigned char>(all[cut]) & 0xC0) == 0x80) --cut;
        memcpy(buffer, all.data(), cut);
        buffer[cut] = 0;
        return static_cast<int>(cut);
    }
    return n - 1;
}

int GetWindowTextLengthW(HWND hwnd) {
    if (!find_or_fail(hwnd)) return 0;
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

HWND SetFocus(HWND hwnd) {
    auto q = current_queue();
    HWND old;
    HWND top = nullptr;
    {
        Guard g(wm_lock());
        if (hwnd) {
            auto w = find_or_fail(hwnd);
            if (!w) return nullptr;
            if (w->queue != q) {
                SetLastError(ERROR_ACCESS_DENIED);
                return nullptr;
            }
            top = top_level_of(hwnd);
        }
        old = q->focus;
        if (old == hwnd) return old;
        q->focus = hwnd;
        // A dialog remembers its focused control for when it is active again.
        if (hwnd && top && top != hwnd) {
            auto tw = find(top);
            if (tw && tw->dialog) tw->dialog->last_focus = hwnd;
        }
    }
    if (old && find(old)) {
        call_proc(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
        mark_changed(old);
    }
    if (hwnd) {
        if (top && q->active != top) activate(top);
        call_proc(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
        mark_changed(hwnd);
    }
    return old;
}

HWND GetFocus() {
    auto q = current_queue();
    Guard g(wm_lock());
    return q->focus;
}

HWND GetActiveWindow() {
    auto q = current_queue();
    Guard g(wm_lock());
    return q->active;
}

HWND GetForegroundWindow() { return foreground(); }

BOOL SetForegroundWindow(HWND hwnd) {
    if (!find_or_fail(hwnd)) return FALSE;
    HWND top = top_level_of(hwnd);
    on_owner(top, [top] {
        activate(top);
        return LRESULT(0);
    });
    return TRUE;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    Guard g(wm_lock());
    auto w = find_or_fail(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->ex_style);
    case GWL_ID: return w->id;
    case GWL_USERDATA: return w->user_data;
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    default: break;
    }
    if (w->dialog) {
        switch (index) {
        case DWLP_MSGRESULT: return w->dialog->msg_result;
        case DWLP_DLGPROC: return reinterpret_cast<LONG_PTR>(w->dialog->proc);
        case DWLP_USER: return w->dialog->user;
        default: break;
        }
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    LONG_PTR old = 0;
    {
        Guard g(wm_lock());
        auto w = find_or_fail(hwnd);
        if (!w) return 0;
        switch (index) {
        case GWL_STYLE: old = w->style; w->style = static_cast<DWORD>(value); break;
        case GWL_EXSTYLE: old = w->ex_style; w->ex_style = static_cast<DWORD>(value); break;
        case GWL_ID: old = w->id; w->id = static_cast<int>(value); break;
        case GWL_USERDATA: old = w->user_data; w->user_data = value; break;
        case GWL_WNDPROC:
            old = reinterpret_cast<LONG_PTR>(w->proc);
            w->proc = reinterpret_cast<WNDPROC>(value);
            break;
        default:
            if (w->dialog && index == DWLP_MSGRESULT) {
                old = w->dialog->msg_result;
                w->dialog->msg_result = value;
            } else if (w->dialog && index == DWLP_DLGPROC) {
                old = reinterpret_cast<LONG_PTR>(w->dialog->proc);
                w->dialog->proc = reinterpret_cast<DLGPROC>(value);
            } else if (w->dialog && index == DWLP_USER) {
                old = w->dialog->user;
                w->dialog->user = value;
            } else {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
        }
    }
    if (index == GWL_STYLE || index == GWL_EXSTYLE) mark_changed(hwnd);
    return old;
}

LONG GetWindowLongW(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtrW(hwnd, index)); }
LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    Guard g(wm_lock());
    auto w = find_or_fail(hwnd);
    if (!w || !rect) return FALSE;
    int x = 0, y = 0;
    for (auto p = w; p; p = find(p->parent)) {
        x += p->x;
        y += p->y;
    }
    *rect = RECT{x, y, x + w->cx, y + w->cy};
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    Guard g(wm_lock());
    auto w = find_or_fail(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->cx, w->cy};
    return TRUE;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) { return find_or_fail(dialog) && rect ? TRUE : FALSE; }

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD pid) {
    Guard g(wm_lock());
    auto w = find_or_fail(hwnd);
    if (!w) return 0;
    if (pid) *pid = static_cast<DWORD>(getpid());
    return w->queue->thread_id;
}

// Cursors, icons and brushes are never drawn; distinct non-null values let
// programs check for success.
HCURSOR LoadCursorW(HINSTANCE, LPCWSTR) { return reinterpret_cast<HCURSOR>(uintptr_t(0x7f00)); }
HICON LoadIconW(HINSTANCE, LPCWSTR) { return reinterpret_cast<HICON>(uintptr_t(0x7f04)); }
HCURSOR LoadCursorA(HINSTANCE, LPCSTR) { return reinterpret_cast<HCURSOR>(uintptr_t(0x7f00)); }
HICON LoadIconA(HINSTANCE, LPCSTR) { return reinterpret_cast<HICON>(uintptr_t(0x7f04)); }
HBRUSH GetSysColorBrush(int index) { return reinterpret_cast<HBRUSH>(uintptr_t(0x7e00 + index)); }

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCCREATE: {
        auto *cs = reinterpret_cast<CREATESTRUCTW *>(lp);
        if (cs && cs->lpszName) {
            Guard g(wm_lock());
            if (auto w = find(hwnd)) w->text = cs->lpszName;
        }
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SETTEXT: {
        {
            Guard g(wm_lock());
            auto w = find(hwnd);
            if (!w) return FALSE;
            w->text = from_wide(reinterpret_cast<LPCWSTR>(lp));
        }
        mark_changed(hwnd);
        return TRUE;
    }
    case WM_GETTEXT: {
        auto *out = reinterpret_cast<LPWSTR>(lp);
        if (!out || wp == 0) return 0;
        Guard g(wm_lock());
        auto w = find(hwnd);
        if (!w) return 0;
        size_t n = std::min<size_t>(w->text.size(), wp - 1);
        std::copy_n(w->text.data(), n, out);
        out[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
        Guard g(wm_lock());
        auto w = find(hwnd);
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_ACTIVATE:
        // An activated window takes the focus unless one of its children has it.
        if (LOWORD(wp) != WA_INACTIVE) {
            HWND f = GetFocus();
            if (!f || !is_child_of(f, hwnd)) SetFocus(hwnd);
        }
        return 0;
    default:
        return 0;
    }
}

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd, msg, wp, lp); }

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return proc ? proc(hwnd, msg, wp, lp) : 0;
}
