// Sleep and the 32-bit millisecond tick count.
#include "ce/sync.h"
#include "core/root.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <sched.h>
#include <unistd.h>
#include <string>

namespace {

uint64_t monotonic_ms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

// Parses CE_TICK_START: decimal or 0x hex, or negative for "this many
// milliseconds before the wrap". False for anything else.
bool parse_tick_start(const char *text, uint32_t *out) {
    errno = 0;
    char *end = nullptr;
    bool negative = text[0] == '-';
    const char *digits = negative ? text + 1 : text;
    if (*digits < '0' || *digits > '9') return false;
    unsigned long long v = strtoull(digits, &end, 0);
    if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull) return false;
    *out = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(v)) : static_cast<uint32_t>(v);
    return true;
}

struct TickOrigin {
    uint64_t base_ms = 0;   // monotonic time of the first call
    uint32_t start = 0;     // tick count at that moment
};

const TickOrigin &tick_origin() {
    static const TickOrigin origin = [] {
        TickOrigin o;
        o.base_ms = monotonic_ms();
        o.start = static_cast<uint32_t>(o.base_ms);
        if (const char *env = getenv("CE_TICK_START"); env && *env) {
            uint32_t start;
            if (parse_tick_start(env, &start))
                o.start = start;
            else
                ce::report("CE_TICK_START: '" + std::string(env) +
                           "' is not a number of milliseconds (decimal, 0x hex, or negative for before the wrap); "
                           "ignored");
        }
        return o;
    }();
    return origin;
}

}  // namespace

DWORD GetTickCount() {
    const TickOrigin &o = tick_origin();
    return static_cast<uint32_t>(o.start + static_cast<uint32_t>(monotonic_ms() - o.base_ms));
}

void Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        sched_yield();  // Sleep(0) gives up the rest of the time slice
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;) pause();
    }
    timespec ts{static_cast<time_t>(dwMilliseconds / 1000), static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}
