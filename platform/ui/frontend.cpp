// Choosing the front-end, describing the windows to it, and turning its
// input into messages for the active window.
#include "ui/frontend.h"

#include "ui/headless/headless.h"
#include "ui/ui_internal.h"
#include "window/wm.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace ce::ui {
namespace {

std::map<std::string, FrontendFactory> &factories() {
    static auto *m = new std::map<std::string, FrontendFactory>;
    return *m;
}

std::mutex &fe_lock() {
    static auto *m = new std::mutex;
    return *m;
}

std::unique_ptr<Frontend> &chosen() {
    static auto *p = new std::unique_ptr<Frontend>;
    return *p;
}

unsigned long g_drawn = 0;  // generation last drawn; guarded by fe_lock
std::atomic<bool> g_driven{false};

std::unique_ptr<Frontend> choose() {
    auto &f = factories();
    auto terminal = f.find("terminal");
    const char *env = getenv("CE_UI");
    std::string want = env ? env : "";
    if (want == "headless") return make_headless();
    if (want == "terminal") {
        if (terminal != f.end()) return terminal->second();
        fprintf(stderr, "CE_UI=terminal: this build has no terminal front-end; running headless\n");
        return make_headless();
    }
    if (!want.empty())
        fprintf(stderr, "CE_UI=%s: unknown front-end (terminal or headless); choosing by the terminal\n",
                want.c_str());
    if (terminal != f.end() && isatty(0) && isatty(1)) return terminal->second();
    return make_headless();
}

Frontend &frontend_locked() {
    auto &p = chosen();
    if (!p) p = choose();
    return *p;
}

Kind kind_of(const wm::Window &w) {
    if (w.dialog) return Kind::Dialog;
    return w.cls ? w.cls->kind : Kind::Window;
}

bool is_push_button(const wm::Window &w) {
    return kind_of(w) == Kind::Button && (w.style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON;
}

Node describe(const wm::Window &w, HWND focus, HWND active) {
    Node n;
    n.hwnd = w.hwnd;
    n.kind = kind_of(w);
    n.id = w.id;
    n.style = w.style;
    n.ex_style = w.ex_style;
    n.text = w.text;
    n.x = w.x;
    n.y = w.y;
    n.cx = w.cx;
    n.cy = w.cy;
    n.visible = (w.style & WS_VISIBLE) != 0;
    n.enabled = !(w.style & WS_DISABLED);
    n.focused = focus == w.hwnd;
    n.changed = w.changed;
    if (w.control) w.control->describe(n);
    n.menu_bar = w.menu_bar;
    if (w.dialog) {
        n.message_box = w.dialog->message_box;
        n.icon = w.dialog->icon;
    }
    n.active = active == w.hwnd;
    // The default button: the focused push button, else the one styled default.
    HWND focused_button = nullptr;
    if (auto f = wm::find(focus); f && is_push_button(*f) && f->parent == w.hwnd) focused_button = focus;
    for (HWND c : w.children) {
        auto cw = wm::find(c);
        if (!cw) continue;
        Node child = describe(*cw, focus, active);
        if (child.kind == Kind::Button && is_push_button(*cw))
            child.is_default = focused_button ? c == focused_button : (cw->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        n.children.push_back(std::move(child));
    }
    return n;
}

void clear_changed(const Node &n) {
    if (auto w = wm::find(n.hwnd)) w->changed = false;
    for (const Node &c : n.children) clear_changed(c);
}

// The window that keyboard input goes to: the focus inside the active window.
bool takes_input(HWND hwnd) {
    wm::Guard g(wm::wm_lock());
    for (HWND h = hwnd; h;) {
        auto w = wm::find(h);
        if (!w || (w->style & WS_DISABLED) || !(w->style & WS_VISIBLE)) return false;
        h = w->parent;
    }
    return hwnd != nullptr;
}

}  // namespace

bool register_frontend(const char *name, FrontendFactory factory) {
    std::lock_guard<std::mutex> g(fe_lock());
    factories()[name] = factory;
    return true;
}

Frontend &frontend() {
    std::lock_guard<std::mutex> g(fe_lock());
    return frontend_locked();
}

Scene snapshot() {
    Scene s;
    s.generation = wm::scene_generation();
    wm::Guard g(wm::wm_lock());
    HWND active = wm::foreground();
    for (HWND h : wm::top_levels()) {
        auto w = wm::find(h);
        if (!w || !(w->style & WS_VISIBLE)) continue;
        HWND focus = w->queue ? w->queue->focus : nullptr;
        s.windows.push_back(describe(*w, focus, active));
    }
    return s;
}

void draw_if_changed() {
    std::lock_guard<std::mutex> g(fe_lock());
    Frontend &fe = frontend_locked();
    unsigned long now = wm::scene_generation();
    if (now == g_drawn) return;
    Scene s = snapshot();
    fe.draw(s);
    g_drawn = s.generation;
    wm::Guard wg(wm::wm_lock());
    for (const Node &n : s.windows) clear_changed(n);
}

int input_fd() {
    std::lock_guard<std::mutex> g(fe_lock());
    return frontend_locked().input_fd();
}

void read_and_deliver_input() {
    std::vector<Input> in;
    {
        std::lock_guard<std::mutex> g(fe_lock());
        frontend_locked().read_input(in);
    }
    for (const Input &i : in) deliver_input(i);
}

void deliver_input(const Input &in) {
    switch (in.kind) {
    case InputKind::Resize: {
        {
            wm::Guard g(wm::wm_lock());
            for (HWND h : wm::top_levels())
                if (auto w = wm::find(h)) w->changed = true;
        }
        wm::mark_changed(nullptr);
        return;
    }
    case InputKind::Key:
    case InputKind::Char: {
        // The window that takes the key is chosen when it is taken from the
        // queue (see kMsgKeyInput), not now.
        HWND top = wm::foreground();
        if (!top) return;
        if (in.kind == InputKind::Key)
            wm::post_input(top, wm::kMsgKeyInput, in.vk, 1 | (in.shift ? wm::kShiftBit : 0));
        else
            wm::post_input(top, wm::kMsgCharInput, in.ch, 1);
        return;
    }
    case InputKind::Click: {
        // A click reaches only a shown, enabled window of the active dialog
        // (an owner disabled by a modal dialog takes none).
        if (!takes_input(in.target)) return;
        if (wm::top_level_of(in.target) != wm::foreground()) return;
        if (in.item >= 0) {
            wm::post_input(in.target, wm::kMsgListClick, static_cast<WPARAM>(in.item), 0);
        } else {
            wm::post_input(in.target, WM_LBUTTONDOWN, 1, MAKELPARAM(in.x, in.y));
            wm::post_input(in.target, WM_LBUTTONUP, 0, MAKELPARAM(in.x, in.y));
        }
        return;
    }
    }
}

}  // namespace ce::ui

namespace ce::wm {

bool interactive() { return ui::frontend().interactive(); }
void set_driven(bool d) { ui::g_driven = d; }
bool driven() { return ui::g_driven; }

}  // namespace ce::wm
