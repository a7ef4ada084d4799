// The DCB and termios, field by field.
//
// Field                  termios / device                      Honoured?
// DCBlength              must be 28                            checked
// BaudRate               c_cflag Bnnn for the standard rates,  yes; a rate the
//                        else BOTHER with c_ispeed/c_ospeed    device refuses fails
// fBinary                must be 1 (there is no other mode)    checked
// fParity                INPCK (check received parity) when    yes
//                        Parity is not NOPARITY
// fOutxCtsFlow           CRTSCTS                               yes (*)
// fOutxDsrFlow           -                                     no: refused when set
// fDtrControl            DTR line (TIOCMBIS/TIOCMBIC):         disable/enable;
//                        0 low, 1 high                         handshake refused
// fDsrSensitivity        -                                     no: refused when set
// fTXContinueOnXoff      -                                     kept only
// fOutX                  IXON, output stops on XoffChar        yes
// fInX                   IXOFF, input sends XoffChar/XonChar   yes
// fErrorChar, ErrorChar  -                                     kept only
// fNull                  -                                     no: refused when set
// fRtsControl            0 RTS low, 1 RTS high,                disable/enable/
//                        2 CRTSCTS (*)                         handshake; toggle refused
// fAbortOnError          -                                     kept only
// XonLim, XoffLim        - (the kernel picks its thresholds)   kept only
// ByteSize               CS5..CS8                              yes (**)
// Parity                 PARENB, PARODD, CMSPAR                yes (**)
// StopBits               CSTOPB; 1.5 only with 5 data bits,    yes
//                        2 only with 6 to 8 (as the UART has it)
// XonChar, XoffChar      VSTART, VSTOP                         yes; equal ones refused
//                                                              while Xon/Xoff is on
// EofChar, EvtChar       -                                     kept only
// wReserved, wReserved1  -                                     kept only
//
// (*) Linux couples the two halves of hardware handshake in CRTSCTS: either
//     fOutxCtsFlow or fRtsControl = handshake turns on both.
// (**) A pseudo-terminal always shows 8 data bits and no parity; the line is
//     virtual, so the port keeps what was set and does not fail for that.
// "Kept only": SetCommState stores it and GetCommState answers it; the line
// does not change.
#include "serial/line.h"

#include <cstddef>
#include <termios.h>

#ifndef BOTHER
#define BOTHER 0010000
#endif
#ifndef CIBAUD
#define CIBAUD 002003600000
#endif

static_assert(sizeof(DCB) == 28, "DCB is 28 bytes on the platform");
static_assert(offsetof(DCB, BaudRate) == 4);
static_assert(offsetof(DCB, wReserved) == 12);
static_assert(offsetof(DCB, XonLim) == 14);
static_assert(offsetof(DCB, XoffLim) == 16);
static_assert(offsetof(DCB, ByteSize) == 18);
static_assert(offsetof(DCB, Parity) == 19);
static_assert(offsetof(DCB, StopBits) == 20);
static_assert(offsetof(DCB, XonChar) == 21);
static_assert(offsetof(DCB, XoffChar) == 22);
static_assert(offsetof(DCB, ErrorChar) == 23);
static_assert(offsetof(DCB, EofChar) == 24);
static_assert(offsetof(DCB, EvtChar) == 25);
static_assert(offsetof(DCB, wReserved1) == 26);

namespace ce::serial {
namespace {

struct Rate {
    uint32_t baud;
    uint32_t code;
};

// The rates termios names; any other goes through BOTHER.
constexpr Rate kRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

std::string field(const char *name, unsigned value, const char *why) {
    return std::string(name) + " " + std::to_string(value) + ": " + why;
}

}  // namespace

uint32_t line_rate(const LineSettings &s) {
    uint32_t code = s.cflag & CBAUD;
    if (code == BOTHER) return s.ospeed;
    for (const Rate &r : kRates)
        if (r.code == code) return r.baud;
    return 0;
}

void make_raw(LineSettings *s) {
    s->iflag &= ~static_cast<uint32_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY | IMAXBEL |
                                       IUCLC | IGNPAR);
    s->oflag &= ~static_cast<uint32_t>(OPOST);
    s->lflag &= ~static_cast<uint32_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    s->cflag |= CREAD | CLOCAL;
    s->cc[VMIN] = 1;
    s->cc[VTIME] = 0;
}

std::string dcb_problem(const DCB &d) {
    if (d.DCBlength != sizeof(DCB)) return field("DCBlength", d.DCBlength, "must be 28");
    if (d.BaudRate == 0) return "BaudRate 0: no line runs at 0 baud";
    if (!d.fBinary) return "fBinary 0: only binary mode exists";
    if (d.ByteSize < 5 || d.ByteSize > 8) return field("ByteSize", d.ByteSize, "must be 5 to 8");
    if (d.Parity > SPACEPARITY) return field("Parity", d.Parity, "must be 0 to 4 (none, odd, even, mark, space)");
    if (d.StopBits > TWOSTOPBITS) return field("StopBits", d.StopBits, "must be 0, 1 or 2 (one, one and a half, two)");
    if (d.StopBits == ONE5STOPBITS && d.ByteSize != 5)
        return field("StopBits", d.StopBits, "one and a half stop bits need 5 data bits");
    if (d.StopBits == TWOSTOPBITS && d.ByteSize == 5)
        return field("StopBits", d.StopBits, "two stop bits need 6 to 8 data bits");
    if (d.fDtrControl > DTR_CONTROL_ENABLE)
        return field("fDtrControl", d.fDtrControl, "DTR handshake is not available on this host");
    if (d.fRtsControl == RTS_CONTROL_TOGGLE)
        return field("fRtsControl", d.fRtsControl, "RTS toggling is not available on this host");
    if (d.fOutxDsrFlow) return "fOutxDsrFlow 1: DSR output flow control is not available on this host";
    if (d.fDsrSensitivity) return "fDsrSensitivity 1: not available on this host";
    if (d.fNull) return "fNull 1: discarding null bytes is not available on this host";
    if ((d.fOutX || d.fInX) && d.XonChar == d.XoffChar)
        return field("XonChar", static_cast<unsigned char>(d.XonChar), "equals XoffChar");
    return "";
}

LineSettings dcb_to_line(const DCB &d, const LineSettings &current) {
    LineSettings s = current;
    make_raw(&s);

    s.cflag &= ~static_cast<uint32_t>(CBAUD | CIBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    uint32_t code = BOTHER;
    for (const Rate &r : kRates)
        if (r.baud == d.BaudRate) code = r.code;
    s.cflag |= code;  // CIBAUD 0: input at the output rate
    s.ispeed = s.ospeed = d.BaudRate;

    static const uint32_t sizes[] = {CS5, CS6, CS7, CS8};
    s.cflag |= sizes[d.ByteSize - 5];
    if (d.StopBits != ONESTOPBIT) s.cflag |= CSTOPB;  // with 5 data bits the UART sends 1.5
    switch (d.Parity) {
    case ODDPARITY: s.cflag |= PARENB | PARODD; break;
    case EVENPARITY: s.cflag |= PARENB; break;
    case MARKPARITY: s.cflag |= PARENB | CMSPAR | PARODD; break;
    case SPACEPARITY: s.cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (d.fOutxCtsFlow || d.fRtsControl == RTS_CONTROL_HANDSHAKE) s.cflag |= CRTSCTS;

    s.iflag &= ~static_cast<uint32_t>(IXON | IXOFF | INPCK);
    if (d.fOutX) s.iflag |= IXON;
    if (d.fInX) s.iflag |= IXOFF;
    if (d.fParity && d.Parity != NOPARITY) s.iflag |= INPCK;
    s.cc[VSTART] = static_cast<uint8_t>(d.XonChar);
    s.cc[VSTOP] = static_cast<uint8_t>(d.XoffChar);
    return s;
}

DCB line_to_dcb(const LineSettings &s) {
    DCB d{};
    d.DCBlength = sizeof(DCB);
    d.BaudRate = line_rate(s);
    d.fBinary = 1;
    switch (s.cflag & CSIZE) {
    case CS5: d.ByteSize = 5; break;
    case CS6: d.ByteSize = 6; break;
    case CS7: d.ByteSize = 7; break;
    default: d.ByteSize = 8; break;
    }
    if (!(s.cflag & PARENB))
        d.Parity = NOPARITY;
    else if (s.cflag & CMSPAR)
        d.Parity = (s.cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        d.Parity = (s.cflag & PARODD) ? ODDPARITY : EVENPARITY;
    d.fParity = d.Parity != NOPARITY && (s.iflag & INPCK);
    d.StopBits = !(s.cflag & CSTOPB) ? ONESTOPBIT : d.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    bool hw = s.cflag & CRTSCTS;
    d.fOutxCtsFlow = hw;
    d.fRtsControl = hw ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fTXContinueOnXoff = 1;
    d.fOutX = (s.iflag & IXON) != 0;
    d.fInX = (s.iflag & IXOFF) != 0;
    d.XonChar = static_cast<char>(s.cc[VSTART]);
    d.XoffChar = static_cast<char>(s.cc[VSTOP]);
    // Not held by termios: the platform's usual values.
    d.XonLim = 2048;
    d.XoffLim = 512;
    d.EofChar = 0x1A;
    return d;
}

}  // namespace ce::serial
