#include "platform.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(LocalHeap, ZeroInitFillsEveryByteEvenWhereMemoryWasUsedBefore) {
    for (UINT flags : {static_cast<UINT>(LMEM_ZEROINIT), static_cast<UINT>(LPTR)}) {
        for (SIZE_T size : {SIZE_T{1}, SIZE_T{256}, SIZE_T{4096}, SIZE_T{1} << 20}) {
            SCOPED_TRACE(testing::Message() << "flags " << flags << " size " << size);
            // Dirty the heap with blocks of the same size first.
            HLOCAL dirty = LocalAlloc(LMEM_FIXED, size);
            ASSERT_NE(dirty, nullptr);
            memset(dirty, 0xA5, size);
            LocalFree(dirty);
            auto *block = static_cast<unsigned char *>(LocalAlloc(flags, size));
            ASSERT_NE(block, nullptr);
            SIZE_T nonzero = 0;
            for (SIZE_T i = 0; i < size; ++i) nonzero += block[i] != 0;
            EXPECT_EQ(nonzero, 0u);
            EXPECT_EQ(LocalFree(block), nullptr);
        }
    }
}

TEST(LocalHeap, BlockAllocatedOnOneThreadIsFreedOnAnother) {
    struct Pass {
        HLOCAL block;
        HLOCAL result;
    } pass{LocalAlloc(LPTR, 256), reinterpret_cast<HLOCAL>(1)};
    ASSERT_NE(pass.block, nullptr);
    memcpy(pass.block, "chunk", 5);
    HANDLE t = CreateThread(
        nullptr, 0,
        [](LPVOID arg) -> DWORD {
            auto *p = static_cast<Pass *>(arg);
            DWORD ok = memcmp(p->block, "chunk", 5) == 0;
            p->result = LocalFree(p->block);
            return ok;
        },
        &pass, 0, nullptr);
    WaitForSingleObject(t, INFINITE);
    DWORD ok = 0;
    GetExitCodeThread(t, &ok);
    CloseHandle(t);
    EXPECT_EQ(ok, 1u);
    EXPECT_EQ(pass.result, nullptr);
}

TEST(LocalHeap, EdgesOfAllocationAndRelease) {
    HLOCAL empty = LocalAlloc(LPTR, 0);
    EXPECT_NE(empty, nullptr) << "a block of 0 bytes is still a block";
    HLOCAL other = LocalAlloc(LPTR, 0);
    EXPECT_NE(empty, other);
    LocalFree(empty);
    LocalFree(other);
    EXPECT_EQ(LocalFree(nullptr), nullptr);

    SetLastError(0);
    EXPECT_EQ(LocalAlloc(LMEM_MOVEABLE, 16), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_EQ(LocalAlloc(LPTR, ~SIZE_T{0} / 2), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

}  // namespace
