// The local heap: fixed blocks from the C library's heap, which any thread
// may free.
#include "ce/sync.h"

#include <cstdlib>
#include <cstring>

HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    if (uFlags & ~static_cast<UINT>(LMEM_FIXED | LMEM_ZEROINIT)) {
        SetLastError(ERROR_INVALID_PARAMETER);  // movable blocks are not supported
        return nullptr;
    }
    // The handheld's address space is 32 bits: no block reaches 2 GiB.
    if (uBytes > 0x7FFFFFFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // A block of 0 bytes is still a distinct block, as on the platform.
    size_t size = uBytes == 0 ? 1 : uBytes;
    void *block = (uFlags & LMEM_ZEROINIT) ? calloc(1, size) : malloc(size);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return block;
}

HLOCAL LocalFree(HLOCAL hMem) {
    free(hMem);
    return nullptr;
}
