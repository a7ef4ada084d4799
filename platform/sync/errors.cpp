#include "sync/errors.h"

#include <cerrno>

namespace ce {

DWORD error_from_errno(int err) {
    switch (err) {
    case 0: return ERROR_GEN_FAILURE;  // a failure with no reason is still a failure
    case ENOENT:
    case ENXIO:
    case ENODEV: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
    case EWOULDBLOCK: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EIO: return ERROR_DEVICE_NOT_CONNECTED;
    case ENOTTY: return ERROR_INVALID_FUNCTION;  // a device call on something that is not that device
    case EPIPE: return ERROR_BROKEN_PIPE;
    case ENOSPC: return ERROR_WRITE_FAULT;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case ENOTSUP: return ERROR_NOT_SUPPORTED;
    default: return ERROR_GEN_FAILURE;
    }
}

void set_last_error_from_errno() { SetLastError(error_from_errno(errno)); }

}  // namespace ce
