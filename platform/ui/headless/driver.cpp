#include "ui/headless/driver.h"

#include "window/wm.h"

#include <chrono>

namespace ce::ui {
namespace {

using Clock = std::chrono::steady_clock;

int remaining(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until cond() holds, re-checking whenever the scene changes.
template <class F>
bool wait_until(F cond, int timeout_ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        unsigned long seen = wm::scene_generation();
        if (cond()) return true;
        int left = remaining(deadline);
        if (left == 0) return false;
        // Every change these waits look at (activation, enabling, texts,
        // destruction) moves the scene on and wakes us.
        wm::wait_scene_change(seen, left);
    }
}

bool find_node(const Node &n, HWND hwnd, Node *out) {
    if (n.hwnd == hwnd) {
        *out = n;
        return true;
    }
    for (const Node &c : n.children)
        if (find_node(c, hwnd, out)) return true;
    return false;
}

}  // namespace

Driver::Driver() { wm::set_driven(true); }
Driver::~Driver() { wm::set_driven(false); }

HWND Driver::active() const { return wm::foreground(); }

HWND Driver::wait_dialog(const std::u16string &caption, int timeout_ms) {
    HWND found = nullptr;
    wait_until(
        [&] {
            wm::Guard g(wm::wm_lock());
            HWND top = wm::foreground();
            auto w = wm::find(top);
            if (!w || !w->dialog || !(w->style & WS_VISIBLE) || (w->style & WS_DISABLED)) return false;
            if (!caption.empty() && w->text != caption) return false;
            found = top;
            return true;
        },
        timeout_ms);
    return found;
}

HWND Driver::wait_message_box(int timeout_ms) {
    HWND found = nullptr;
    wait_until(
        [&] {
            wm::Guard g(wm::wm_lock());
            HWND top = wm::foreground();
            auto w = wm::find(top);
            if (!w || !w->dialog || !w->dialog->message_box || !(w->style & WS_VISIBLE)) return false;
            found = top;
            return true;
        },
        timeout_ms);
    return found;
}

bool Driver::wait_gone(HWND hwnd, int timeout_ms) {
    return wait_until([&] { return !IsWindow(hwnd); }, timeout_ms);
}

HWND Driver::control(HWND dialog, int id) const { return GetDlgItem(dialog, id); }

HWND Driver::find(HWND dialog, const std::u16string &text) const {
    wm::Guard g(wm::wm_lock());
    auto w = wm::find(dialog);
    if (!w) return nullptr;
    for (HWND c : w->children) {
        auto cw = wm::find(c);
        if (cw && cw->text == text) return c;
    }
    return nullptr;
}

std::u16string Driver::text(HWND hwnd) const {
    int len = GetWindowTextLengthW(hwnd);
    std::u16string s(static_cast<size_t>(len) + 1, u'\0');
    int n = GetWindowTextW(hwnd, s.data(), len + 1);
    s.resize(static_cast<size_t>(n));
    return s;
}

std::u16string Driver::message_text(HWND box) const { return text(GetDlgItem(box, 0xFFFF)); }

bool Driver::enabled(HWND hwnd) const { return IsWindowEnabled(hwnd) != FALSE; }

HWND Driver::focus() const {
    wm::Guard g(wm::wm_lock());
    auto w = wm::find(wm::foreground());
    return w ? w->queue->focus : nullptr;
}

Node Driver::node(HWND hwnd) const {
    Scene s = snapshot();
    Node out;
    for (const Node &n : s.windows)
        if (find_node(n, hwnd, &out)) return out;
    return out;
}

bool Driver::sync_with(HWND hwnd) {
    std::shared_ptr<wm::ThreadQueue> q;
    {
        wm::Guard g(wm::wm_lock());
        auto w = wm::find(hwnd);
        if (!w) return true;  // gone: nothing left to wait for
        q = w->queue;
    }
    auto *token = new wm::SyncToken;  // freed once reached or taken back
    MSG m{};
    m.message = wm::kMsgSync;
    m.wParam = reinterpret_cast<WPARAM>(token);
    {
        std::lock_guard<std::mutex> g(q->m);
        if (q->dead) {
            delete token;
            return true;
        }
        q->posted.push_back(m);
    }
    q->wake();
    auto reached = [token] { return token->reached; };
    {
        std::unique_lock<std::mutex> lk(token->m);
        if (token->cv.wait_for(lk, std::chrono::milliseconds(kTimeout), reached)) {
            lk.unlock();
            delete token;
            return true;
        }
    }
    // Not reached in time: take the mark back, unless the thread has just
    // taken it (then it signals at once).
    {
        std::lock_guard<std::mutex> g(q->m);
        for (auto it = q->posted.begin(); it != q->posted.end(); ++it)
            if (it->message == wm::kMsgSync && it->wParam == reinterpret_cast<WPARAM>(token)) {
                q->posted.erase(it);
                delete token;
                return false;
            }
    }
    {
        std::unique_lock<std::mutex> lk(token->m);
        token->cv.wait(lk, reached);
    }
    delete token;
    return true;
}

bool Driver::key(UINT vk, bool shift) {
    HWND top = active();
    if (!top) return false;
    Input in;
    in.kind = InputKind::Key;
    in.vk = vk;
    in.shift = shift;
    deliver_input(in);
    return sync_with(top);
}

bool Driver::type(const std::u16string &text) {
    HWND top = active();
    if (!top) return false;
    for (char16_t c : text) {
        Input in;
        in.kind = InputKind::Char;
        in.ch = c;
        deliver_input(in);
    }
    return sync_with(top);
}

bool Driver::click(HWND target, int item) {
    if (!IsWindow(target)) return false;
    Input in;
    in.kind = InputKind::Click;
    in.target = target;
    in.item = item;
    deliver_input(in);
    return sync_with(target);
}

bool Driver::answer(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return button && click(button);
}

}  // namespace ce::ui
