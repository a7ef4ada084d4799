#define NCURSES_WIDECHAR 1
#include "ui/terminal/restore.h"

#include <curses.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace ce::ui::term {
namespace {

std::atomic<bool> g_screen{false};
int g_resize_fd = -1;

// Crash signals are always caught (and handed on to whoever had them, a
// sanitizer for instance); the ones that end a program only while they
// would end it.
const int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
const int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction g_previous[NSIG];  // the program's own handling, before ours
bool g_noted = false;

void leave_screen() {
    if (g_screen.exchange(false)) endwin();
}

void on_fatal(int sig) {
    leave_screen();
    // Put back what was there before and deliver the signal again once this
    // handler returns (it is blocked until then).
    sigaction(sig, &g_previous[sig], nullptr);
    raise(sig);
}

void on_resize(int) {
    int saved = errno;
    char one = 1;
    if (g_resize_fd >= 0) {
        ssize_t r = write(g_resize_fd, &one, 1);
        (void)r;  // a full pipe already says "resized"
    }
    errno = saved;
}

void catch_signal(int sig, bool only_if_default) {
    const struct sigaction &old = g_previous[sig];
    bool handled = (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL;
    if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN) return;
    if (only_if_default && handled) return;
    struct sigaction sa {};
    sa.sa_handler = on_fatal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    sigaction(sig, &sa, nullptr);
}

void note(int sig) {
    if (sigaction(sig, nullptr, &g_previous[sig]) != 0) g_previous[sig].sa_handler = SIG_IGN;
}

}  // namespace

void set_screen_mode(bool on) { g_screen = on; }

void note_signal_handlers() {
    if (g_noted) return;
    g_noted = true;
    for (int sig : kCrashSignals) note(sig);
    for (int sig : kEndSignals) note(sig);
}

void guard_terminal(int resize_fd) {
    static bool done = false;
    if (done) return;
    done = true;
    note_signal_handlers();
    g_resize_fd = resize_fd;
    atexit(leave_screen);
    for (int sig : kCrashSignals) catch_signal(sig, false);
    for (int sig : kEndSignals) catch_signal(sig, true);
    struct sigaction sa {};
    sa.sa_handler = on_resize;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &sa, nullptr);
}

}  // namespace ce::ui::term
