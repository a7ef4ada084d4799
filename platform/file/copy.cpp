// CopyFileA: the copy is written to a new file beside the target and renamed
// over it only when complete.
#include "ce/file.h"
#include "file/paths.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using ce::file::error_from_errno;
using ce::file::not_found_error;
using ce::file::to_host_path;

namespace {

// Copies every byte of one open file to another; errno on failure.
bool copy_bytes(int from, int to) {
    char buffer[65536];
    for (;;) {
        ssize_t got = read(from, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return true;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = write(to, buffer + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            done += put;
        }
    }
}

// Moves the finished copy into place; with no_replace an existing target is
// never replaced, even one that appeared during the copy.
bool place(const std::string &temp, const std::string &target, bool no_replace) {
    if (!no_replace) return rename(temp.c_str(), target.c_str()) == 0;
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: a hard link fails the same way.
    if (link(temp.c_str(), target.c_str()) != 0) return false;
    unlink(temp.c_str());
    return true;
}

}  // namespace

BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    std::string source, target;
    DWORD error = 0;
    if (!to_host_path(lpExistingFileName, &source, &error) || !to_host_path(lpNewFileName, &target, &error)) {
        SetLastError(error);
        return FALSE;
    }

    int from = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        SetLastError(errno == ENOENT ? not_found_error(source) : error_from_errno(errno));
        return FALSE;
    }
    struct stat src;
    if (fstat(from, &src) != 0 || !S_ISREG(src.st_mode)) {
        close(from);
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }

    // The target's state is judged from its attributes, as the platform does;
    // the kernel's permission check would let a privileged caller through.
    struct stat dst;
    if (stat(target.c_str(), &dst) == 0) {
        DWORD result = ERROR_SUCCESS;
        if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino)
            result = ERROR_SHARING_VIOLATION;  // a file cannot be copied onto itself
        else if (bFailIfExists)
            result = ERROR_FILE_EXISTS;
        else if (S_ISDIR(dst.st_mode) || !(dst.st_mode & S_IWUSR))
            result = ERROR_ACCESS_DENIED;
        if (result != ERROR_SUCCESS) {
            close(from);
            SetLastError(result);
            return FALSE;
        }
    } else if (errno != ENOENT) {
        int e = errno;
        close(from);
        SetLastError(e == ENOTDIR ? ERROR_PATH_NOT_FOUND : error_from_errno(e));
        return FALSE;
    }

    size_t slash = target.find_last_of('/');
    std::string temp = target.substr(0, slash + 1) + ".copy-" + target.substr(slash + 1) + "-XXXXXX";
    int to = mkostemp(temp.data(), O_CLOEXEC);
    if (to < 0) {
        int e = errno;
        close(from);
        SetLastError(e == ENOENT || e == ENOTDIR ? ERROR_PATH_NOT_FOUND : error_from_errno(e));
        return FALSE;
    }

    // Bytes, then the source's permissions (its read-only attribute) and
    // last-write time, then into place.
    struct timespec times[2] = {src.st_atim, src.st_mtim};
    bool ok = copy_bytes(from, to) && fchmod(to, src.st_mode & 07777) == 0 && futimens(to, times) == 0 &&
              fsync(to) == 0;
    int e = errno;
    if (close(to) != 0 && ok) {
        ok = false;
        e = errno;
    }
    close(from);
    if (ok && place(temp, target, bFailIfExists)) return TRUE;
    if (ok) e = errno;
    unlink(temp.c_str());
    SetLastError(e == EEXIST ? ERROR_FILE_EXISTS : error_from_errno(e));
    return FALSE;
}
