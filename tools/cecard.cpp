// cecard: inserts and removes a simulated adapter card on the handheld of
// CE_ROOT, so that FindComPort and findcomport see it come and go.
#include "cecard_registry.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

const char kUsage[] =
    "usage: cecard insert [--com N] [--id PNPID] (--tty PATH | --pty [--echo | --stdio]) [--print-path]\n"
    "       cecard remove --com N\n"
    "       cecard list\n"
    "\n"
    "Inserts a simulated TRV-PA0x adapter card into the handheld of the machine root\n"
    "CE_ROOT: an active driver under HKEY_LOCAL_MACHINE\\Drivers\\Active\\<nn> (Name\n"
    "\"COMn:\", PnpId, Key, Hnd, Sckt) and the port map value\n"
    "HKEY_LOCAL_MACHINE\\Platform\\Ports\\COMn naming the device behind the port.\n"
    "\n"
    "  --com N        the COM number (1-255); default: the lowest free one from 1 to 9\n"
    "  --id PNPID     the card's Plug-and-Play id; default: %s\n"
    "  --tty PATH     put the card on an existing tty (a USB adapter, a UART, ...);\n"
    "                 cecard registers it and exits, the card stays until 'cecard remove'\n"
    "  --pty          put the card on a new pseudo-terminal and serve its far end until\n"
    "                 cecard gets SIGTERM or SIGINT; then the card is removed\n"
    "  --echo         (with --pty, the default) send every byte back\n"
    "  --stdio        (with --pty) write received bytes to standard output and send what\n"
    "                 arrives on standard input\n"
    "  --print-path   print the device path on a line of its own on standard output as\n"
    "                 soon as the card is in (with --stdio, before any data)\n"
    "\n"
    "'remove' takes the card off COMn; 'list' prints one line per card:\n"
    "COMn, PnP id, device path, serving process id (0 for --tty cards). A card whose\n"
    "serving process died is cleaned away by the next insert.\n"
    "\n"
    "Example (a card with an echoing far end, seen by findcomport, then removed):\n"
    "  cecard insert --pty --print-path > card.path &\n"
    "  findcomport\n"
    "  kill %%1\n";

int g_signal_pipe[2] = {-1, -1};

void on_signal(int) {
    char c = 1;
    ssize_t n = write(g_signal_pipe[1], &c, 1);
    (void)n;
}

[[noreturn]] void usage_error(const std::string &what) {
    fprintf(stderr, "cecard: %s (try cecard --help)\n", what.c_str());
    exit(2);
}

int parse_com(const char *text) {
    char *end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (errno || !*text || *end || v < 1 || v > 255) usage_error(std::string("--com '") + text + "': must be 1 to 255");
    return static_cast<int>(v);
}

bool write_all(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, -1);
        } else {
            return false;
        }
    }
    return true;
}

// Serves the far end of the pseudo-terminal until a signal arrives.
void serve(int master, bool echo) {
    char buf[65536];
    bool input_open = !echo;
    for (;;) {
        pollfd fds[3] = {{g_signal_pipe[0], POLLIN, 0}, {master, POLLIN, 0}, {input_open ? 0 : -1, POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents) return;
        if (fds[1].revents & POLLIN) {
            ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) write_all(echo ? master : 1, buf, static_cast<size_t>(n));
        }
        if (fds[2].revents) {
            ssize_t n = read(0, buf, sizeof buf);
            if (n > 0)
                write_all(master, buf, static_cast<size_t>(n));
            else
                input_open = false;  // standard input ended: keep serving the line
        }
    }
}

int insert(int argc, char **argv) {
    int com = 0;
    std::string id = cecard::default_pnp_id(), tty;
    bool pty = false, echo = true, print_path = false, mode_given = false;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char *what) -> const char * {
            if (i + 1 >= argc) usage_error(a + " needs " + what);
            return argv[++i];
        };
        if (a == "--com") com = parse_com(value("a number"));
        else if (a == "--id") id = value("an id");
        else if (a == "--tty") tty = value("a path");
        else if (a == "--pty") pty = true;
        else if (a == "--echo") echo = true, mode_given = true;
        else if (a == "--stdio") echo = false, mode_given = true;
        else if (a == "--print-path") print_path = true;
        else usage_error("unknown option '" + a + "'");
    }
    if (pty == !tty.empty()) usage_error("insert needs exactly one of --tty PATH and --pty");
    if (mode_given && !pty) usage_error("--echo and --stdio go with --pty");
    if (std::string problem = cecard::pnp_id_problem(id); !problem.empty())
        usage_error("--id '" + id + "': " + problem);

    if (!pty) {
        int fd = open(tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            fprintf(stderr, "cecard: --tty %s: %s\n", tty.c_str(), strerror(errno));
            return 1;
        }
        bool is_tty = isatty(fd);
        close(fd);
        if (!is_tty) {
            fprintf(stderr, "cecard: --tty %s: not a terminal device\n", tty.c_str());
            return 1;
        }
        cecard::Card card = cecard::insert_card(com, id, tty, 0);
        if (print_path) printf("%s\n", tty.c_str());
        fprintf(stderr, "cecard: card %s inserted on COM%d (%s)\n", id.c_str(), card.com, tty.c_str());
        return 0;
    }

    // A new pseudo-terminal; a port-side descriptor keeps the line up
    // while no port has it open.
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        fprintf(stderr, "cecard: cannot open a pseudo-terminal: %s\n", strerror(errno));
        return 1;
    }
    int keeper = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keeper >= 0) {
        termios t;
        if (tcgetattr(keeper, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(keeper, TCSANOW, &t);
        }
    }
    if (pipe2(g_signal_pipe, O_CLOEXEC) != 0) return 1;
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    cecard::Card card = cecard::insert_card(com, id, name, static_cast<unsigned>(getpid()));
    if (print_path) {
        printf("%s\n", name);
        fflush(stdout);
    }
    fprintf(stderr, "cecard: card %s inserted on COM%d (%s, %s); stop with Ctrl-C\n", id.c_str(), card.com, name,
            echo ? "echo" : "stdio");
    serve(master, echo);
    cecard::remove_card(card.com);
    fprintf(stderr, "cecard: card removed from COM%d\n", card.com);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "-h" || cmd == "--help" || cmd == "help") {
        printf(kUsage, cecard::default_pnp_id().c_str());
        return 0;
    }
    try {
        if (cmd == "insert") return insert(argc, argv);
        if (cmd == "remove") {
            if (argc != 4 || std::string(argv[2]) != "--com") usage_error("remove needs --com N");
            int com = parse_com(argv[3]);
            if (!cecard::remove_card(com)) {
                fprintf(stderr, "cecard: no card on COM%d\n", com);
                return 1;
            }
            return 0;
        }
        if (cmd == "list") {
            if (argc != 2) usage_error("list takes no arguments");
            for (const cecard::Card &c : cecard::list_cards())
                printf("COM%d %s %s %u\n", c.com, c.pnp_id.c_str(), c.path.c_str(), c.pid);
            return 0;
        }
    } catch (const std::exception &e) {
        fprintf(stderr, "cecard: %s\n", e.what());
        return 1;
    }
    usage_error(cmd.empty() ? "no command given" : "unknown command '" + cmd + "'");
}
