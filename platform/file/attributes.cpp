// File attributes, directory creation and file deletion.
#include "ce/file.h"
#include "file/paths.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using ce::file::error_from_errno;
using ce::file::not_found_error;
using ce::file::to_host_path;

namespace {

// The host path of a caller's Windows path, or false with the last error set.
bool host_of(LPCSTR path, std::string *host) {
    DWORD error = 0;
    if (to_host_path(path, host, &error)) return true;
    SetLastError(error);
    return false;
}

// Sets the last error for a failed call on `host` from errno.
void fail_errno(const std::string &host) {
    int e = errno;
    SetLastError(e == ENOENT ? not_found_error(host) : error_from_errno(e));
}

DWORD attributes_of(const struct stat &st) {
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

}  // namespace

DWORD GetFileAttributesA(LPCSTR lpFileName) {
    std::string host;
    if (!host_of(lpFileName, &host)) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        fail_errno(host);
        return INVALID_FILE_ATTRIBUTES;
    }
    return attributes_of(st);
}

BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
    if (dwFileAttributes == INVALID_FILE_ATTRIBUTES) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string host;
    if (!host_of(lpFileName, &host)) return FALSE;
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        fail_errno(host);
        return FALSE;
    }
    // Read-only takes every write permission away; clearing it gives the
    // owner's back.
    mode_t mode = st.st_mode & 07777;
    if (dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && chmod(host.c_str(), mode) != 0) {
        fail_errno(host);
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    std::string host;
    if (!host_of(lpPathName, &host)) return FALSE;
    if (mkdir(host.c_str(), 0777) != 0) {
        int e = errno;
        SetLastError(e == ENOENT || e == ENOTDIR ? ERROR_PATH_NOT_FOUND : error_from_errno(e));
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileA(LPCSTR lpFileName) {
    std::string host;
    if (!host_of(lpFileName, &host)) return FALSE;
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) {
        fail_errno(host);
        return FALSE;
    }
    // Checked here, not left to the kernel, which lets a privileged caller
    // remove anything.
    if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (unlink(host.c_str()) != 0) {
        fail_errno(host);
        return FALSE;
    }
    return TRUE;
}
