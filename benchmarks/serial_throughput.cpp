// How fast bytes come in through a serial port read the terminal's way: a
// reader polls ClearCommError and reads byte by byte with ReadFile, without
// sleeping, while a writer pushes the data into the far end of a
// pseudo-terminal. Beside it, plain read() loops on the same kind of line.
//
// usage: serial_throughput [MiB]   (default 16)
#include "platform.h"
#include "testsupport/pty_pair.h"
#include "testsupport/temp_root.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using ce::test::PtyPair;

double now_s(clockid_t clock) {
    timespec ts;
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::string pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 31 + i / 4093) & 0xFF);
    return s;
}

struct Figures {
    size_t received = 0, wrong = 0;
    double wall = 0, cpu = 0;
};

void print(const char *name, size_t total, const Figures &f) {
    double mib = static_cast<double>(f.received) / (1024.0 * 1024.0);
    printf("%-38s %8.1f MiB/s  %7.4f CPU s/MiB  lost %zu  changed %zu  (%.1f MiB in %.2f s, reader CPU %.2f s)\n",
           name, mib / f.wall, f.cpu / mib, total - f.received, f.wrong, mib, f.wall, f.cpu);
}

// The far end writes everything. The line stays up: a hang-up would discard
// bytes the kernel still holds on their way to the reader.
std::thread start_writer(PtyPair &pair, const std::string &data, std::atomic<bool> &sent) {
    return std::thread([&pair, &data, &sent] {
        pair.send(data);
        sent = true;
    });
}

// True when the reader should give up: everything arrived, or the writer is
// done and nothing more came for two seconds (bytes were lost).
struct EndCheck {
    const std::atomic<bool> &sent;
    double idle_since = -1;
    bool stalled(bool progress) {
        if (progress || !sent.load()) {
            idle_since = -1;
            return false;
        }
        double t = now_s(CLOCK_MONOTONIC);
        if (idle_since < 0) idle_since = t;
        return t - idle_since > 2.0;
    }
};

Figures terminal_reader(const std::string &data) {
    PtyPair pair(PtyPair::Peer::Quiet);
    pair.map_com(5);
    HANDLE h = CreateFileW(u"COM5:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "serial_throughput: opening COM5: failed with %lu\n", static_cast<unsigned long>(GetLastError()));
        exit(1);
    }
    Figures f;
    std::atomic<bool> sent{false};
    EndCheck end{sent};
    double wall0 = now_s(CLOCK_MONOTONIC), cpu0 = now_s(CLOCK_THREAD_CPUTIME_ID);
    std::thread writer = start_writer(pair, data, sent);
    while (f.received < data.size()) {
        COMSTAT stat{};
        DWORD errors;
        if (!ClearCommError(h, &errors, &stat)) break;
        if (end.stalled(stat.cbInQue > 0)) break;
        for (DWORD i = 0; i < stat.cbInQue; ++i) {
            char c;
            DWORD n = 0;
            ReadFile(h, &c, 1, &n, nullptr);
            if (f.received < data.size() && c != data[f.received]) ++f.wrong;
            f.received += n;
        }
    }
    f.wall = now_s(CLOCK_MONOTONIC) - wall0;
    f.cpu = now_s(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    CloseHandle(h);
    pair.hang_up();  // ends a writer that could not get everything out
    writer.join();
    return f;
}

Figures plain_reader(const std::string &data, size_t chunk) {
    PtyPair pair(PtyPair::Peer::Quiet);
    int fd = open(pair.path().c_str(), O_RDWR | O_NOCTTY);
    Figures f;
    std::atomic<bool> sent{false};
    EndCheck end{sent};
    double wall0 = now_s(CLOCK_MONOTONIC), cpu0 = now_s(CLOCK_THREAD_CPUTIME_ID);
    std::thread writer = start_writer(pair, data, sent);
    static char buf[65536];
    while (f.received < data.size()) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) == 0) {  // only to notice lost bytes; data wakes it at once
            if (end.stalled(false)) break;
            continue;
        }
        ssize_t n = read(fd, buf, chunk);
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i)
            if (f.received + static_cast<size_t>(i) < data.size() && buf[i] != data[f.received + static_cast<size_t>(i)])
                ++f.wrong;
        f.received += static_cast<size_t>(n);
    }
    f.wall = now_s(CLOCK_MONOTONIC) - wall0;
    f.cpu = now_s(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    close(fd);
    pair.hang_up();
    writer.join();
    return f;
}

}  // namespace

int main(int argc, char **argv) {
    long mib = argc > 1 ? strtol(argv[1], nullptr, 10) : 16;
    if (mib < 1 || mib > 4096) {
        fprintf(stderr, "usage: serial_throughput [MiB, 1 to 4096]\n");
        return 2;
    }
    ce::test::TempRoot root;
    std::string data = pattern(static_cast<size_t>(mib) * 1024 * 1024);
    std::string small = data.substr(0, 1024 * 1024);
    printf("pseudo-terminal, %ld MiB pushed by the far end\n", mib);
    print("ClearCommError + ReadFile 1 byte", data.size(), terminal_reader(data));
    print("read() 64 KiB at a time", data.size(), plain_reader(data, 65536));
    printf("reference, 1 MiB:\n");
    print("read() 1 byte at a time", small.size(), plain_reader(small, 1));
    return 0;
}
