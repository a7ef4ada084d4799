#include "serial/line.h"

#include <cstring>
#include <gtest/gtest.h>
#include <termios.h>

#ifndef BOTHER
#define BOTHER 0010000
#endif

namespace {

using ce::serial::LineSettings;

DWORD flag_word(const DCB &d) {
    DWORD w;
    memcpy(&w, reinterpret_cast<const char *>(&d) + 8, sizeof w);
    return w;
}

DCB base_dcb() {
    LineSettings s;
    s.cflag = B9600 | CS8 | CREAD | CLOCAL;
    s.cc[VSTART] = 0x11;
    s.cc[VSTOP] = 0x13;
    return ce::serial::line_to_dcb(s);
}

TEST(DcbLayout, EachFlagSitsAtItsBit) {
    struct Case {
        const char *field;
        void (*set)(DCB &);
        DWORD word;
    };
    const Case cases[] = {
        {"fBinary", [](DCB &d) { d.fBinary = 1; }, 0x1},
        {"fParity", [](DCB &d) { d.fParity = 1; }, 0x2},
        {"fOutxCtsFlow", [](DCB &d) { d.fOutxCtsFlow = 1; }, 0x4},
        {"fOutxDsrFlow", [](DCB &d) { d.fOutxDsrFlow = 1; }, 0x8},
        {"fDtrControl=2", [](DCB &d) { d.fDtrControl = 2; }, 0x20},
        {"fDsrSensitivity", [](DCB &d) { d.fDsrSensitivity = 1; }, 0x40},
        {"fTXContinueOnXoff", [](DCB &d) { d.fTXContinueOnXoff = 1; }, 0x80},
        {"fOutX", [](DCB &d) { d.fOutX = 1; }, 0x100},
        {"fInX", [](DCB &d) { d.fInX = 1; }, 0x200},
        {"fErrorChar", [](DCB &d) { d.fErrorChar = 1; }, 0x400},
        {"fNull", [](DCB &d) { d.fNull = 1; }, 0x800},
        {"fRtsControl=2", [](DCB &d) { d.fRtsControl = 2; }, 0x2000},
        {"fRtsControl=3", [](DCB &d) { d.fRtsControl = 3; }, 0x3000},
        {"fAbortOnError", [](DCB &d) { d.fAbortOnError = 1; }, 0x4000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field);
        DCB d;
        memset(&d, 0, sizeof d);
        c.set(d);
        EXPECT_EQ(flag_word(d), c.word) << std::hex << flag_word(d);
    }
}

TEST(DcbCheck, RefusesWhatTheHostCannotHonourAndNamesTheField) {
    struct Case {
        const char *field;  // expected in the reason; null when the record is fine
        void (*change)(DCB &);
    };
    const Case cases[] = {
        {nullptr, [](DCB &) {}},
        {nullptr, [](DCB &d) { d.BaudRate = 14400; }},
        {nullptr, [](DCB &d) { d.ByteSize = 5, d.StopBits = ONE5STOPBITS; }},
        {nullptr, [](DCB &d) { d.ByteSize = 7, d.Parity = SPACEPARITY, d.StopBits = TWOSTOPBITS; }},
        {nullptr, [](DCB &d) { d.fRtsControl = RTS_CONTROL_HANDSHAKE; }},
        {nullptr, [](DCB &d) { d.XonLim = 4, d.XoffLim = 12, d.fTXContinueOnXoff = 0, d.EvtChar = 'x'; }},
        {"DCBlength", [](DCB &d) { d.DCBlength = 27; }},
        {"DCBlength", [](DCB &d) { d.DCBlength = 0; }},
        {"BaudRate", [](DCB &d) { d.BaudRate = 0; }},
        {"fBinary", [](DCB &d) { d.fBinary = 0; }},
        {"ByteSize", [](DCB &d) { d.ByteSize = 9; }},
        {"ByteSize", [](DCB &d) { d.ByteSize = 4; }},
        {"Parity", [](DCB &d) { d.Parity = 5; }},
        {"StopBits", [](DCB &d) { d.StopBits = 3; }},
        {"StopBits", [](DCB &d) { d.StopBits = ONE5STOPBITS; }},
        {"StopBits", [](DCB &d) { d.ByteSize = 5, d.StopBits = TWOSTOPBITS; }},
        {"fDtrControl", [](DCB &d) { d.fDtrControl = DTR_CONTROL_HANDSHAKE; }},
        {"fRtsControl", [](DCB &d) { d.fRtsControl = RTS_CONTROL_TOGGLE; }},
        {"fOutxDsrFlow", [](DCB &d) { d.fOutxDsrFlow = 1; }},
        {"fDsrSensitivity", [](DCB &d) { d.fDsrSensitivity = 1; }},
        {"fNull", [](DCB &d) { d.fNull = 1; }},
        {"XonChar", [](DCB &d) { d.fInX = 1, d.XonChar = d.XoffChar = 0x13; }},
    };
    for (const Case &c : cases) {
        DCB d = base_dcb();
        c.change(d);
        std::string problem = ce::serial::dcb_problem(d);
        SCOPED_TRACE(c.field ? c.field : "(valid)");
        if (!c.field)
            EXPECT_EQ(problem, "");
        else
            EXPECT_NE(problem.find(c.field), std::string::npos) << "reason: " << problem;
    }
}

TEST(DcbMapping, RecordBecomesTermiosAndBack) {
    struct Case {
        DWORD baud;
        BYTE size, parity, stop;
        int flow;  // 0 none, 1 xon/xoff, 2 rts handshake, 3 cts flow
        uint32_t cflag_set, iflag_set;
    };
    const Case cases[] = {
        {110, 5, NOPARITY, ONE5STOPBITS, 0, B110 | CS5 | CSTOPB, 0},
        {9600, 8, NOPARITY, ONESTOPBIT, 0, B9600 | CS8, 0},
        {14400, 7, EVENPARITY, ONESTOPBIT, 1, BOTHER | CS7 | PARENB, IXON | IXOFF},
        {19200, 6, ODDPARITY, TWOSTOPBITS, 2, B19200 | CS6 | PARENB | PARODD | CSTOPB | CRTSCTS, 0},
        {115200, 8, MARKPARITY, ONESTOPBIT, 3, B115200 | CS8 | PARENB | PARODD | CMSPAR | CRTSCTS, 0},
        {57600, 8, SPACEPARITY, TWOSTOPBITS, 0, B57600 | CS8 | PARENB | CMSPAR | CSTOPB, 0},
        {4000000, 8, NOPARITY, ONESTOPBIT, 0, B4000000 | CS8, 0},
        {250000, 8, NOPARITY, ONESTOPBIT, 0, BOTHER | CS8, 0},
    };
    const uint32_t cmask = CBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.baud << " " << int(c.size) << " parity " << int(c.parity) << " stop "
                                        << int(c.stop) << " flow " << c.flow);
        DCB d = base_dcb();
        d.BaudRate = c.baud;
        d.ByteSize = c.size;
        d.Parity = c.parity;
        d.StopBits = c.stop;
        d.fOutX = d.fInX = c.flow == 1;
        d.fRtsControl = c.flow == 2 ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
        d.fOutxCtsFlow = c.flow == 3;
        d.fParity = 1;
        ASSERT_EQ(ce::serial::dcb_problem(d), "");
        LineSettings cooked;  // a line in canonical mode with echo: made raw on the way
        cooked.cflag = B38400 | CS8 | CREAD;
        cooked.lflag = ICANON | ECHO | ISIG;
        cooked.oflag = OPOST;
        cooked.iflag = ICRNL | IXANY;
        LineSettings s = ce::serial::dcb_to_line(d, cooked);
        EXPECT_EQ(s.cflag & cmask, c.cflag_set) << std::oct << (s.cflag & cmask);
        EXPECT_EQ(s.iflag & (IXON | IXOFF), c.iflag_set);
        EXPECT_EQ((s.iflag & INPCK) != 0, c.parity != NOPARITY) << "parity checking follows fParity";
        EXPECT_EQ(s.lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(s.oflag & OPOST, 0u);
        EXPECT_EQ(s.iflag & (ICRNL | IXANY), 0u);
        EXPECT_EQ(ce::serial::line_rate(s), c.baud);

        DCB back = ce::serial::line_to_dcb(s);
        EXPECT_EQ(back.BaudRate, d.BaudRate);
        EXPECT_EQ(back.ByteSize, d.ByteSize);
        EXPECT_EQ(back.Parity, d.Parity);
        EXPECT_EQ(back.StopBits, d.StopBits);
        EXPECT_EQ(back.fOutX, d.fOutX);
        EXPECT_EQ(back.fInX, d.fInX);
        EXPECT_EQ(back.fOutxCtsFlow || back.fRtsControl == RTS_CONTROL_HANDSHAKE,
                  d.fOutxCtsFlow || d.fRtsControl == RTS_CONTROL_HANDSHAKE);
        EXPECT_EQ(back.XonChar, d.XonChar);
        EXPECT_EQ(back.XoffChar, d.XoffChar);
        EXPECT_EQ(ce::serial::dcb_problem(back), "") << "what a line reports must be settable again";
    }
}

}  // namespace
