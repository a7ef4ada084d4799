#include "platform.h"
#include "sync/child.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

using ce::test::Child;

// The child prints its first tick count, then the last count before the wrap
// and the first after it.
struct WrapRun {
    DWORD first = 0, before = 0, after = 0;
    int exit_code = -1;
};

WrapRun run_until_wrap(const std::string &start) {
    Child child({SYNC_CHILD, "ticks"}, {"CE_TICK_START=" + start});
    WrapRun r;
    r.first = static_cast<DWORD>(std::stoul(child.read_line()));
    std::istringstream line(child.read_line());
    line >> r.before >> r.after;
    r.exit_code = child.wait();
    return r;
}

TEST(TickCount, StartsWhereTheEnvironmentSaysAndWrapsInUnsignedArithmetic) {
    struct Case {
        const char *start;
        DWORD expected_first;
    };
    const Case cases[] = {
        {"-300", 0xFFFFFFFFu - 299},
        {"4294967000", 4294967000u},
        {"0xFFFFFF00", 0xFFFFFF00u},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start);
        WrapRun r = run_until_wrap(c.start);
        ASSERT_EQ(r.exit_code, 0) << "no wrap seen";
        // The first reading is taken right after the start value is fixed.
        EXPECT_LT(r.first - c.expected_first, 1000u) << "first " << r.first;
        EXPECT_GE(r.before, c.expected_first) << "counted backwards before the wrap";
        EXPECT_LT(r.after, r.before);
        // Differences taken unsigned stay small across the wrap.
        EXPECT_LT(r.after - r.before, 1000u) << r.before << " -> " << r.after;
        EXPECT_LT(r.after - r.first, 2000u) << r.first << " -> " << r.after;
    }
}

TEST(TickCount, AdvancesWithSleep) {
    DWORD t0 = GetTickCount();
    Sleep(30);
    DWORD t1 = GetTickCount();
    EXPECT_GE(t1 - t0, 30u) << t0 << " -> " << t1;
}

}  // namespace
