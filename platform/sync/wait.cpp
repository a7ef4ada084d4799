// WaitForSingleObject: each kind of object knows how it is waited on.
#include "ce/sync.h"
#include "core/handles.h"

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::shared_ptr<ce::Object> object = ce::handle_lookup_any(hHandle);
    if (!object || object->kind == ce::ObjectKind::RegistryKey) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->wait(dwMilliseconds);
}
