#include "platform.h"
#include "testsupport/temp_root.h"

#include <atomic>
#include <gtest/gtest.h>

namespace {

// A thread that runs until the test opens its gate, then returns `result`.
struct Gated {
    std::atomic<bool> open{false};
    std::atomic<bool> finished{false};
    std::atomic<DWORD> seen_id{0};
    DWORD result = 0;
};

DWORD WINAPI gated_routine(LPVOID arg) {
    auto *g = static_cast<Gated *>(arg);
    g->seen_id = GetCurrentThreadId();
    while (!g->open.load()) Sleep(1);
    DWORD result = g->result;
    g->finished = true;  // the test may end (and drop g) from here on
    return result;
}

TEST(Thread, ReportsStillActiveUntilItReturnsThenItsExitCode) {
    for (DWORD result : {DWORD{0}, DWORD{7}, DWORD{0xFFFFFFFE}}) {
        SCOPED_TRACE(result);
        Gated g;
        g.result = result;
        DWORD id = 0;
        HANDLE h = CreateThread(nullptr, 0, gated_routine, &g, 0, &id);
        ASSERT_NE(h, nullptr);
        DWORD code = 0;
        ASSERT_TRUE(GetExitCodeThread(h, &code));
        EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
        EXPECT_EQ(WaitForSingleObject(h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_EQ(WaitForSingleObject(h, 5), static_cast<DWORD>(WAIT_TIMEOUT));
        g.open = true;
        EXPECT_EQ(WaitForSingleObject(h, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
        ASSERT_TRUE(GetExitCodeThread(h, &code));
        EXPECT_EQ(code, result);
        EXPECT_EQ(g.seen_id.load(), id) << "the thread's own id differs from the one its creator got";
        EXPECT_NE(id, GetCurrentThreadId());
        EXPECT_TRUE(CloseHandle(h));
    }
}

TEST(Thread, ReturningStillActiveIsSeenOnlyThroughTheWait) {
    HANDLE h = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return STILL_ACTIVE; }, nullptr, 0, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(h, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    CloseHandle(h);
}

TEST(Thread, RunsOnAfterItsHandleIsClosed) {
    Gated g;
    HANDLE h = CreateThread(nullptr, 64 * 1024, gated_routine, &g, 0, nullptr);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(CloseHandle(h));
    DWORD code = 0;
    SetLastError(0);
    EXPECT_FALSE(GetExitCodeThread(h, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    g.open = true;
    while (!g.finished.load()) Sleep(1);  // hangs (and times out) if the thread was stopped
}

TEST(Thread, LastErrorBelongsToEachThread) {
    SetLastError(1234);
    HANDLE h = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            DWORD inherited = GetLastError();
            SetLastError(ERROR_ACCESS_DENIED);
            return inherited == 0 ? GetLastError() : 0xBAD;
        },
        nullptr, 0, nullptr);
    ASSERT_NE(h, nullptr);
    WaitForSingleObject(h, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(h, &code);
    EXPECT_EQ(code, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetLastError(), 1234u);
    CloseHandle(h);
}

TEST(Thread, RefusesWhatItCannotDo) {
    struct Case {
        const char *what;
        LPTHREAD_START_ROUTINE routine;
        DWORD flags;
        DWORD error;
    };
    LPTHREAD_START_ROUTINE routine = [](LPVOID) -> DWORD { return 0; };
    const Case cases[] = {
        {"no routine", nullptr, 0, ERROR_INVALID_PARAMETER},
        {"suspended start", routine, CREATE_SUSPENDED, ERROR_NOT_SUPPORTED},
        {"unknown flag", routine, 0x40000000, ERROR_INVALID_PARAMETER},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(CreateThread(nullptr, 0, c.routine, nullptr, c.flags, nullptr), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST(Wait, FailsOnHandlesThatAreNotOpenOrNotWaitable) {
    ce::test::TempRoot root;
    HANDLE closed = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
    ASSERT_NE(closed, nullptr);
    CloseHandle(closed);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("Software"), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    struct Case {
        const char *what;
        HANDLE h;
    };
    const Case cases[] = {
        {"null", nullptr},
        {"invalid value", INVALID_HANDLE_VALUE},
        {"closed thread", closed},
        {"invented", reinterpret_cast<HANDLE>(0x7777770)},
        {"registry key", reinterpret_cast<HANDLE>(key)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0);
        EXPECT_EQ(WaitForSingleObject(c.h, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    RegCloseKey(key);
}

}  // namespace
