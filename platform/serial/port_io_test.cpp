// Bytes through ports, queues, hang-up, and waits ended by PurgeComm and
// CloseHandle, on real pseudo-terminals.
#include "platform.h"
#include "testsupport/pty_pair.h"
#include "testsupport/temp_root.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

using ce::test::PtyPair;
using ce::test::TempRoot;

std::string pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);  // every byte value
    return s;
}

HANDLE open_mapped(PtyPair &pair, int number) {
    pair.map_com(number);
    std::u16string name = u"COM" + std::u16string(1, static_cast<char16_t>(u'0' + number)) + u":";
    return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Ends a blocking call: runs `call` on a thread, then repeats `stop` until the
// call has returned. Fails (instead of hanging the suite) after 20 s.
template <class Call, class Stop>
void end_blocked_call(Call call, Stop stop) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        call();
        done = true;
    });
    for (int i = 0; i < 20000 && !done.load(); ++i) {
        stop();
        Sleep(1);
    }
    EXPECT_TRUE(done.load()) << "the blocked call never returned";
    if (!done.load()) t.detach();
    else t.join();
}

TEST(PortIo, BytesTravelBothWaysUnchanged) {
    TempRoot root;
    PtyPair pair(PtyPair::Peer::Record);
    HANDLE h = open_mapped(pair, 5);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);

    // Out: one large write, then small ones.
    std::string out = pattern(200000);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, out.data(), static_cast<DWORD>(out.size()), &written, nullptr));
    EXPECT_EQ(written, out.size());
    std::string tail = std::string("\0\r\n\x11\x13", 5);
    for (char c : tail) ASSERT_TRUE(WriteFile(h, &c, 1, &written, nullptr));
    out += tail;
    ASSERT_TRUE(pair.wait_received(out.size()));
    EXPECT_TRUE(pair.received() == out) << "sent bytes changed on the way, " << pair.received().size() << " arrived";

    // In: read byte by byte as the terminal's worker does, guided by cbInQue.
    std::string in = pattern(100000);
    std::thread sender([&] { pair.send(in); });
    std::string got;
    while (got.size() < in.size()) {
        COMSTAT stat{};
        DWORD errors = 0xdead;
        ASSERT_TRUE(ClearCommError(h, &errors, &stat));
        EXPECT_EQ(errors, 0u);
        for (DWORD i = 0; i < stat.cbInQue; ++i) {
            char c;
            DWORD n = 0;
            ASSERT_TRUE(ReadFile(h, &c, 1, &n, nullptr));
            ASSERT_EQ(n, 1u);
            got += c;
        }
    }
    sender.join();
    EXPECT_TRUE(got == in) << "received bytes changed on the way";
    CloseHandle(h);
}

TEST(PortIo, LargeReadWaitsForEveryByteAndQueueCountsThem) {
    TempRoot root;
    PtyPair pair(PtyPair::Peer::Echo);
    HANDLE h = open_mapped(pair, 1);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::string msg = pattern(5000);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, msg.data(), static_cast<DWORD>(msg.size()), &n, nullptr));
    std::string back(msg.size(), '\0');
    ASSERT_TRUE(ReadFile(h, back.data(), static_cast<DWORD>(back.size()), &n, nullptr));
    EXPECT_EQ(n, msg.size());
    EXPECT_TRUE(back == msg);

    ASSERT_TRUE(WriteFile(h, "xyz", 3, &n, nullptr));
    COMSTAT stat{};
    do {
        ASSERT_TRUE(ClearCommError(h, nullptr, &stat));
    } while (stat.cbInQue < 3);
    EXPECT_EQ(stat.cbInQue, 3u);
    ASSERT_TRUE(PurgeComm(h, PURGE_RXCLEAR));
    ASSERT_TRUE(ClearCommError(h, nullptr, &stat));
    EXPECT_EQ(stat.cbInQue, 0u) << "PURGE_RXCLEAR left bytes behind";
    SetLastError(0);
    EXPECT_FALSE(PurgeComm(h, 0x10));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(h);
}

TEST(PortIo, HangUpIsReportedOnceEveryByteBeforeItWasRead) {
    TempRoot root;
    PtyPair pair(PtyPair::Peer::Quiet);
    HANDLE h = open_mapped(pair, 4);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    pair.send("last words");
    COMSTAT stat{};
    do {
        ASSERT_TRUE(ClearCommError(h, nullptr, &stat));
    } while (stat.cbInQue < 10);
    pair.hang_up();
    // Bytes that arrived before the hang-up are still delivered.
    std::string got(10, '\0');
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(h, got.data(), 10, &n, nullptr)) << "error " << GetLastError();
    EXPECT_EQ(got, "last words");
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        SetLastError(0);
        DWORD errors = 0;
        EXPECT_FALSE(ClearCommError(h, &errors, &stat));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    }
    char c;
    EXPECT_FALSE(ReadFile(h, &c, 1, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
    EXPECT_TRUE(CloseHandle(h));
}

// Makes the port see an XOFF from the far end: sends it with a marker after
// it and reads the marker, so the XOFF has been acted on.
void hold_output(PtyPair &pair, HANDLE h) {
    pair.send("\x13M");
    char c = 0;
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(h, &c, 1, &n, nullptr));
    ASSERT_EQ(c, 'M');
}

HANDLE open_with_xon_xoff(PtyPair &pair, int number) {
    HANDLE h = open_mapped(pair, number);
    DCB d;
    GetCommState(h, &d);
    d.fOutX = d.fInX = 1;
    d.XonChar = 0x11;
    d.XoffChar = 0x13;
    EXPECT_TRUE(SetCommState(h, &d));
    return h;
}

TEST(PortIo, WriteHeldByFlowControlWaitsThenCompletes) {
    TempRoot root;
    PtyPair pair(PtyPair::Peer::Record);
    HANDLE h = open_with_xon_xoff(pair, 6);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    hold_output(pair, h);
    BOOL ok = FALSE;
    DWORD n = 0;
    std::thread writer([&] { ok = WriteFile(h, "held", 4, &n, nullptr); });
    pair.send("\x11");  // XON
    writer.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(n, 4u);
    ASSERT_TRUE(pair.wait_received(4));
    EXPECT_EQ(pair.received(), "held");
    CloseHandle(h);
}

TEST(PortIo, PurgeTxAbortEndsAWriteHeldByFlowControl) {
    TempRoot root;
    PtyPair pair(PtyPair::Peer::Record);
    HANDLE h = open_with_xon_xoff(pair, 7);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    hold_output(pair, h);
    std::string big = pattern(300000);
    BOOL ok = TRUE;
    DWORD n = 0, error = 0;
    end_blocked_call(
        [&] {
            ok = WriteFile(h, big.data(), static_cast<DWORD>(big.size()), &n, nullptr);
            error = GetLastError();
        },
        [&] { PurgeComm(h, PURGE_TXABORT | PURGE_TXCLEAR); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_LT(n, big.size());
    // The port stays usable: once output flows again, a new write goes through.
    pair.send("\x11");
    ASSERT_TRUE(WriteFile(h, "after", 5, &n, nullptr));
    EXPECT_TRUE(CloseHandle(h));
}

TEST(PortIo, PurgeAndCloseEndWaitingReads) {
    TempRoot root;
    struct Case {
        const char *what;
        bool close;
    };
    for (const Case c : {Case{"PURGE_RXABORT", false}, Case{"CloseHandle", true}}) {
        SCOPED_TRACE(c.what);
        PtyPair pair(PtyPair::Peer::Quiet);
        HANDLE h = open_mapped(pair, 8);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        BOOL ok = TRUE;
        DWORD error = 0, n = 99;
        bool closed = false;
        int calls = 0;
        end_blocked_call(
            [&] {
                char buf[4];
                ok = ReadFile(h, buf, 4, &n, nullptr);
                error = GetLastError();
            },
            [&] {
                if (!c.close) {
                    PurgeComm(h, PURGE_RXABORT);
                } else if (!closed && ++calls > 50) {  // let the read start waiting first
                    closed = true;
                    CloseHandle(h);
                }
            });
        EXPECT_FALSE(ok);
        // A read that started only after the close finds the handle gone.
        if (!(c.close && error == ERROR_INVALID_HANDLE)) {
            EXPECT_EQ(error, static_cast<DWORD>(ERROR_OPERATION_ABORTED));
        }
        EXPECT_EQ(n, 0u);
        if (!c.close) CloseHandle(h);
        // Closing released the device: it opens again.
        HANDLE again = open_mapped(pair, 8);
        EXPECT_NE(again, INVALID_HANDLE_VALUE) << "error " << GetLastError();
        CloseHandle(again);
    }
}

}  // namespace
