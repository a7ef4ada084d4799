#include "trvpafind.h"

#include "core/handles.h"
#include "platform.h"
#include "testsupport/temp_root.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char *kPrefix = "KESTROW_DEVICE_LABS-TRV-PA0";

// One subkey of Drivers\Active, as lines of a registry file; an empty field
// means the value is absent.
struct Driver {
    std::string key;
    std::string pnpId;
    std::string name;
};

std::string registry_with(const std::vector<Driver> &drivers) {
    std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Drivers\\Active]\n\n";
    for (const auto &d : drivers) {
        text += "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\" + d.key + "]\n";
        if (!d.pnpId.empty()) text += "\"PnpId\"=\"" + d.pnpId + "\"\n";
        if (!d.name.empty()) text += "\"Name\"=\"" + d.name + "\"\n";
        text += "\n";
    }
    return text;
}

std::string card(const std::string &model_and_crc = "1-5A3C") { return kPrefix + model_and_crc; }

struct Case {
    const char *what;
    std::vector<Driver> drivers;
    int expected;
};

class FindComPortTest : public ::testing::Test {
protected:
    ce::test::TempRoot root;
};

TEST_F(FindComPortTest, ReadsThePortOfTheFirstMatchingDriver) {
    const Case cases[] = {
        {"no drivers at all", {}, 0},
        {"COM5: gives 5", {{"02", card(), "COM5:"}}, 5},
        {"COM10: gives 10", {{"02", card(), "COM10:"}}, 10},
        {"no colon", {{"02", card(), "COM7"}}, 7},
        {"COM0: cannot be told from no card", {{"02", card(), "COM0:"}}, 0},
        {"nothing after the prefix letters", {{"02", card(), "COM"}}, 0},
        {"colon right after the letters", {{"02", card(), "COM:"}}, 0},
        {"first three characters are not examined", {{"02", card(), "SER3:"}}, 3},
        {"shorter than three bytes", {{"02", card(), "C"}}, 0},
        {"blanks and sign before the digits", {{"02", card(), "COM 12:"}}, 12},
        {"digits stop at a non-digit", {{"02", card(), "COM4x:"}}, 4},
        {"cut after 31 bytes", {{"02", card(), "COM                         12345678:"}}, 123},
        {"too large for an int", {{"02", card(), "COM99999999999:"}}, 0},
        {"any model digit matches", {{"02", card("7-FFFF"), "COM3:"}}, 3},
        {"prefix alone matches", {{"02", kPrefix, "COM6:"}}, 6},
        {"case differs: no match", {{"02", "kestrow_device_labs-trv-pa01", "COM3:"}}, 0},
        {"shorter than the prefix: no match", {{"02", "KESTROW_DEVICE_LABS-TRV-PA", "COM3:"}}, 0},
        {"another card", {{"01", "SOME_MAKER-MODEM-1234", "COM2:"}}, 0},
        {"other drivers are skipped",
         {{"01", "", "COM1:"}, {"02", "SOME_MAKER-MODEM-1234", "COM2:"}, {"03", card(), "COM8:"}}, 8},
        {"first in enumeration order wins", {{"05", card(), "COM5:"}, {"04", card(), "COM4:"}}, 4},
        {"a match without Name is skipped", {{"01", card(), ""}, {"02", card(), "COM9:"}}, 9},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        root.write("system.reg", registry_with(c.drivers));
        size_t handles_before = ce::handle_count();
        EXPECT_EQ(c.expected, FindComPort());
        EXPECT_EQ(handles_before, ce::handle_count()) << "a key was left open";
    }
}

TEST_F(FindComPortTest, MissingKeysAreCreatedEmptyAndGiveZero) {
    EXPECT_EQ(0, FindComPort());
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("Drivers\\Active"), 0, KEY_READ, &key));
    DWORD chars = 16;
    WCHAR name[16];
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
}

// A value stored without its terminator must not borrow the rest of an
// earlier, longer value from the shared buffer.
TEST_F(FindComPortTest, ShortUnterminatedPnpIdDoesNotMatchLeftovers) {
    std::string kest_without_terminator = "hex(1):4b,00,45,00,53,00,54,00";
    root.write("system.reg", "Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\01]\n\"PnpId\"=\"" + card() + "\"\n\n"
                             "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\02]\n\"PnpId\"=" + kest_without_terminator +
                                 "\n\"Name\"=\"COM4:\"\n");
    EXPECT_EQ(0, FindComPort());
}

TEST_F(FindComPortTest, NameFillingTheWholeBufferIsNotReadPast) {
    std::string name = "COM5";
    while (name.size() < 256) name += '0';
    std::string hex;
    for (char c : name) {
        char b[8];
        snprintf(b, sizeof b, "%02x,00,", static_cast<unsigned char>(c));
        hex += b;
    }
    hex.pop_back();
    root.write("system.reg", "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Drivers\\Active\\01]\n"
                             "\"PnpId\"=\"" + card() + "\"\n\"Name\"=hex(1):" + hex + "\n");
    // 27 zeros after COM5 fill the 31 bytes the buffer keeps; reading further
    // would give a number too large for an int, hence 0.
    EXPECT_EQ(0, FindComPort());
}

TEST_F(FindComPortTest, MalformedRegistryGivesZero) {
    root.write("system.reg", "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Drivers\n");
    EXPECT_EQ(0, FindComPort());
}

TEST_F(FindComPortTest, SeesCardsComeAndGo) {
    root.write("system.reg", registry_with({{"03", card(), "COM6:"}}));
    EXPECT_EQ(6, FindComPort());
    HKEY active;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("Drivers\\Active"), 0, 0, &active));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(active, TEXT("03")));
    RegCloseKey(active);
    EXPECT_EQ(0, FindComPort());
}

TEST_F(FindComPortTest, CallsFromManyThreadsAgree) {
    root.write("system.reg", registry_with({{"01", "SOME_MAKER-MODEM-1234", "COM2:"}, {"02", card(), "COM5:"}}));
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i)
                if (FindComPort() != 5) ++wrong;
        });
    for (auto &t : threads) t.join();
    EXPECT_EQ(0, wrong.load());
}

}  // namespace
