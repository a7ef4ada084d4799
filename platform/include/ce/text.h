// Wide (UTF-16) and narrow text functions. Provided by platform/core/text.cpp
// and platform/core/codepage.cpp.
//
// These overload the C library's names for WCHAR (char16_t), so a program
// written for the handheld reads the same here.
#pragma once

#include "ce/base.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

size_t wcslen(const WCHAR *s);
WCHAR *wcscpy(WCHAR *dst, const WCHAR *src);
WCHAR *wcsncpy(WCHAR *dst, const WCHAR *src, size_t n);
WCHAR *wcscat(WCHAR *dst, const WCHAR *src);
int wcscmp(const WCHAR *a, const WCHAR *b);
int wcsncmp(const WCHAR *a, const WCHAR *b, size_t n);
WCHAR *wcschr(const WCHAR *s, WCHAR c);
int _wtoi(const WCHAR *s);

// Wide to narrow in the handheld's code page. Writes at most `count` bytes and
// never half a character; writes a terminator only when the source's own
// terminator is reached within the count. Returns the bytes written without
// the terminator, the size needed when dst is null, or (size_t)-1 when a
// character has no form in the code page.
size_t wcstombs(char *dst, const WCHAR *src, size_t count);

// Narrow in the handheld's code page to wide. Writes at most `count` wide
// characters and reads no source byte at or beyond src + count; stops at a
// zero byte (writing the terminator when there is room in the count). Returns
// the characters written without the terminator, the size needed when dst is
// null, or (size_t)-1 at a byte sequence that is not text in the code page.
size_t mbstowcs(WCHAR *dst, const char *src, size_t count);

// Formats like the platform's wsprintfW: %d %i %u %x %X %c %s (wide) %S and
// %hs (narrow) %ls %%, with flags '-' '0', width, precision and 'l'/'h'
// modifiers. Output is capped at 1024 characters with the terminator, as on
// the platform. Returns the characters written without the terminator.
int wsprintfW(LPWSTR out, LPCWSTR format, ...);
int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args);

// Narrow counterpart, for the desktop side: %s narrow, %S and %ls wide.
int wsprintfA(LPSTR out, LPCSTR format, ...);
int wvsprintfA(LPSTR out, LPCSTR format, va_list args);

int lstrlenA(LPCSTR s);
LPSTR lstrcpyA(LPSTR dst, LPCSTR src);
LPSTR lstrcatA(LPSTR dst, LPCSTR src);
int lstrlenW(LPCWSTR s);
LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src);
LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src);

#define CP_ACP 0
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x08

// Code page conversions; the handheld's and the PC's code page is CP_ACP,
// chosen by CE_CODEPAGE (default UTF-8). Results as on the platform: the
// count of units written (including the terminator when cchSrc is -1), or
// the size needed when the output size is 0; 0 with the last error on
// failure (ERROR_INSUFFICIENT_BUFFER, ERROR_NO_UNICODE_TRANSLATION).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int cbSrc, LPWSTR dst, int cchDst);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int cchSrc, LPSTR dst, int cbDst,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar);
UINT GetACP();
#define ERROR_NO_UNICODE_TRANSLATION 1113L
