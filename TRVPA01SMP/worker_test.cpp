// The receive and send worker on a real port: a pseudo-terminal whose far end
// the test writes and reads. The test's thread owns the window that gets the
// chunks and pumps its messages.
#include "terminal_test_support.h"

#include <string.h>

#include <chrono>
#include <cstdio>
#include <vector>

using namespace terminal_test;
using ce::test::PtyPair;

namespace {

// Chunks as the window received them, each with when it arrived.
struct Chunk {
    std::string bytes;
    std::chrono::steady_clock::time_point at;
};
std::vector<Chunk> g_chunks;

LRESULT CALLBACK ChunkWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RXDATA) {
        g_chunks.push_back({std::string((const char *)wParam, (size_t)lParam),
                            std::chrono::steady_clock::now()});
        LocalFree((HLOCAL)wParam);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
}

// Pumps the window's messages until `count` chunks have arrived.
bool PumpUntilChunks(size_t count, int timeout_ms = 20000)
{
    return WaitFor([&] {
        Pump();
        return g_chunks.size() >= count;
    }, timeout_ms);
}

// Pumps for a while, for what must not arrive.
void PumpFor(int ms)
{
    WaitFor([] {
        Pump();
        return false;
    }, ms);
}

class Worker : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTerminalState();
        g_chunks.clear();
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc;
            memset(&wc, 0, sizeof(wc));
            wc.lpfnWndProc = ChunkWindowProc;
            wc.lpszClassName = u"terminal chunks";
            ASSERT_NE(RegisterClassW(&wc), 0);
            registered = true;
        }
        window = CreateWindowExW(0, u"terminal chunks", u"", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
        ASSERT_NE(window, nullptr);
        pty.map_com(5);
        g_terminal.portNumber = 5;
        ASSERT_TRUE(OpenPort(window));
    }

    void TearDown() override
    {
        StopWorker();
        ClosePort();
        DestroyWindow(window);
        Pump();
    }

    // Hands a text to the worker the way SendText does.
    void RequestSend(const std::string &text)
    {
        memset(g_terminal.sendText, 0, sizeof(g_terminal.sendText));
        memcpy(g_terminal.sendText, text.data(), text.size() < 256 ? text.size() : 256);
        g_terminal.sendRequest.store(1, std::memory_order_release);
    }

    ce::test::TempRoot root;
    PtyPair pty{PtyPair::Peer::Record};
    HWND window = NULL;
};

// Received bytes arrive in chunks of at most 256 bytes: a full chunk at once,
// the rest once the line has been idle; bytes come in order and a zero byte
// is a byte like any other.
TEST_F(Worker, ReceivedBytesArriveInChunksOfAtMost256) {
    struct Case {
        const char *name;
        std::string sent;
        std::vector<size_t> sizes;
    };
    std::string burst300;
    for (int i = 0; i < 300; i++) {
        burst300 += (char)(i * 7 + 1);
    }
    const Case cases[] = {
        {"300 bytes in one burst", burst300, {256, 44}},
        {"exactly 256 bytes", burst300.substr(0, 256), {256}},
        {"a single byte", "A", {1}},
        {"zero bytes inside", std::string("ab\0\0cd\0", 7), {7}},
    };
    ASSERT_TRUE(StartWorker(window));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        g_chunks.clear();
        auto sent = std::chrono::steady_clock::now();
        pty.send(c.sent);
        ASSERT_TRUE(PumpUntilChunks(c.sizes.size()));
        PumpFor(600);  // more than the idle time: nothing else may come
        ASSERT_EQ(g_chunks.size(), c.sizes.size());
        std::string joined;
        for (size_t i = 0; i < c.sizes.size(); i++) {
            EXPECT_EQ(g_chunks[i].bytes.size(), c.sizes[i]) << "chunk " << i;
            joined += g_chunks[i].bytes;
            printf("  %s: chunk %zu of %zu bytes after %lld ms\n", c.name, i, g_chunks[i].bytes.size(),
                   (long long)std::chrono::duration_cast<std::chrono::milliseconds>(g_chunks[i].at - sent).count());
        }
        EXPECT_EQ(joined, c.sent);
    }
}

// A handed-over text goes out up to its terminator, or all 256 bytes when it
// fills the buffer; an empty text is a write of nothing. The worker clears
// the request after each.
TEST_F(Worker, SendsTheHandedOverTextAndClearsTheRequest) {
    std::string full;
    for (int i = 0; i < 256; i++) {
        full += (char)('A' + i % 26);
    }
    struct Case {
        const char *name;
        std::string text;
        std::string atPeer;
    };
    const Case cases[] = {
        {"a short text", "hello", "hello"},
        {"an empty text", "", ""},
        {"256 bytes without terminator", full, full},
        {"a text after a zero byte is not sent", std::string("ab\0cd", 5), "ab"},
    };
    ASSERT_TRUE(StartWorker(window));
    size_t expectedTotal = 0;
    std::string expectedAll;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RequestSend(c.text);
        ASSERT_TRUE(WaitFor([] { return g_terminal.sendRequest.load() == 0; }));
        expectedAll += c.atPeer;
        expectedTotal += c.atPeer.size();
        ASSERT_TRUE(pty.wait_received(expectedTotal));
        PumpFor(20);
        EXPECT_EQ(pty.received(), expectedAll);
    }
}

// Stopping twice, or with no worker, does nothing; a stopped worker has ended
// once StopWorker returns when it was not writing.
TEST_F(Worker, StopWithoutWorkerDoesNothing) {
    StopWorker();
    EXPECT_EQ(g_terminal.worker, nullptr);
    ASSERT_TRUE(StartWorker(window));
    EXPECT_NE(g_terminal.worker, nullptr);
    EXPECT_EQ(g_terminal.running.load(), 1);
    StopWorker();
    EXPECT_EQ(g_terminal.worker, nullptr);
    EXPECT_EQ(g_terminal.running.load(), 0);
    StopWorker();
    EXPECT_EQ(g_terminal.worker, nullptr);
    ClosePort();
    EXPECT_EQ(g_terminal.port, nullptr);
    ClosePort();
    EXPECT_EQ(g_terminal.port, nullptr);
}

// A worker held inside a write (the far end sent XOFF) outlives StopWorker.
// Closing the port, or starting the next worker, aborts that write and waits
// for the old worker first: it never uses the closed port, never runs beside
// the next worker, and its text never goes out later.
TEST_F(Worker, AWriteHeldByFlowControlIsAbortedBeforeCloseOrRestart) {
    for (bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "settings confirmed again" : "EXIT");
        if (g_terminal.port == NULL) {
            ASSERT_TRUE(OpenPort(window));
        }
        g_terminal.commState.fOutX = 1;
        g_terminal.commState.XonChar = 0x11;
        g_terminal.commState.XoffChar = 0x13;
        ASSERT_TRUE(StartWorker(window));
        pty.send("\x13");  // XOFF: output stops
        PumpFor(50);
        RequestSend("held");
        PumpFor(100);
        ASSERT_EQ(g_terminal.sendRequest.load(), 1) << "the write should be held";

        StopWorker();
        EXPECT_EQ(g_terminal.worker, nullptr);
        ASSERT_NE(g_terminal.stoppedWorker, nullptr) << "the worker is still inside its write";

        if (restart) {
            g_terminal.commState.fOutX = 0;
            ASSERT_TRUE(StartWorker(window));
            EXPECT_EQ(g_terminal.stoppedWorker, nullptr);
            EXPECT_EQ(g_terminal.sendRequest.load(), 0) << "the old worker ended after its aborted write";
            RequestSend("after");
            ASSERT_TRUE(pty.wait_received(5));
            EXPECT_EQ(pty.received(), "after");
            StopWorker();
            ClosePort();
        } else {
            ClosePort();
            EXPECT_EQ(g_terminal.port, nullptr);
            EXPECT_EQ(g_terminal.stoppedWorker, nullptr);
            EXPECT_EQ(g_terminal.sendRequest.load(), 0);
            pty.send("\x11");  // XON: nothing may come out now
            PumpFor(100);
            EXPECT_EQ(pty.received(), "");
        }
    }
}

}  // namespace
