// Resources compiled from resource_test.rc into this test program, found and
// read through the platform's functions.
#include "platform.h"
#include "core/codepage.h"
#include "resource/modules.h"
#include "testsupport/temp_root.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

const DWORD kUntouched = 0xdeadbeef;

std::string hex_bytes(const std::string &s) {
    std::string out;
    char b[4];
    for (unsigned char c : s) {
        snprintf(b, sizeof b, "%02x ", c);
        out += b;
    }
    return out;
}

// Sets CE_CODEPAGE for one test and puts the old value back.
class CodePage {
public:
    explicit CodePage(const char *cp) {
        const char *old = getenv("CE_CODEPAGE");
        had_ = old != nullptr;
        if (old) old_ = old;
        if (cp) setenv("CE_CODEPAGE", cp, 1);
        else unsetenv("CE_CODEPAGE");
    }
    ~CodePage() {
        if (had_) setenv("CE_CODEPAGE", old_.c_str(), 1);
        else unsetenv("CE_CODEPAGE");
    }

private:
    bool had_ = false;
    std::string old_;
};

std::string self_path() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::u16string widen(const std::string &s) { return std::u16string(s.begin(), s.end()); }

TEST(FindResource, FindsByNumberNameAndTypeOrSaysWhatIsMissing) {
    HMODULE self = GetModuleHandleW(nullptr);
    ASSERT_NE(self, nullptr);
    HMODULE library = GetModuleHandleW(u"platform");  // loaded, but has no resources
    ASSERT_NE(library, nullptr);
    ASSERT_NE(library, self);
    struct Case {
        const char *what;
        HMODULE module;
        LPCWSTR name;
        LPCWSTR type;
        DWORD size;  // 0: expected not to be found
        DWORD error;
    };
    const Case cases[] = {
        {"dialog by number", self, MAKEINTRESOURCE(103), RT_DIALOG, 0x92, 0},
        {"dialog, NULL module", nullptr, MAKEINTRESOURCE(103), RT_DIALOG, 0x92, 0},
        {"dialog by #number", self, u"#103", RT_DIALOG, 0x92, 0},
        {"named, other case", self, u"settings", RT_RCDATA, 3, 0},
        {"named, as written", self, u"Settings", RT_RCDATA, 3, 0},
        {"named type and name", self, u"Settings", u"#10", 3, 0},
        {"version", self, MAKEINTRESOURCE(VS_VERSION_INFO), RT_VERSION, 0, 0},
        {"no such dialog", self, MAKEINTRESOURCE(104), RT_DIALOG, 0, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"no such name", self, u"Setting", RT_RCDATA, 0, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"no such type", self, MAKEINTRESOURCE(103), RT_MENU, 0, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"library without resources", library, MAKEINTRESOURCE(103), RT_DIALOG, 0, ERROR_RESOURCE_DATA_NOT_FOUND},
        {"invented module", reinterpret_cast<HMODULE>(0x1230), MAKEINTRESOURCE(103), RT_DIALOG, 0,
         ERROR_INVALID_HANDLE},
        {"no name", self, nullptr, RT_DIALOG, 0, ERROR_INVALID_PARAMETER},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(kUntouched);
        HRSRC found = FindResourceW(c.module, c.name, c.type);
        if (c.error) {
            EXPECT_EQ(found, nullptr);
            EXPECT_EQ(GetLastError(), c.error);
            continue;
        }
        ASSERT_NE(found, nullptr) << "last error " << GetLastError();
        EXPECT_EQ(GetLastError(), kUntouched);
        if (c.size) {
            EXPECT_EQ(SizeofResource(c.module, found), c.size);
        }
        EXPECT_NE(LockResource(LoadResource(c.module, found)), nullptr);
    }
}

TEST(FindResource, DialogTemplateBytesAreWhatTheScriptSays) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCE(103), RT_DIALOG);
    ASSERT_NE(found, nullptr);
    const auto *t = static_cast<const unsigned char *>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(t, nullptr);
    DWORD style;
    memcpy(&style, t, 4);
    EXPECT_EQ(style, 0x80C80040u) << "STYLE plus the font style that FONT adds";
    WORD count, cx, cy;
    memcpy(&count, t + 8, 2);
    memcpy(&cx, t + 14, 2);
    memcpy(&cy, t + 16, 2);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(cx, 119);
    EXPECT_EQ(cy, 126);
    // No menu, no class, then the caption.
    std::u16string caption(reinterpret_cast<const char16_t *>(t + 22));
    EXPECT_EQ(caption, u" COM Port Setting");
    EXPECT_EQ(FreeResource(LoadResource(nullptr, found)), FALSE);

    // A template handed on as a bare pointer is still bounded by its resource.
    DWORD size = SizeofResource(nullptr, found);
    EXPECT_EQ(ce::resource_bytes_at(t), size);
    EXPECT_EQ(ce::resource_bytes_at(t + 10), size - 10);
    EXPECT_EQ(ce::resource_bytes_at(t + size), 0u);
    EXPECT_EQ(ce::resource_bytes_at(&size), 0u);
}

TEST(FindResource, HandlesNotGivenOutByTheModuleAreRefused) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC dialog = FindResourceW(self, MAKEINTRESOURCE(103), RT_DIALOG);
    ASSERT_NE(dialog, nullptr);
    HMODULE library = GetModuleHandleW(u"libplatform.so");
    int local = 0;
    struct Case {
        const char *what;
        HMODULE module;
        HRSRC handle;
    };
    const Case cases[] = {
        {"invented handle", self, reinterpret_cast<HRSRC>(&local)},
        {"null handle", self, nullptr},
        {"another module's handle", library, dialog},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(kUntouched);
        EXPECT_EQ(SizeofResource(c.module, c.handle), 0u);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(LoadResource(c.module, c.handle), nullptr);
    }
}

TEST(LoadStringW, CopiesCutsAndTerminates) {
    struct Case {
        UINT id;
        int size;
        std::u16string text;
        int result;
    };
    const Case cases[] = {
        {1, 100, u"Hello", 5},
        {1, 6, u"Hello", 5},
        {1, 5, u"Hell", 4},
        {1, 1, u"", 0},
        {17, 100, u"Second block", 12},
        {65535, 100, u"Last", 4},
        {103, 100, u"Setup", 5},
        {115, 100, u"インストールに失敗しました。（iniファイル）", 23},
        {115, 4, u"インス", 3},
        // A surrogate pair is kept whole or left out whole.
        {3, 100, u"A😀B", 4},
        {3, 4, u"A😀", 3},
        {3, 3, u"A", 1},
        // Missing strings: no such string in a present block, an absent block.
        {2, 100, u"", 0},
        {0, 100, u"", 0},
        {200, 100, u"", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("string " + std::to_string(c.id) + ", buffer " + std::to_string(c.size));
        WCHAR buffer[104];
        for (WCHAR &w : buffer) w = u'#';
        int n = LoadStringW(nullptr, c.id, buffer, c.size);
        EXPECT_EQ(n, c.result);
        EXPECT_EQ(std::u16string(buffer), c.text);
        for (int i = c.size; i < 104; ++i) ASSERT_EQ(buffer[i], u'#') << "written past the buffer at " << i;
    }
}

TEST(LoadStringW, SizeZeroGivesAReadOnlyPointerToTheString) {
    const WCHAR *text = nullptr;
    int n = LoadStringW(GetModuleHandleW(nullptr), 115, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_EQ(n, 23);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text, 23), u"インストールに失敗しました。（iniファイル）");

    text = u"sentinel";
    EXPECT_EQ(LoadStringW(nullptr, 2, reinterpret_cast<LPWSTR>(&text), 0), 0);
    EXPECT_EQ(text, nullptr);
}

TEST(LoadStringA, ConvertsToThePcCodePageAndNeverEndsInHalfACharacter) {
    const std::string ini_utf8 = "インストールに失敗しました。（iniファイル）";
    const std::string ini_932 =
        "\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5b\x83\x8b\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd"
        "\x81\x42\x81\x69\x69\x6e\x69\x83\x74\x83\x40\x83\x43\x83\x8b\x81\x6a";
    const std::string cab_932 =
        "\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5b\x83\x8b\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd"
        "\x81\x42\x81\x69\x43\x41\x42\x83\x74\x83\x40\x83\x43\x83\x8b\x81\x6a";
    struct Case {
        const char *codepage;
        UINT id;
        int size;
        std::string bytes;
    };
    const Case cases[] = {
        {nullptr, 115, 100, ini_utf8},
        {"65001", 116, 100, "インストールに失敗しました。（CABファイル）"},
        {nullptr, 115, 64, ini_utf8},
        {nullptr, 115, 63, ini_utf8.substr(0, 60)},  // "）" needs 3 bytes, 2 are left
        {nullptr, 115, 10, ini_utf8.substr(0, 9)},
        {nullptr, 115, 9, ini_utf8.substr(0, 6)},
        {nullptr, 115, 3, ""},
        {nullptr, 1, 100, "Hello"},
        {nullptr, 1, 3, "He"},
        {nullptr, 3, 100, "A\xf0\x9f\x98\x80" "B"},
        {nullptr, 3, 5, "A"},
        {nullptr, 2, 100, ""},
        {"932", 115, 100, ini_932},
        {"932", 116, 100, cab_932},
        {"932", 115, 44, ini_932},
        {"932", 115, 43, ini_932.substr(0, 41)},  // "）" needs 2 bytes
        {"932", 115, 32, ini_932.substr(0, 31)},  // ends on the single-byte "i"
        {"932", 115, 31, ini_932.substr(0, 30)},
        {"932", 115, 30, ini_932.substr(0, 28)},  // not 29: that would split "（"
        {"932", 115, 2, ""},
        {"932", 1, 100, "Hello"},
        {"932", 3, 100, "A?B"},  // no form in code page 932
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("code page ") + (c.codepage ? c.codepage : "default") + ", string " +
                     std::to_string(c.id) + ", buffer " + std::to_string(c.size));
        CodePage cp(c.codepage);
        char buffer[104];
        memset(buffer, '#', sizeof buffer);
        int n = LoadStringA(nullptr, c.id, buffer, c.size);
        EXPECT_EQ(n, static_cast<int>(c.bytes.size()));
        ASSERT_LT(c.bytes.size(), sizeof buffer);
        std::string got(buffer, strnlen(buffer, sizeof buffer));
        EXPECT_EQ(hex_bytes(got), hex_bytes(c.bytes));
        for (size_t i = static_cast<size_t>(c.size); i < sizeof buffer; ++i)
            ASSERT_EQ(buffer[i], '#') << "written past the buffer at " << i;
    }
}

TEST(LoadString, BadArgumentsAreRefused) {
    char narrow[4];
    SetLastError(kUntouched);
    EXPECT_EQ(LoadStringA(nullptr, 1, narrow, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(kUntouched);
    EXPECT_EQ(LoadStringA(nullptr, 1, nullptr, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(kUntouched);
    EXPECT_EQ(LoadStringW(nullptr, 1, nullptr, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

void expect_version_block(const void *block) {
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block, u"\\", reinterpret_cast<LPVOID *>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00030004u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00050006u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00070008u);

    struct Case {
        std::u16string path;
        std::u16string text;  // empty: a binary value
        UINT length;
    };
    const Case found[] = {
        {u"\\StringFileInfo\\041104B0\\FileVersion", u"1, 2, 3, 4", 11},
        {u"\\stringfileinfo\\041104b0\\productname", u"Resource test", 14},
        {u"\\VarFileInfo\\Translation", u"", 4},
    };
    for (const Case &c : found) {
        SCOPED_TRACE(ce::to_utf8(c.path));
        LPVOID value = nullptr;
        length = 0;
        ASSERT_TRUE(VerQueryValueW(block, c.path.c_str(), &value, &length));
        EXPECT_EQ(length, c.length);
        if (!c.text.empty()) {
            EXPECT_EQ(std::u16string(static_cast<const char16_t *>(value)), c.text);
        } else {
            WORD pair[2];
            memcpy(pair, value, 4);
            EXPECT_EQ(pair[0], 0x411);
            EXPECT_EQ(pair[1], 1200);
        }
    }
    for (const char16_t *missing : {u"\\StringFileInfo\\040904B0\\FileVersion", u"\\VarFileInfo\\Nothing",
                                    u"\\StringFileInfo\\041104B0\\FileVersion\\More"}) {
        SCOPED_TRACE(ce::to_utf8(missing));
        LPVOID value = nullptr;
        EXPECT_FALSE(VerQueryValueW(block, missing, &value, &length));
    }
}

TEST(Version, ReadFromTheModulesOwnResource) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCE(VS_VERSION_INFO), RT_VERSION);
    ASSERT_NE(found, nullptr);
    expect_version_block(LockResource(LoadResource(nullptr, found)));
}

TEST(Version, ReadFromTheProgramFile) {
    std::u16string self = widen(self_path());
    DWORD handle = kUntouched;
    DWORD size = GetFileVersionInfoSizeW(self.c_str(), &handle);
    ASSERT_GT(size, 52u) << "last error " << GetLastError();
    EXPECT_EQ(handle, 0u);
    std::string block(size + 8, '\xee');
    SetLastError(kUntouched);
    EXPECT_FALSE(GetFileVersionInfoW(self.c_str(), 0, size - 1, block.data()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(block[0], '\xee') << "a refused copy writes nothing";
    ASSERT_TRUE(GetFileVersionInfoW(self.c_str(), 0, size, block.data()));
    EXPECT_EQ(block.substr(size), std::string(8, '\xee'));
    expect_version_block(block.data());
}

TEST(Version, FilesWithoutVersionInformation) {
    ce::test::TempRoot root;
    root.write("plain.txt", "not a program");
    struct Case {
        std::string path;
        DWORD error;
    };
    const Case cases[] = {
        {root.file("missing.dll"), ERROR_FILE_NOT_FOUND},
        {root.file("plain.txt"), ERROR_RESOURCE_DATA_NOT_FOUND},
        {"/bin/sh", ERROR_RESOURCE_DATA_NOT_FOUND},  // a program built without resources
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        SetLastError(kUntouched);
        EXPECT_EQ(GetFileVersionInfoSizeW(widen(c.path).c_str(), nullptr), 0u);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST(Modules, ProgramAndLibraryInstancesAreTheirLoadAddresses) {
    HMODULE self = GetModuleHandleW(nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), self);
    // The program's own code lies after its load address, the library's after its.
    EXPECT_LE(reinterpret_cast<uintptr_t>(self), reinterpret_cast<uintptr_t>(&self_path));
    HMODULE library = GetModuleHandleW(u"platform.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_LE(reinterpret_cast<uintptr_t>(library), reinterpret_cast<uintptr_t>(&LoadStringW));
    EXPECT_EQ(GetModuleHandleA("libplatform.so"), library);
    SetLastError(kUntouched);
    EXPECT_EQ(GetModuleHandleW(u"nosuchlibrary"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
