#include "platform.h"

#include "registry/store.h"
#include "testsupport/temp_root.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

class RegistryTest : public ::testing::Test {
protected:
    ce::test::TempRoot root;

    HKEY create(const char16_t *path, DWORD *disposition = nullptr) {
        HKEY key = nullptr;
        DWORD d = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &key, &d));
        if (disposition) *disposition = d;
        return key;
    }
    void set_string(HKEY key, const char16_t *name, const std::u16string &text) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                                                static_cast<DWORD>((text.size() + 1) * 2)));
    }
    std::vector<std::u16string> subkeys(HKEY key) {
        std::vector<std::u16string> names;
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD chars = 256;
            LONG r = RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
            if (r == ERROR_NO_MORE_ITEMS) break;
            EXPECT_EQ(ERROR_SUCCESS, r);
            if (r != ERROR_SUCCESS) break;
            names.emplace_back(name, chars);
        }
        return names;
    }
};

TEST_F(RegistryTest, CreateOrOpenMakesMissingKeysAndTellsWhich) {
    DWORD disposition = 0;
    HKEY deep = create(u"Drivers\\Active\\02", &disposition);
    EXPECT_EQ(REG_CREATED_NEW_KEY, static_cast<int>(disposition));
    RegCloseKey(deep);
    HKEY again = create(u"DRIVERS\\active\\02", &disposition);
    EXPECT_EQ(REG_OPENED_EXISTING_KEY, static_cast<int>(disposition));
    RegCloseKey(again);
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"drivers\\ACTIVE", 0, KEY_READ, &key));
    EXPECT_EQ(std::vector<std::u16string>{u"02"}, subkeys(key));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Gone", 0, KEY_READ, &key));
}

TEST_F(RegistryTest, EnumerationIsSortedWithoutRegardToCase) {
    HKEY parent = create(u"Order");
    for (const char16_t *name : {u"b", u"A", u"c", u"B2", u"a1"}) {
        HKEY k;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
        RegCloseKey(k);
    }
    EXPECT_EQ((std::vector<std::u16string>{u"A", u"a1", u"b", u"B2", u"c"}), subkeys(parent));
    RegCloseKey(parent);
}

TEST_F(RegistryTest, EnumerationIntoTooSmallBufferWritesNothing) {
    HKEY parent = create(u"Small\\ABCDE");
    RegCloseKey(parent);
    parent = create(u"Small");
    WCHAR name[8];
    std::fill(std::begin(name), std::end(name), u'#');
    DWORD chars = 5;  // the name needs 5 and its terminator
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(parent, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(5u, chars);
    EXPECT_EQ(u'#', name[0]);
    chars = 6;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExW(parent, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(5u, chars);
    EXPECT_EQ(std::u16string(u"ABCDE"), std::u16string(name));
    EXPECT_EQ(u'#', name[6]);
    chars = 6;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(parent, 1, name, &chars, nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(parent);
}

TEST_F(RegistryTest, ValueReadsFollowThePlatformsBufferRules) {
    HKEY key = create(u"Values");
    set_string(key, u"Name", u"COM5:");  // 12 bytes with the terminator
    BYTE buffer[32];
    DWORD type = 0xdeadbeef, size;

    std::fill(std::begin(buffer), std::end(buffer), 0xAB);
    size = 11;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, u"name", nullptr, &type, buffer, &size));
    EXPECT_EQ(12u, size) << "reports the size needed";
    EXPECT_EQ(0xAB, buffer[0]) << "leaves a too small buffer untouched";

    size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"NAME", nullptr, &type, buffer, &size));
    EXPECT_EQ(12u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::u16string(u"COM5:"), std::u16string(reinterpret_cast<WCHAR *>(buffer)));
    EXPECT_EQ(0xAB, buffer[12]);

    size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"Name", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(12u, size);

    size = 99;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, u"Missing", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(0u, size);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(key, u"Name", nullptr, nullptr, buffer, nullptr));

    // Stored without a terminator: one is added when there is room.
    const WCHAR bare[] = {u'C', u'O', u'M'};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"Bare", 0, REG_SZ, reinterpret_cast<const BYTE *>(bare), 6));
    std::fill(std::begin(buffer), std::end(buffer), 0xAB);
    size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"Bare", nullptr, nullptr, buffer, &size));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(0, buffer[6] | buffer[7]);
    RegCloseKey(key);
}

TEST_F(RegistryTest, EveryTypeSurvivesTheFile) {
    struct Case {
        const char16_t *name;
        DWORD type;
        std::vector<BYTE> data;
        const char *line;  // how the file shows it
    };
    const Case cases[] = {
        {u"Text", REG_SZ, {'h', 0, 'i', 0, 0, 0}, "\"Text\"=\"hi\""},
        {u"Expand", REG_EXPAND_SZ, {'%', 0, 0, 0}, "\"Expand\"=hex(2):25,00,00,00"},
        {u"Bytes", REG_BINARY, {1, 2, 0xFF}, "\"Bytes\"=hex:01,02,ff"},
        {u"Number", REG_DWORD, {0x78, 0x56, 0x34, 0x12}, "\"Number\"=dword:12345678"},
        {u"Multi", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}, "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
        {u"Unterminated", REG_SZ, {'x', 0}, "\"Unterminated\"=hex(1):78,00"},
        {u"Quote\"Back\\", REG_SZ, {'\\', 0, 0, 0}, "\"Quote\\\"Back\\\\\"=\"\\\\\""},
        {u"", REG_DWORD, {1, 0, 0, 0}, "@=dword:00000001"},
    };
    HKEY key = create(u"Types");
    for (const Case &c : cases)
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, c.name, 0, c.type, c.data.data(), static_cast<DWORD>(c.data.size())));
    RegCloseKey(key);

    std::string file = root.read("system.reg");
    // Another process's view: a fresh load of the same file.
    root.write("system.reg.copy", file);
    rename(root.file("system.reg.copy").c_str(), root.file("system.reg").c_str());
    key = create(u"Types");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_NE(std::string::npos, file.find(std::string(c.line) + "\n")) << file;
        BYTE buffer[64];
        DWORD type = 0, size = sizeof buffer;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, c.name, nullptr, &type, buffer, &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.data, std::vector<BYTE>(buffer, buffer + size));
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, BadHandlesAreRefusedNotFollowed) {
    HKEY closed = create(u"Soon\\Closed");
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(closed));
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x12345678));
    for (HKEY bad : {closed, bogus, static_cast<HKEY>(nullptr)}) {
        WCHAR name[16];
        DWORD chars = 16, size = 4;
        BYTE data[4] = {};
        HKEY out;
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(bad));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW(bad, u"x", 0, KEY_READ, &out));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCreateKeyExW(bad, u"x", 0, nullptr, 0, 0, nullptr, &out, nullptr));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyExW(bad, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(bad, u"x", nullptr, nullptr, data, &size));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegSetValueExW(bad, u"x", 0, REG_DWORD, data, 4));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteValueW(bad, u"x"));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteKeyW(bad, u"x"));
    }
    // A port or thread handle is not a key either, nor a key a kernel object.
    HKEY key = create(u"Soon");
    EXPECT_EQ(FALSE, CloseHandle(reinterpret_cast<HANDLE>(key)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(RegistryTest, DeletingKeysAndValues) {
    HKEY key = create(u"Drivers\\Active\\02\\Sub");
    RegCloseKey(key);
    key = create(u"Drivers\\Active");
    HKEY card = create(u"Drivers\\Active\\02");
    set_string(card, u"Name", u"COM5:");
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(card, u"NAME"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(card, u"Name"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key, u"02"));  // with what lies below it
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(key, u"02"));
    EXPECT_TRUE(subkeys(key).empty());
    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(card, u"Name", nullptr, nullptr, nullptr, &size));
    RegCloseKey(card);
    RegCloseKey(key);
}

TEST_F(RegistryTest, ChangesByAnotherProcessAreSeenAtTheNextOpen) {
    HKEY key = create(u"Drivers\\Active");
    RegCloseKey(key);
    root.write("system.reg.new", "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Drivers\\Active\\07]\n"
                                 "\"Name\"=\"COM7:\"\n");
    rename(root.file("system.reg.new").c_str(), root.file("system.reg").c_str());
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Active", 0, KEY_READ, &key));
    EXPECT_EQ(std::vector<std::u16string>{u"07"}, subkeys(key));
    RegCloseKey(key);
}

TEST_F(RegistryTest, ConcurrentWritersInTwoProcessesLoseNothing) {
    HKEY key = create(u"Shared");
    RegCloseKey(key);
    constexpr int kEach = 40;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    const char16_t *mine = child == 0 ? u"child" : u"parent";
    for (int i = 0; i < kEach; ++i) {
        WCHAR name[32];
        wsprintfW(name, u"%s%d", mine, i);
        HKEY k;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Shared", 0, nullptr, 0, 0, nullptr, &k, nullptr) != ERROR_SUCCESS ||
            RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&i), 4) != ERROR_SUCCESS) {
            if (child == 0) _exit(1);
            ADD_FAILURE() << "write " << i << " failed";
        }
        RegCloseKey(k);
    }
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    key = create(u"Shared");
    int count = 0;
    for (DWORD i = 0;; ++i) {
        WCHAR name[64];
        DWORD chars = 64;
        if (RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        ++count;
    }
    EXPECT_EQ(2 * kEach, count);
    RegCloseKey(key);
}

TEST_F(RegistryTest, MalformedFileIsReportedAndNeverOverwritten) {
    const std::string bad =
        "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Drivers]\n\"Name\"=dword:xyz\n";
    root.write("system.reg", bad);
    HKEY key;
    EXPECT_EQ(ERROR_BADDB, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_BADDB, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"New", 0, nullptr, 0, 0, nullptr, &key, nullptr));
    DWORD v = 1;
    EXPECT_EQ(ERROR_BADDB, RegSetValueExW(HKEY_LOCAL_MACHINE, u"x", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4));
    EXPECT_EQ(bad, root.read("system.reg"));
    std::string error = ce::reg::load_error();
    EXPECT_NE(std::string::npos, error.find(root.file("system.reg") + ":4:")) << error;
    EXPECT_NE(std::string::npos, error.find("xyz")) << error;
}

TEST_F(RegistryTest, ReadsUtf16FilesWithByteOrderMark) {
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Drivers\\Active\\01]\r\n"
                          u"\"PnpId\"=\"カード\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    root.write("system.reg", bytes);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Active\\01", 0, KEY_READ, &key));
    WCHAR value[16];
    DWORD size = sizeof value;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"PnpId", nullptr, nullptr, reinterpret_cast<BYTE *>(value), &size));
    EXPECT_EQ(std::u16string(u"カード"), std::u16string(value));
    RegCloseKey(key);
}

TEST_F(RegistryTest, AnsiFormsSpeakThePcsCodePage) {
    HKEY key = create(u"SOFTWARE\\Microsoft\\Windows CE Services");
    set_string(key, u"InstalledDir", u"C:\\Program Files\\同期");
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows CE Services", 0, KEY_READ, &key));
    char dir[64];
    DWORD size = 10;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "InstalledDir", nullptr, nullptr, reinterpret_cast<BYTE *>(dir), &size));
    std::string expected = "C:\\Program Files\\\xE5\x90\x8C\xE6\x9C\x9F";
    EXPECT_EQ(expected.size() + 1, size);
    size = sizeof dir;
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "InstalledDir", nullptr, &type, reinterpret_cast<BYTE *>(dir), &size));
    EXPECT_EQ(expected, std::string(dir));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    RegCloseKey(key);
}

}  // namespace
