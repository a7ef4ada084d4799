// A library's instance names the library's own resources, from the moment it
// is loaded until it is unloaded, and loading and unloading libraries while
// other threads read resources is safe.
#include "platform.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

const DWORD kUntouched = 0xdeadbeef;

std::u16string load_string(HINSTANCE instance, UINT id) {
    WCHAR buffer[64];
    LoadStringW(instance, id, buffer, 64);
    return buffer;
}

TEST(LibraryResources, EachInstanceReachesItsOwnModule) {
    void *library = dlopen(CE_TEST_LIBRARY, RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    HMODULE program = GetModuleHandleW(nullptr);
    HMODULE own = GetModuleHandleW(u"resource_test_library");
    ASSERT_NE(own, nullptr);
    EXPECT_NE(own, program);
    EXPECT_LE(reinterpret_cast<uintptr_t>(own), reinterpret_cast<uintptr_t>(dlsym(library, "resource_library_marker")));

    struct Case {
        HMODULE module;
        UINT id;
        std::u16string text;
    };
    const Case cases[] = {
        {program, 1, u"Hello"},
        {nullptr, 1, u"Hello"},
        {own, 1, u"Hello from the library"},
        {own, 40, u"ライブラリ"},
        {own, 115, u""},  // the program's string is not the library's
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("string " + std::to_string(c.id));
        EXPECT_EQ(load_string(c.module, c.id), c.text);
    }
    HRSRC settings = FindResourceW(own, u"SETTINGS", RT_RCDATA);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(std::string(static_cast<const char *>(LockResource(LoadResource(own, settings))),
                          SizeofResource(own, settings)),
              "library");
    EXPECT_EQ(SizeofResource(program, settings), 0u) << "a handle of the library is not the program's";

    ASSERT_EQ(dlclose(library), 0);
    SetLastError(kUntouched);
    EXPECT_EQ(FindResourceW(own, u"SETTINGS", RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "the library is gone";
}

TEST(LibraryResources, LoadingAndUnloadingWhileOtherThreadsRead) {
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!stop.load(std::memory_order_acquire)) {
                if (load_string(nullptr, 1) != u"Hello") wrong.fetch_add(1);
                if (!FindResourceW(nullptr, MAKEINTRESOURCE(103), RT_DIALOG)) wrong.fetch_add(1);
            }
        });
    }
    for (int round = 0; round < 50; ++round) {
        void *library = dlopen(CE_TEST_LIBRARY, RTLD_NOW);
        ASSERT_NE(library, nullptr) << dlerror();
        EXPECT_EQ(load_string(GetModuleHandleW(u"resource_test_library"), 1), u"Hello from the library");
        dlclose(library);
    }
    stop.store(true, std::memory_order_release);
    for (std::thread &t : readers) t.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
