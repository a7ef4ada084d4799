// The other process of the cross-process tests of threads, mutexes and time.
//   create NAME   create the named mutex, print the last error, end
//   hold NAME     create it as owner, print the last error, hold it until
//                 standard input closes, then release it and end
//   wait NAME     open it, wait for it, print the wait result, end
//   port NAME     open the serial port NAME (e.g. COM5:) exclusively, print
//                 the last error, hold it until standard input closes
//   ticks         print the first tick count, then run until the count wraps
//                 (at most 20 s) and print the last count before and the first
//                 after the wrap
#include "platform.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::u16string widen(const char *s) {
    std::u16string out;
    while (*s) out += static_cast<char16_t>(static_cast<unsigned char>(*s++));
    return out;
}

void wait_for_stdin_end() {
    char c;
    while (read(0, &c, 1) > 0) {
    }
}

}  // namespace

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    std::string mode = argc > 1 ? argv[1] : "";
    if ((mode == "create" || mode == "hold" || mode == "wait") && argc == 3) {
        std::u16string name = widen(argv[2]);
        SetLastError(0xdeadbeef);
        HANDLE h = CreateMutexW(nullptr, mode == "hold", name.c_str());
        printf("%lu\n", static_cast<unsigned long>(GetLastError()));
        if (!h) return 2;
        if (mode == "hold") {
            wait_for_stdin_end();
            ReleaseMutex(h);
        } else if (mode == "wait") {
            printf("%lu\n", static_cast<unsigned long>(WaitForSingleObject(h, INFINITE)));
        }
        CloseHandle(h);
        return 0;
    }
    if (mode == "port" && argc == 3) {
        std::u16string name = widen(argv[2]);
        SetLastError(0xdeadbeef);
        HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        printf("%lu\n", static_cast<unsigned long>(h == INVALID_HANDLE_VALUE ? GetLastError() : 0));
        wait_for_stdin_end();
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        return 0;
    }
    if (mode == "ticks") {
        DWORD first = GetTickCount();
        printf("%lu\n", static_cast<unsigned long>(first));
        DWORD prev = first;
        for (int i = 0; i < 20000; ++i) {
            Sleep(1);
            DWORD now = GetTickCount();
            if (now < prev) {
                printf("%lu %lu\n", static_cast<unsigned long>(prev), static_cast<unsigned long>(now));
                return 0;
            }
            prev = now;
        }
        printf("no wrap\n");
        return 1;
    }
    fprintf(stderr, "usage: %s create|hold|wait|port NAME | ticks\n", argv[0]);
    return 2;
}
