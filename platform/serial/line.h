// A tty's line settings as the kernel holds them (struct termios2), so that
// any baud rate can be set, and the DCB <-> termios mapping.
#pragma once

#include "ce/serial.h"

#include <cstdint>
#include <string>

namespace ce::serial {

// The kernel's termios2, field for field.
struct LineSettings {
    uint32_t iflag = 0, oflag = 0, cflag = 0, lflag = 0;
    uint8_t line = 0;
    uint8_t cc[19] = {};
    uint32_t ispeed = 0, ospeed = 0;
};

// Reads / applies (at once, TCSETS2) a tty's settings; false with errno set.
bool line_get(int fd, LineSettings *out);
bool line_set(int fd, const LineSettings &in);

// The baud rate the settings carry.
uint32_t line_rate(const LineSettings &s);

// Raw mode: no echo, no line editing, no character translation, reads that
// wait for one byte (the port polls before reading). Keeps speed, character
// format and flow control.
void make_raw(LineSettings *s);

// Empty when the host can honour the record; else what is wrong with it,
// naming the field and its value.
std::string dcb_problem(const DCB &dcb);

// The settings that carry `dcb` (which must have no problem), starting from
// the line's current ones so that what the record does not govern is kept.
LineSettings dcb_to_line(const DCB &dcb, const LineSettings &current);

// A record describing the line: the fields termios holds come from `s`, the
// others take the platform's defaults.
DCB line_to_dcb(const LineSettings &s);

}  // namespace ce::serial
