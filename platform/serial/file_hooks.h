// Where the serial family hands over to the file family. CreateFileW,
// ReadFile and WriteFile live in serial/port.cpp; for a name that is not a
// COM port, and for a handle that is not a port, they call these functions.
// The defaults here (weak symbols) answer ERROR_FILE_NOT_FOUND and
// ERROR_INVALID_HANDLE; the file family overrides them by defining the same
// functions in its own source file of libplatform.
#pragma once

#include "ce/serial.h"

namespace ce {

HANDLE file_create(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE template_file);
BOOL file_read(HANDLE h, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
BOOL file_write(HANDLE h, LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);

}  // namespace ce
