// Message queues: one per thread, posting from any thread, sending across
// threads, and the wait that sleeps on the queue and the front-end together.
#include "window/wm.h"
#include "ui/ui_internal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <unordered_map>

namespace ce::wm {
namespace {

// Every live queue by thread id, for PostThreadMessageW.
std::mutex g_queues_lock;
std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>> &queues() {
    static auto *m = new std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>>;
    return *m;
}

void forget_thread_windows(ThreadQueue *q);

// Owns the calling thread's queue; when the thread ends, its windows go
// and callers waiting on it are released.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> q;
    ~QueueHolder() {
        if (!q) return;
        std::deque<std::shared_ptr<SentItem>> pending;
        std::deque<MSG> posted;
        {
            std::lock_guard<std::mutex> g(q->m);
            q->dead = true;
            pending.swap(q->sent);
            posted.swap(q->posted);
        }
        // Drivers waiting for a mark in the queue are released too.
        for (const MSG &m : posted) {
            if (m.message != kMsgSync || m.hwnd) continue;
            auto *t = reinterpret_cast<SyncToken *>(m.wParam);
            std::lock_guard<std::mutex> g(t->m);
            t->reached = true;
            t->cv.notify_all();
        }
        for (auto &item : pending) {
            std::shared_ptr<ThreadQueue> waiter;
            {
                std::lock_guard<std::mutex> g(item->m);
                item->done = true;
                waiter = item->waiter.lock();
            }
            if (waiter) waiter->wake();
        }
        forget_thread_windows(q.get());
        std::lock_guard<std::mutex> g(g_queues_lock);
        queues().erase(q->thread_id);
    }
};
thread_local QueueHolder t_queue;

void forget_thread_windows(ThreadQueue *q) {
    std::vector<HWND> mine;
    for (HWND h : top_levels()) {
        auto w = find(h);
        if (w && w->queue.get() == q) mine.push_back(h);
    }
    for (HWND h : mine) {
        // The thread is gone: its windows cannot take messages any more.
        drop_window_silently(h);
    }
}

// Runs every call other threads have sent to this queue.
void run_sent(ThreadQueue &q) {
    for (;;) {
        std::shared_ptr<SentItem> item;
        {
            std::lock_guard<std::mutex> g(q.m);
            if (q.sent.empty()) return;
            item = q.sent.front();
            q.sent.pop_front();
        }
        LRESULT r = item->fn();
        std::shared_ptr<ThreadQueue> waiter;
        {
            std::lock_guard<std::mutex> g(item->m);
            item->result = r;
            item->done = true;
            waiter = item->waiter.lock();
        }
        if (waiter) waiter->wake();
    }
}

bool matches(const MSG &m, HWND filter, UINT lo, UINT hi) {
    if (filter == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd) return false;
    } else if (filter && !is_child_of(m.hwnd, filter)) {
        return false;
    }
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

enum class Take { None, Message, Quit };

// Takes (or peeks) the first posted message that passes the filter; driver
// sync marks met on the way are signalled and dropped.
Take take_posted(ThreadQueue &q, MSG &out, HWND filter, UINT lo, UINT hi, bool remove) {
    std::vector<SyncToken *> reached;
    Take result = Take::None;
    {
        std::lock_guard<std::mutex> g(q.m);
        for (auto it = q.posted.begin(); it != q.posted.end();) {
            if (it->message == kMsgSync && it->hwnd == nullptr) {
                if (it == q.posted.begin()) {
                    reached.push_back(reinterpret_cast<SyncToken *>(it->wParam));
                    it = q.posted.erase(it);
                    continue;
                }
                ++it;
                continue;
            }
            if (matches(*it, filter, lo, hi)) {
                out = *it;
                if (remove) q.posted.erase(it);
                result = Take::Message;
                break;
            }
            ++it;
        }
        if (result == Take::None && q.quit) {
            out = MSG{};
            out.message = WM_QUIT;
            out.wParam = static_cast<WPARAM>(q.quit_code);
            if (remove) q.quit = false;
            result = Take::Quit;
        }
    }
    for (SyncToken *t : reached) {
        std::lock_guard<std::mutex> g(t->m);
        t->reached = true;
        t->cv.notify_all();
    }
    return result;
}

// Keyboard input goes to the window that has the focus as it leaves the
// queue: the focused control of the active window, or the window itself.
void route_keyboard_input(MSG &m) {
    if (m.message != kMsgKeyInput && m.message != kMsgCharInput) return;
    m.message = m.message == kMsgKeyInput ? WM_KEYDOWN : WM_CHAR;
    Guard g(wm_lock());
    HWND top = foreground();
    auto tw = find(top);
    if (!tw || !tw->queue || tw->queue->thread_id != current_thread_id()) return;  // stays with its window
    HWND focus = tw->queue->focus;
    m.hwnd = focus && is_child_of(focus, top) ? focus : top;
}

// How often a loop that never runs out of messages still draws and reads
// the keyboard: about a frame, so a flood of posted messages neither freezes
// the screen nor locks the user out.
constexpr uint64_t kServiceIntervalMs = 16;
thread_local uint64_t t_last_service = 0;

uint64_t monotonic_ms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

// Draws and takes waiting input while the loop is busy, once a frame.
void service_while_busy() {
    uint64_t now = monotonic_ms();
    if (now - t_last_service < kServiceIntervalMs) return;
    t_last_service = now;
    ui::draw_if_changed();
    int fd = ui::input_fd();
    if (fd < 0) return;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) ui::read_and_deliver_input();
}

// Sleeps until the queue is signalled or the front-end has input; draws
// first if the screen changed.
void idle_wait(ThreadQueue &q) {
    t_last_service = monotonic_ms();
    ui::draw_if_changed();
    pollfd fds[2] = {{q.efd, POLLIN, 0}, {ui::input_fd(), POLLIN, 0}};
    int n = fds[1].fd >= 0 ? 2 : 1;
    int r = poll(fds, n, -1);
    if (r > 0 && n == 2 && (fds[1].revents & POLLIN)) ui::read_and_deliver_input();
}

bool get_message(MSG *msg, HWND hwnd, UINT lo, UINT hi, bool wait, bool remove) {
    auto qp = current_queue();
    ThreadQueue &q = *qp;
    if (hwnd && hwnd != reinterpret_cast<HWND>(-1) && !find(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    for (;;) {
        q.drain();
        run_sent(q);
        MSG m{};
        Take t = take_posted(q, m, hwnd, lo, hi, remove);
        if (t == Take::Message) route_keyboard_input(m);
        if (t != Take::None) {
            *msg = m;
            if (remove) q.current = m;
            if (wait) service_while_busy();
            return true;
        }
        if (!wait) {
            // A non-waiting look still lets the front-end's input in.
            if (ui::input_fd() >= 0) {
                pollfd fd{ui::input_fd(), POLLIN, 0};
                if (poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN)) {
                    ui::read_and_deliver_input();
                    continue;
                }
            }
            return false;
        }
        idle_wait(q);
    }
}

}  // namespace

ThreadQueue::ThreadQueue() {
    efd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    thread_id = current_thread_id();
}

ThreadQueue::~ThreadQueue() {
    if (efd >= 0) close(efd);
}

void ThreadQueue::wake() {
    uint64_t one = 1;
    ssize_t r = write(efd, &one, sizeof one);
    (void)r;  // the counter cannot overflow in practice; a full counter still wakes
}

void ThreadQueue::drain() {
    uint64_t v;
    while (read(efd, &v, sizeof v) > 0) {
    }
}

// The platform's thread id, the one GetCurrentThreadId and CreateThread give.
DWORD current_thread_id() { return GetCurrentThreadId(); }

std::shared_ptr<ThreadQueue> current_queue() {
    if (!t_queue.q) {
        t_queue.q = std::make_shared<ThreadQueue>();
        std::lock_guard<std::mutex> g(g_queues_lock);
        queues()[t_queue.q->thread_id] = t_queue.q;
    }
    return t_queue.q;
}

LRESULT call_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC proc;
    {
        Guard g(wm_lock());
        auto w = find(hwnd);
        if (!w) return 0;
        proc = w->proc;
    }
    return proc ? proc(hwnd, msg, wp, lp) : 0;
}

LRESULT run_on(const std::shared_ptr<ThreadQueue> &target, std::function<LRESULT()> fn) {
    auto self = current_queue();
    if (target == self) return fn();
    auto item = std::make_shared<SentItem>();
    item->fn = std::move(fn);
    item->waiter = self;
    {
        std::lock_guard<std::mutex> g(target->m);
        if (target->dead) return 0;
        target->sent.push_back(item);
    }
    target->wake();
    // Wait for the answer, meanwhile answering calls sent to this thread so
    // that two threads sending to each other do not lock up.
    for (;;) {
        self->drain();
        run_sent(*self);
        {
            std::lock_guard<std::mutex> g(item->m);
            if (item->done) return item->result;
        }
        // Woken either by the answer or by a call sent to this thread.
        pollfd fd{self->efd, POLLIN, 0};
        poll(&fd, 1, -1);
    }
}

void notify_parent(HWND control, WORD code) {
    HWND parent;
    int id;
    {
        Guard g(wm_lock());
        auto w = find(control);
        if (!w || !w->parent) return;
        parent = w->parent;
        id = w->id;
    }
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

bool next_message(MSG &msg) {
    get_message(&msg, nullptr, 0, 0, true, true);
    return msg.message != WM_QUIT;
}

}  // namespace ce::wm

using namespace ce::wm;

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT lo, UINT hi) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hwnd && hwnd != reinterpret_cast<HWND>(-1) && !find(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    get_message(msg, hwnd, lo, hi, true, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT lo, UINT hi) { return GetMessageW(msg, hwnd, lo, hi); }

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT lo, UINT hi, UINT flags) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return get_message(msg, hwnd, lo, hi, false, (flags & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT lo, UINT hi, UINT flags) {
    return PeekMessageW(msg, hwnd, lo, hi, flags);
}

BOOL WaitMessage() {
    auto q = current_queue();
    q->drain();
    run_sent(*q);
    {
        std::lock_guard<std::mutex> g(q->m);
        if (!q->posted.empty() || q->quit) return TRUE;
    }
    idle_wait(*q);
    return TRUE;
}

BOOL TranslateMessage(const MSG *msg) {
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    WCHAR ch = 0;
    switch (msg->wParam) {
    case VK_BACK: ch = 8; break;
    case VK_TAB: ch = 9; break;
    case VK_RETURN: ch = 13; break;
    case VK_ESCAPE: ch = 27; break;
    default: return FALSE;
    }
    // The character comes next, ahead of anything already waiting.
    auto q = current_queue();
    MSG c = *msg;
    c.message = WM_CHAR;
    c.wParam = ch;
    {
        std::lock_guard<std::mutex> g(q->m);
        q->posted.push_front(c);
    }
    q->wake();
    return TRUE;
}

LRESULT DispatchMessageW(const MSG *msg) {
    if (!msg || !msg->hwnd) return 0;
    std::shared_ptr<ThreadQueue> owner;
    {
        Guard g(wm_lock());
        auto w = find_or_fail(msg->hwnd);
        if (!w) return 0;
        owner = w->queue;
    }
    if (owner != current_queue()) {
        SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
        return 0;
    }
    return call_proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DispatchMessageA(const MSG *msg) { return DispatchMessageW(msg); }

namespace {
BOOL post_to(const std::shared_ptr<ThreadQueue> &q, HWND hwnd, UINT m, WPARAM wp, LPARAM lp, bool input = false) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = m;
    msg.wParam = wp;
    msg.lParam = lp;
    msg.time = 0;
    {
        std::lock_guard<std::mutex> g(q->m);
        if (q->dead) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        // The user's input is never refused for a full queue: it is not
        // counted against the posted-message quota, as on the platform.
        if (!input && q->posted.size() >= kQueueLimit) {
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
            return FALSE;
        }
        q->posted.push_back(msg);
    }
    q->wake();
    return TRUE;
}
}  // namespace

namespace ce::wm {
bool post_input(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    std::shared_ptr<ThreadQueue> q;
    {
        Guard g(wm_lock());
        auto w = find_or_fail(hwnd);
        if (!w) return false;
        q = w->queue;
    }
    return post_to(q, hwnd, msg, wp, lp, true);
}
}  // namespace ce::wm

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    std::shared_ptr<ThreadQueue> q;
    if (!hwnd) {
        q = current_queue();
    } else {
        Guard g(wm_lock());
        auto w = find_or_fail(hwnd);
        if (!w) return FALSE;
        q = w->queue;
    }
    return post_to(q, hwnd, msg, wp, lp);
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return PostMessageW(hwnd, msg, wp, lp); }

BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wp, LPARAM lp) {
    std::shared_ptr<ThreadQueue> q;
    {
        std::lock_guard<std::mutex> g(g_queues_lock);
        auto it = queues().find(threadId);
        if (it != queues().end()) q = it->second.lock();
    }
    if (!q) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return post_to(q, nullptr, msg, wp, lp);
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    std::shared_ptr<ThreadQueue> q;
    {
        Guard g(wm_lock());
        auto w = find_or_fail(hwnd);
        if (!w) return 0;
        q = w->queue;
    }
    return run_on(q, [=] { return call_proc(hwnd, msg, wp, lp); });
}

// Window procedures here all take wide text; the narrow text messages are
// converted on the way in and out (in the PC's code page).
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETTEXT && lp) {
        auto *narrow = reinterpret_cast<LPCSTR>(lp);
        int n = MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
        std::u16string wide(static_cast<size_t>(n > 0 ? n : 1), u'\0');
        if (n > 0) MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide.data(), n);
        return SendMessageW(hwnd, msg, wp, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    if (msg == WM_GETTEXT && lp && wp > 0) {
        auto *out = reinterpret_cast<LPSTR>(lp);
        return GetWindowTextA(hwnd, out, static_cast<int>(wp));
    }
    return SendMessageW(hwnd, msg, wp, lp);
}

void PostQuitMessage(int code) {
    auto q = current_queue();
    {
        std::lock_guard<std::mutex> g(q->m);
        q->quit = true;
        q->quit_code = code;
    }
    q->wake();
}

DWORD GetMessagePos() {
    const MSG &m = current_queue()->current;
    return MAKELONG(m.pt.x, m.pt.y);
}

DWORD GetMessageTime() { return current_queue()->current.time; }
