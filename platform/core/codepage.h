// Code pages: the handheld's (and the PC's) narrow text encoding, chosen by
// CE_CODEPAGE (a number such as 1252 or 932; default 65001, UTF-8). Code pages
// other than UTF-8 go through the C library's iconv.
#pragma once

#include <string>
#include <string_view>

namespace ce {

constexpr unsigned kUtf8 = 65001;

// The code page in force, read from the environment on each call.
unsigned active_codepage();

// Appends the bytes of one character in code page `cp`; false when the
// character has no form there (nothing appended).
bool encode_char(unsigned cp, char32_t c, std::string &out);

// Decodes one character from at most `avail` bytes: the byte count used, 0
// when the bytes end inside a character, -1 when they are not text in `cp`.
int decode_char(unsigned cp, const unsigned char *src, size_t avail, char32_t *out);

// Reads one character from UTF-16; the units used (1 or 2), or 0 at a lone
// surrogate.
int next_utf16(const char16_t *src, size_t avail, char32_t *out);

// Appends a code point as UTF-16.
void append_utf16(std::u16string &out, char32_t c);

// UTF-8 <-> UTF-16 for the platform's own use (paths, registry file, tools).
// Invalid input becomes U+FFFD.
std::string to_utf8(std::u16string_view s);
std::u16string from_utf8(std::string_view s);

}  // namespace ce
