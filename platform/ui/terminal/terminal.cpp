// The terminal front-end: draws the window manager's scene with ncurses
// (wide-character build) and reads keys and mouse clicks.
//
// Input and frame pacing share one epoll set, which input_fd() reports: the
// terminal, a self-pipe the resize signal writes to, and a timerfd armed for
// a frame that was put off because it came too soon after the previous one.
// The message loop polls that set with its queue, so a deferred frame is
// drawn exactly when due and an idle program costs nothing.
//
// Input is handed over one key or click at a time: the window manager picks
// the window a key goes to when it is handed over, so keys typed ahead (Tab,
// then Down) must wait until the ones before them have moved the focus. The
// rest wait in a queue, and an eventfd in the epoll set keeps the loop coming
// back for them.
//
// Every call comes under the front-end lock (see frontend.h); nothing here
// needs a lock of its own.
#define NCURSES_WIDECHAR 1
#include "ui/terminal/keys.h"
#include "ui/terminal/pacer.h"
#include "ui/terminal/painter.h"
#include "ui/terminal/restore.h"
#include "ui/headless/headless.h"
#include "window/wm.h"

#include <curses.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

namespace ce::ui::term {
namespace {

using Clock = FramePacer::Clock;
constexpr auto kFrameInterval = std::chrono::microseconds(16667);  // 60 frames a second

// Colour pairs.
enum Pair : short { kPairWindow = 1, kPairCaption, kPairField, kPairFocus, kPairSelection, kPairStop, kPairWarning, kPairInfo };

struct Look {
    attr_t attr = A_NORMAL;
    short pair = 0;
};

// Counts for CE_UI_STATS=<file>: written there at exit, for benchmarks and
// tests that look at how frames were coalesced.
struct Stats {
    unsigned long requested = 0;  // draw calls from the message loop
    unsigned long frames = 0;     // frames painted
    unsigned long cells = 0;      // cells sent to ncurses
};
Stats g_stats;
std::string g_stats_path;

void write_stats() {
    FILE *f = fopen(g_stats_path.c_str(), "w");
    if (!f) return;
    fprintf(f, "requested=%lu frames=%lu cells=%lu\n", g_stats.requested, g_stats.frames, g_stats.cells);
    fclose(f);
}

HWND owner_of(HWND hwnd) {
    wm::Guard g(wm::wm_lock());
    auto w = wm::find(hwnd);
    return w ? w->owner : nullptr;
}

class Terminal final : public Frontend {
public:
    ~Terminal() override = default;

    bool start() {
        // Wide text needs the user's locale; a program that chose none gets it.
        const char *cur = setlocale(LC_CTYPE, nullptr);
        if (!cur || !strcmp(cur, "C") || !strcmp(cur, "POSIX")) setlocale(LC_CTYPE, "");
        utf8_ = !strcmp(nl_langinfo(CODESET), "UTF-8");

        note_signal_handlers();
        screen_ = newterm(nullptr, stdout, stdin);
        if (!screen_) {
            const char *t = getenv("TERM");
            fprintf(stderr, "terminal front-end: cannot use the terminal type \"%s\"; running without a screen\n",
                    t ? t : "(TERM not set)");
            return false;
        }
        set_term(screen_);
        set_screen_mode(true);
        cbreak();  // Ctrl+C still ends the program (and gives the terminal back)
        noecho();
        nonl();
        intrflush(stdscr, FALSE);
        keypad(stdscr, TRUE);
        nodelay(stdscr, TRUE);
        set_escdelay(25);
        mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON1_CLICKED, nullptr);
        mouseinterval(0);
        choose_looks();

        if (pipe2(resize_pipe_, O_NONBLOCK | O_CLOEXEC) != 0) resize_pipe_[0] = resize_pipe_[1] = -1;
        timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        waiting_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        epoll_ = epoll_create1(EPOLL_CLOEXEC);
        watch(STDIN_FILENO);
        watch(waiting_fd_);
        watch(resize_pipe_[0]);
        watch(timer_);
        guard_terminal(resize_pipe_[1]);
        if (const char *stats = getenv("CE_UI_STATS"); stats && *stats) {
            g_stats_path = stats;
            atexit(write_stats);
        }
        return true;
    }

    const char *name() const override { return "terminal"; }
    bool interactive() const override { return true; }
    int input_fd() const override { return epoll_; }

    void read_input(std::vector<Input> &out) override {
        epoll_event ev[5];
        int n = epoll_wait(epoll_, ev, 5, 0);
        for (int i = 0; i < n; ++i) {
            int fd = ev[i].data.fd;
            if (fd == resize_pipe_[0]) {
                char buf[64];
                while (read(fd, buf, sizeof buf) > 0) {
                }
                resized();
            } else if (fd == timer_) {
                uint64_t expirations;
                ssize_t r = read(timer_, &expirations, sizeof expirations);
                (void)r;
                if (pending_) render();
            } else if (fd == STDIN_FILENO && (ev[i].events & (EPOLLHUP | EPOLLERR)) && !(ev[i].events & EPOLLIN)) {
                // The terminal is gone: stop watching it rather than spin.
                epoll_ctl(epoll_, EPOLL_CTL_DEL, STDIN_FILENO, nullptr);
            }
        }
        read_keys();
        // One key or click now (a space's key and character together).
        if (!waiting_.empty()) {
            Input first = waiting_.front();
            waiting_.pop_front();
            out.push_back(first);
            if (first.kind == InputKind::Key && first.vk == VK_SPACE && !waiting_.empty() &&
                waiting_.front().kind == InputKind::Char) {
                out.push_back(waiting_.front());
                waiting_.pop_front();
            }
        }
        uint64_t v;
        while (read(waiting_fd_, &v, sizeof v) > 0) {
        }
        if (!waiting_.empty()) {
            uint64_t one = 1;
            ssize_t r = write(waiting_fd_, &one, sizeof one);
            (void)r;
        }
    }

    void draw(const Scene &scene) override {
        ++g_stats.requested;
        latest_ = scene;
        if (auto due = pacer_.wanted(Clock::now())) {
            if (!pending_) arm(*due);
            pending_ = true;
            return;
        }
        render();
    }

private:
    void watch(int fd) {
        if (fd < 0) return;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
    }

    void arm(Clock::time_point due) {
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch()).count();
        itimerspec t{};
        t.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
        t.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
        if (t.it_value.tv_sec == 0 && t.it_value.tv_nsec == 0) t.it_value.tv_nsec = 1;
        timerfd_settime(timer_, TFD_TIMER_ABSTIME, &t, nullptr);
    }

    void render(bool full = false) {
        pending_ = false;
        itimerspec off{};
        timerfd_settime(timer_, 0, &off, nullptr);
        Frame frame = paint(latest_, COLS, LINES, owner_of);
        ++g_stats.frames;
        show(frame, full);
        shown_ = std::move(frame);
        pacer_.drawn(Clock::now());
    }

    void resized() {
        winsize ws{};
        if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0)
            resize_term(ws.ws_row, ws.ws_col);
        clearok(curscr, TRUE);
        render(true);
        Input in;
        in.kind = InputKind::Resize;
        waiting_.push_back(in);
    }

    void read_keys() {
        std::vector<Input> got;
        for (;;) {
            wint_t ch = 0;
            int r = wget_wch(stdscr, &ch);
            if (r == ERR) break;
            if (r == KEY_CODE_YES && ch == KEY_RESIZE) {
                resized();
            } else if (r == KEY_CODE_YES && ch == KEY_MOUSE) {
                MEVENT m{};
                if (getmouse(&m) == OK && (m.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)))
                    if (auto click = click_at(shown_, m.x, m.y)) waiting_.push_back(*click);
            } else {
                got.clear();
                translate_key(r == KEY_CODE_YES, static_cast<unsigned>(ch), got);
                waiting_.insert(waiting_.end(), got.begin(), got.end());
            }
        }
    }

    // Colours where the terminal has at least eight (and NO_COLOR is not
    // set), else a monochrome look of bold, reverse, underline and dim.
    void choose_looks() {
        bool colour = has_colors() && !getenv("NO_COLOR") && start_color() == OK && COLORS >= 8;
        if (colour) {
            use_default_colors();
            init_pair(kPairWindow, COLOR_BLACK, COLOR_WHITE);
            init_pair(kPairCaption, COLOR_WHITE, COLOR_BLUE);
            init_pair(kPairField, COLOR_BLACK, COLOR_CYAN);
            init_pair(kPairFocus, COLOR_WHITE, COLOR_BLUE);
            init_pair(kPairSelection, COLOR_WHITE, COLOR_BLACK);
            init_pair(kPairStop, COLOR_WHITE, COLOR_RED);
            init_pair(kPairWarning, COLOR_BLACK, COLOR_YELLOW);
            init_pair(kPairInfo, COLOR_WHITE, COLOR_BLUE);
        }
        auto set = [&](Role r, Look c, Look mono) { looks_[static_cast<int>(r)] = colour ? c : mono; };
        set(Role::Screen, {A_NORMAL, 0}, {A_NORMAL, 0});
        set(Role::Window, {A_NORMAL, kPairWindow}, {A_NORMAL, 0});
        set(Role::Caption, {A_BOLD, kPairCaption}, {A_REVERSE | A_BOLD, 0});
        set(Role::CaptionInactive, {A_NORMAL, kPairWindow}, {A_BOLD, 0});
        set(Role::Disabled, {A_DIM, kPairWindow}, {A_DIM, 0});
        set(Role::ButtonDefault, {A_BOLD, kPairWindow}, {A_BOLD, 0});
        set(Role::Focus, {A_BOLD, kPairFocus}, {A_REVERSE | A_BOLD, 0});
        set(Role::Field, {A_NORMAL, kPairField}, {A_UNDERLINE, 0});
        set(Role::FieldReadOnly, {A_NORMAL, kPairWindow}, {A_NORMAL, 0});
        set(Role::Selection, {A_NORMAL, kPairSelection}, {A_UNDERLINE | A_BOLD, 0});
        set(Role::List, {A_NORMAL, kPairField}, {A_UNDERLINE, 0});
        set(Role::ListSelected, {A_BOLD, kPairFocus}, {A_REVERSE | A_BOLD, 0});
        set(Role::MenuBar, {A_NORMAL, kPairCaption}, {A_REVERSE, 0});
        set(Role::IconStop, {A_BOLD, kPairStop}, {A_REVERSE | A_BOLD, 0});
        set(Role::IconWarning, {A_BOLD, kPairWarning}, {A_REVERSE | A_BOLD, 0});
        set(Role::IconInfo, {A_BOLD, kPairInfo}, {A_REVERSE | A_BOLD, 0});
        set(Role::Notice, {A_BOLD, 0}, {A_BOLD, 0});
    }

    // The terminal's line graphics for the painter's box characters.
    static const cchar_t *line_graphic(char32_t ch) {
        switch (ch) {
        case box::kH: return WACS_HLINE;
        case box::kV: return WACS_VLINE;
        case box::kTL: return WACS_ULCORNER;
        case box::kTR: return WACS_URCORNER;
        case box::kBL: return WACS_LLCORNER;
        case box::kBR: return WACS_LRCORNER;
        case box::kUp: return WACS_UARROW;
        case box::kDown: return WACS_DARROW;
        case box::kTrack: return WACS_CKBOARD;
        case box::kThumb: return WACS_BLOCK;
        default: return nullptr;
        }
    }

    void put_cell(int x, int y, const Cell &cell) {
        const Look &look = looks_[static_cast<int>(cell.role)];
        cchar_t cc{};
        const cchar_t *g = utf8_ ? nullptr : line_graphic(cell.ch);
        if (g) {
            // The terminal's own line graphics, for a terminal without Unicode.
            wchar_t text[CCHARW_MAX] = {};
            attr_t attrs = 0;
            short pair = 0;
            getcchar(g, text, &attrs, &pair, nullptr);
            setcchar(&cc, text, look.attr | (attrs & A_ALTCHARSET), look.pair, nullptr);
        } else {
            wchar_t text[3] = {static_cast<wchar_t>(cell.ch), 0, 0};
            if (!utf8_ && cell.ch >= 0x80) text[0] = L'?';
            else if (cell.mark) text[1] = static_cast<wchar_t>(cell.mark);
            setcchar(&cc, text, look.attr, look.pair, nullptr);
        }
        mvadd_wch(y, x, &cc);
    }

    // Copies the cells that differ from what is on the screen; ncurses then
    // sends the terminal only what really changed.
    void show(const Frame &frame, bool full) {
        const Canvas &now = frame.canvas;
        const Canvas &was = shown_.canvas;
        bool same_size = was.width() == now.width() && was.height() == now.height();
        for (int y = 0; y < now.height(); ++y)
            for (int x = 0; x < now.width(); ++x) {
                const Cell &cell = now.at(x, y);
                if (cell.tail) {
                    // A wide character's right half is drawn with it; a cell
                    // that was a character before and is now a tail changed
                    // with its head.
                    continue;
                }
                if (!full && same_size && cell == was.at(x, y) &&
                    (x + 1 >= now.width() || now.at(x + 1, y) == was.at(x + 1, y)))
                    continue;
                put_cell(x, y, cell);
                ++g_stats.cells;
            }
        if (frame.cursor_x >= 0) {
            curs_set(1);
            move(frame.cursor_y, frame.cursor_x);
        } else {
            curs_set(0);
        }
        wnoutrefresh(stdscr);
        doupdate();
    }

    SCREEN *screen_ = nullptr;
    bool utf8_ = false;
    int epoll_ = -1, timer_ = -1;
    int waiting_fd_ = -1;          // readable while inputs wait
    std::deque<Input> waiting_;    // read from the terminal, not yet handed over
    int resize_pipe_[2] = {-1, -1};
    Look looks_[kRoleCount];
    FramePacer pacer_{kFrameInterval};
    Scene latest_;
    bool pending_ = false;
    Frame shown_;
};

std::unique_ptr<Frontend> make_terminal() {
    auto t = std::make_unique<Terminal>();
    if (!t->start()) return make_headless();
    return t;
}

const bool registered = register_frontend("terminal", make_terminal);

}  // namespace
}  // namespace ce::ui::term
