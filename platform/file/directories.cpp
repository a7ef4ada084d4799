// The working directory and the temporary directory in Windows form.
#include "ce/file.h"
#include "core/root.h"
#include "file/paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using ce::file::error_from_errno;
using ce::file::to_host_path;
using ce::file::to_windows_path;

namespace {

// Hands a result to the caller as the platform does: its length when it fits
// with the terminator, else the size needed, the buffer left alone.
DWORD give(const std::string &text, DWORD size, LPSTR buffer) {
    if (!buffer || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
    memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

// A directory only the caller can write to: owned by it, no write permission
// for group or others.
bool is_private_dir(const std::string &host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A TMP or TEMP value (a Windows path, or a host path beginning with '/')
// as a host path.
bool host_of_variable(const char *value, std::string *host) {
    if (!value || !*value) return false;
    if (value[0] == '/') {
        *host = value;
        return true;
    }
    DWORD error;
    return to_host_path(value, host, &error);
}

std::string user_name() {
    if (struct passwd *pw = getpwuid(geteuid()); pw && pw->pw_name && *pw->pw_name) return pw->pw_name;
    return "user" + std::to_string(geteuid());
}

// CE_ROOT/drive_c/users/<name>/Temp, made private to the caller.
bool per_user_temp(std::string *host) {
    std::string users = ce::machine_root() + "/drive_c/users/" + user_name();
    ce::make_directories(users);
    std::string temp = users + "/Temp";
    mkdir(temp.c_str(), 0700);
    struct stat st;
    if (lstat(temp.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
    if ((st.st_mode & 0777) != 0700 && chmod(temp.c_str(), 0700) != 0) return false;
    *host = temp;
    return true;
}

}  // namespace

DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    char cwd[PATH_MAX];
    std::string windows;
    if (!getcwd(cwd, sizeof cwd)) {
        SetLastError(error_from_errno(errno));
        return 0;
    }
    if (!to_windows_path(cwd, &windows)) {
        SetLastError(ERROR_PATH_NOT_FOUND);  // the directory lies on no drive
        return 0;
    }
    return give(windows, nBufferLength, lpBuffer);
}

BOOL SetCurrentDirectoryA(LPCSTR lpPathName) {
    std::string host;
    DWORD error = 0;
    if (!to_host_path(lpPathName, &host, &error)) {
        SetLastError(error);
        return FALSE;
    }
    if (chdir(host.c_str()) != 0) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : error_from_errno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
    std::string host;
    bool found = false;
    for (const char *name : {"TMP", "TEMP"}) {
        if (host_of_variable(getenv(name), &host) && is_private_dir(host)) {
            found = true;
            break;
        }
    }
    if (!found && !per_user_temp(&host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    std::string windows;
    if (!to_windows_path(host, &windows)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (windows.back() != '\\') windows += '\\';
    return give(windows, nBufferLength, lpBuffer);
}
