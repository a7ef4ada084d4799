// Opening ports and their settings, on real pseudo-terminals.
#include "platform.h"
#include "serial/line.h"
#include "sync/child.h"
#include "testsupport/pty_pair.h"
#include "testsupport/temp_root.h"

#include <cstring>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

using ce::test::Child;
using ce::test::PtyPair;
using ce::test::TempRoot;

HANDLE open_com(const char16_t *name, DWORD share = 0, DWORD disposition = OPEN_EXISTING) {
    SetLastError(0xdeadbeef);
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, share, nullptr, disposition, 0, nullptr);
}

void set_port_value(const char16_t *name, const std::string &path) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Platform\\Ports", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    std::u16string v(path.begin(), path.end());
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(v.c_str()),
                   static_cast<DWORD>((v.size() + 1) * 2));
    RegCloseKey(key);
}

TEST(PortOpen, FailsWithThePlatformsCodes) {
    TempRoot root;
    PtyPair pair;
    pair.map_com(5);
    root.write("plain-file", "not a port");
    set_port_value(u"COM6", "/dev/no-such-tty");
    set_port_value(u"COM7", "");
    set_port_value(u"COM8", root.file("plain-file"));
    struct Case {
        const char16_t *name;
        DWORD disposition;
        DWORD error;
    };
    const Case cases[] = {
        {u"COM4:", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},       // unmapped
        {u"COM6:", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},       // device missing
        {u"COM7:", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},       // disabled
        {u"COM8:", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},       // not a tty
        {u"COM5:", CREATE_ALWAYS, ERROR_INVALID_PARAMETER},    // ports are not created
        {u"COM05:", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},      // not a port name
        {u"COM256:", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.name)));
        EXPECT_EQ(open_com(c.name, 0, c.disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    HANDLE h = open_com(u"com5:");  // names are not case-sensitive
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(CloseHandle(h));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(PortOpen, IsExclusiveAgainstThisAndOtherProcesses) {
    TempRoot root;
    PtyPair pair;
    pair.map_com(10);
    // This process holds it: a second handle and another process are refused.
    HANDLE h = open_com(u"COM10:");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open_com(u"COM10:"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(open_com(u"COM10:", FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    {
        Child other({SYNC_CHILD, "port", "COM10:"});
        EXPECT_EQ(other.read_line(), "5");
    }
    CloseHandle(h);
    // Another process holds it: refused here until it lets go.
    Child holder({SYNC_CHILD, "port", "COM10:"});
    ASSERT_EQ(holder.read_line(), "0");
    EXPECT_EQ(open_com(u"COM10:"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    holder.close_input();
    EXPECT_EQ(holder.wait(), 0);
    h = open_com(u"COM10:");
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    CloseHandle(h);
}

TEST(PortOpen, WithoutAccessOpensForSettingsOnly) {
    TempRoot root;
    PtyPair pair;
    pair.map_com(9);
    HANDLE user = open_com(u"COM9:");
    ASSERT_NE(user, INVALID_HANDLE_VALUE);
    // Beside the exclusive user, a query handle can read the settings but no bytes.
    HANDLE query = CreateFileW(u"COM9:", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(query, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    DCB d;
    EXPECT_TRUE(GetCommState(query, &d));
    pair.send("abc");
    char buf[3];
    DWORD n = 0;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(query, buf, 3, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(WriteFile(query, "x", 1, &n, nullptr));
    COMSTAT stat{};
    EXPECT_TRUE(ClearCommError(query, nullptr, &stat));
    CloseHandle(query);
    ASSERT_TRUE(ReadFile(user, buf, 3, &n, nullptr));
    EXPECT_EQ(std::string(buf, 3), "abc") << "the query handle took the user's bytes";
    CloseHandle(user);
}

TEST(PortOpen, PutsTheTtyInRawMode) {
    TempRoot root;
    PtyPair pair;
    pair.map_com(3);
    termios t;
    ASSERT_EQ(tcgetattr(pair.far_fd(), &t), 0);
    t.c_lflag |= ICANON | ECHO | ISIG;
    t.c_oflag |= OPOST | ONLCR;
    t.c_iflag |= ICRNL;
    ASSERT_EQ(tcsetattr(pair.far_fd(), TCSANOW, &t), 0);
    HANDLE h = open_com(u"COM3:");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_EQ(tcgetattr(pair.far_fd(), &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & ICRNL, 0u);
    DCB d;
    memset(&d, 0xFF, sizeof d);
    ASSERT_TRUE(GetCommState(h, &d));
    EXPECT_EQ(d.DCBlength, 28u);
    EXPECT_EQ(d.fBinary, 1u);
    EXPECT_EQ(ce::serial::dcb_problem(d), "") << "the state read at open must be settable";
    EXPECT_TRUE(SetCommState(h, &d));
    CloseHandle(h);
}

DCB with(DCB d, DWORD baud, BYTE size, BYTE parity, BYTE stop, int flow) {
    d.BaudRate = baud;
    d.ByteSize = size;
    d.Parity = parity;
    d.StopBits = stop;
    d.fOutX = d.fInX = flow == 1;
    d.fRtsControl = flow == 2 ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    if (flow == 1) d.XonChar = 0x11, d.XoffChar = 0x13, d.XonLim = 4, d.XoffLim = 12, d.fTXContinueOnXoff = 0;
    return d;
}

TEST(PortSettings, RoundTripAndReachTheTty) {
    TempRoot root;
    PtyPair pair;
    pair.map_com(5);
    HANDLE h = open_com(u"COM5:");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DCB start;
    ASSERT_TRUE(GetCommState(h, &start));
    struct Case {
        DWORD baud;
        BYTE size, parity, stop;
        int flow;
    };
    const Case cases[] = {
        {110, 5, NOPARITY, ONE5STOPBITS, 0}, {300, 6, ODDPARITY, TWOSTOPBITS, 1}, {9600, 8, NOPARITY, ONESTOPBIT, 0},
        {14400, 7, EVENPARITY, ONESTOPBIT, 2}, {38400, 8, MARKPARITY, ONESTOPBIT, 1},
        {115200, 8, SPACEPARITY, TWOSTOPBITS, 2}, {921600, 8, NOPARITY, ONESTOPBIT, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.baud << " " << int(c.size) << " parity " << int(c.parity) << " stop "
                                        << int(c.stop) << " flow " << c.flow);
        DCB set = with(start, c.baud, c.size, c.parity, c.stop, c.flow);
        set.EofChar = 0x04;  // held by no termios field: kept by the port
        set.XonLim = 77;
        ASSERT_TRUE(SetCommState(h, &set)) << "error " << GetLastError();
        DCB got;
        memset(&got, 0xA5, sizeof got);
        ASSERT_TRUE(GetCommState(h, &got));
        EXPECT_EQ(memcmp(&got, &set, sizeof got), 0) << "GetCommState does not answer what was set";

        // What the device holds: a pseudo-terminal keeps speed, stop bits and flow control.
        ce::serial::LineSettings line;
        ASSERT_TRUE(ce::serial::line_get(pair.far_fd(), &line));
        EXPECT_EQ(ce::serial::line_rate(line), c.baud);
        termios t;
        ASSERT_EQ(tcgetattr(pair.far_fd(), &t), 0);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.stop != ONESTOPBIT);
        EXPECT_EQ((t.c_iflag & IXON) != 0, c.flow == 1);
        EXPECT_EQ((t.c_iflag & IXOFF) != 0, c.flow == 1);
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.flow == 2);
        EXPECT_EQ(t.c_cc[VSTART], static_cast<cc_t>(set.XonChar));
        EXPECT_EQ(t.c_cc[VSTOP], static_cast<cc_t>(set.XoffChar));
    }
    CloseHandle(h);
}

TEST(PortSettings, ImpossibleSettingsFailAndLeaveThePortAsItWas) {
    TempRoot root;
    PtyPair pair;
    pair.map_com(2);
    HANDLE h = open_com(u"COM2:");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DCB good;
    ASSERT_TRUE(GetCommState(h, &good));
    good = with(good, 19200, 8, NOPARITY, ONESTOPBIT, 1);
    ASSERT_TRUE(SetCommState(h, &good));
    termios before;
    tcgetattr(pair.far_fd(), &before);
    struct Case {
        const char *what;
        void (*change)(DCB &);
    };
    const Case cases[] = {
        {"ByteSize 9", [](DCB &d) { d.ByteSize = 9; }},
        {"DCBlength 0", [](DCB &d) { d.DCBlength = 0; }},
        {"BaudRate 0", [](DCB &d) { d.BaudRate = 0; }},
        {"1.5 stop bits with 8 data bits", [](DCB &d) { d.StopBits = ONE5STOPBITS, d.BaudRate = 300; }},
        {"RTS toggle", [](DCB &d) { d.fRtsControl = RTS_CONTROL_TOGGLE, d.BaudRate = 300; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DCB bad = good;
        c.change(bad);
        SetLastError(0);
        EXPECT_FALSE(SetCommState(h, &bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        DCB now;
        ASSERT_TRUE(GetCommState(h, &now));
        EXPECT_EQ(memcmp(&now, &good, sizeof now), 0);
        termios after;
        tcgetattr(pair.far_fd(), &after);
        EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
        EXPECT_EQ(after.c_iflag, before.c_iflag);
        EXPECT_EQ(after.c_cflag, before.c_cflag);
    }
    SetLastError(0);
    EXPECT_FALSE(SetCommState(h, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(GetCommState(h, nullptr));
    EXPECT_FALSE(GetCommState(reinterpret_cast<HANDLE>(0x4444), &good));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(h);
}

}  // namespace
