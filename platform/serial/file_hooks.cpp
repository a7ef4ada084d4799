// Defaults for names and handles of the file family, until it provides its own.
#include "serial/file_hooks.h"

namespace ce {

__attribute__((weak)) HANDLE file_create(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

__attribute__((weak)) BOOL file_read(HANDLE, LPVOID, DWORD, LPDWORD done, LPOVERLAPPED) {
    if (done) *done = 0;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

__attribute__((weak)) BOOL file_write(HANDLE, LPCVOID, DWORD, LPDWORD done, LPOVERLAPPED) {
    if (done) *done = 0;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

}  // namespace ce
