#include "platform.h"
#include "sync/child.h"
#include "testsupport/temp_root.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>

namespace {

using ce::test::Child;

HANDLE create(const char16_t *name, BOOL owner = FALSE) {
    SetLastError(0xdeadbeef);
    return CreateMutexW(nullptr, owner, name);
}

TEST(Mutex, SecondCreateOfANameInTheSameProcessReportsThatItExists) {
    ce::test::TempRoot root;
    struct Step {
        const char16_t *name;
        DWORD error;
    };
    // Names are case-sensitive; unnamed mutexes are always new.
    const Step steps[] = {
        {u"TRV-PA0x SAMPLE", ERROR_SUCCESS}, {u"TRV-PA0x SAMPLE", ERROR_ALREADY_EXISTS},
        {u"trv-pa0x sample", ERROR_SUCCESS}, {u"a/b\\c:*?", ERROR_SUCCESS},
        {u"a/b\\c:*?", ERROR_ALREADY_EXISTS}, {nullptr, ERROR_SUCCESS},
        {nullptr, ERROR_SUCCESS},
    };
    std::vector<HANDLE> handles;
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(s.name ? s.name : u"(unnamed)")));
        HANDLE h = create(s.name);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(GetLastError(), s.error);
        for (HANDLE other : handles) EXPECT_NE(h, other);
        handles.push_back(h);
    }
    for (HANDLE h : handles) EXPECT_TRUE(CloseHandle(h));
    // Every handle closed: the name is free again.
    HANDLE h = create(u"TRV-PA0x SAMPLE");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(h);
}

TEST(Mutex, NameIsSharedWithOtherProcessesForAsLongAsOneHoldsIt) {
    ce::test::TempRoot root;
    // This process holds the name: a child's create finds it.
    HANDLE mine = create(u"guard");
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    {
        Child child({SYNC_CHILD, "create", "guard"});
        EXPECT_EQ(child.read_line(), "183");
        EXPECT_EQ(child.wait(), 0);
    }
    CloseHandle(mine);

    // A child holds it: this process finds it, until the child lets go.
    {
        Child child({SYNC_CHILD, "hold", "held"});
        ASSERT_EQ(child.read_line(), "0");
        HANDLE h = create(u"held");
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        CloseHandle(h);
        child.close_input();
        EXPECT_EQ(child.wait(), 0);
    }
    HANDLE again = create(u"held");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "the name outlived every holder";
    CloseHandle(again);

    // A child that is killed drops the name with it.
    {
        Child child({SYNC_CHILD, "hold", "crashed"});
        ASSERT_EQ(child.read_line(), "0");
        child.kill_now(SIGKILL);
        EXPECT_EQ(child.wait(), 128 + SIGKILL);
    }
    HANDLE after_crash = create(u"crashed");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "a crashed holder kept the name";
    CloseHandle(after_crash);
}

TEST(Mutex, OwnershipBelongsToOneThreadAndNests) {
    ce::test::TempRoot root;
    for (const char16_t *name : {static_cast<const char16_t *>(nullptr), u"owned"}) {
        SCOPED_TRACE(name ? "named" : "unnamed");
        HANDLE m = create(name);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);  // nested
        struct Seen {
            HANDLE m;
            DWORD busy_wait, release_ok, release_error, later_wait;
        } seen{m, 0, 0, 0, 0};
        auto other = [](LPVOID arg) -> DWORD {
            auto *s = static_cast<Seen *>(arg);
            s->busy_wait = WaitForSingleObject(s->m, 20);
            SetLastError(0);
            s->release_ok = ReleaseMutex(s->m);
            s->release_error = GetLastError();
            return 0;
        };
        HANDLE t = CreateThread(nullptr, 0, other, &seen, 0, nullptr);
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        EXPECT_EQ(seen.busy_wait, static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_FALSE(seen.release_ok);
        EXPECT_EQ(seen.release_error, static_cast<DWORD>(ERROR_NOT_OWNER));

        EXPECT_TRUE(ReleaseMutex(m));
        EXPECT_TRUE(ReleaseMutex(m));
        SetLastError(0);
        EXPECT_FALSE(ReleaseMutex(m)) << "released more often than taken";
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

        t = CreateThread(
            nullptr, 0,
            [](LPVOID arg) -> DWORD {
                auto *s = static_cast<Seen *>(arg);
                s->later_wait = WaitForSingleObject(s->m, 0);
                ReleaseMutex(s->m);
                return 0;
            },
            &seen, 0, nullptr);
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        EXPECT_EQ(seen.later_wait, WAIT_OBJECT_0);
        CloseHandle(m);
    }
}

TEST(Mutex, InitialOwnerIsIgnoredWhenTheNameExists) {
    ce::test::TempRoot root;
    HANDLE first = create(u"x");
    HANDLE second = create(u"x", TRUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    SetLastError(0);
    EXPECT_FALSE(ReleaseMutex(second));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    CloseHandle(first);
    CloseHandle(second);
}

TEST(Mutex, OwnerThatEndsWithoutReleasingAbandonsIt) {
    ce::test::TempRoot root;
    HANDLE m = create(u"abandon-thread");
    HANDLE t = CreateThread(
        nullptr, 0, [](LPVOID arg) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(arg), INFINITE); }, m, 0,
        nullptr);
    WaitForSingleObject(t, INFINITE);
    DWORD taken = 1;
    GetExitCodeThread(t, &taken);
    CloseHandle(t);
    EXPECT_EQ(taken, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(m, INFINITE), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(ReleaseMutex(m)) << "an abandoned mutex passes to the waiter";
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0) << "abandonment is reported once";
    ReleaseMutex(m);
    CloseHandle(m);
}

TEST(Mutex, OwnershipPassesBetweenProcesses) {
    ce::test::TempRoot root;
    // A child that dies owning it abandons it to us.
    {
        Child child({SYNC_CHILD, "hold", "shared"});
        ASSERT_EQ(child.read_line(), "0");
        HANDLE m = create(u"shared");
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        EXPECT_EQ(WaitForSingleObject(m, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        child.kill_now(SIGKILL);
        child.wait();
        EXPECT_EQ(WaitForSingleObject(m, INFINITE), static_cast<DWORD>(WAIT_ABANDONED));
        // We own it now: a child waiting for it gets it once we release it.
        Child waiter({SYNC_CHILD, "wait", "shared"});
        EXPECT_EQ(waiter.read_line(), "183");
        EXPECT_TRUE(ReleaseMutex(m));
        EXPECT_EQ(waiter.read_line(), "0");
        EXPECT_EQ(waiter.wait(), 0);
        CloseHandle(m);
    }
}

}  // namespace
