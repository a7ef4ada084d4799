// The cecard command, run as its own process against a temporary machine root.
#include "platform.h"
#include "sync/child.h"
#include "testsupport/pty_pair.h"
#include "testsupport/temp_root.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using ce::test::Child;
using ce::test::TempRoot;

std::string findcomport() {
    Child c({FINDCOMPORT});
    std::string line = c.read_line();
    c.wait();
    return line;
}

std::vector<std::string> card_list() {
    Child c({CECARD, "list"});
    std::vector<std::string> lines;
    for (std::string line = c.read_line(); !line.empty(); line = c.read_line()) lines.push_back(line);
    c.wait();
    return lines;
}

int run(const std::vector<std::string> &args) {
    std::vector<std::string> argv{CECARD};
    argv.insert(argv.end(), args.begin(), args.end());
    Child c(argv);
    return c.wait();
}

// The active driver whose Name is `name`: its PnpId, or "" when there is none.
std::string active_pnp_id(const char16_t *name) {
    HKEY active;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Active", 0, KEY_READ, &active) != ERROR_SUCCESS) return "";
    std::string found;
    for (DWORD i = 0;; ++i) {
        WCHAR sub[64];
        DWORD chars = 64;
        if (RegEnumKeyExW(active, i, sub, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY key;
        if (RegOpenKeyExW(active, sub, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        WCHAR value[128] = {};
        DWORD size = sizeof value - 2;
        if (RegQueryValueExW(key, u"Name", nullptr, nullptr, reinterpret_cast<BYTE *>(value), &size) ==
                ERROR_SUCCESS &&
            std::u16string(value) == name) {
            WCHAR id[128] = {};
            size = sizeof id - 2;
            RegQueryValueExW(key, u"PnpId", nullptr, nullptr, reinterpret_cast<BYTE *>(id), &size);
            for (const WCHAR *p = id; *p; ++p) found += static_cast<char>(*p);
        }
        RegCloseKey(key);
    }
    RegCloseKey(active);
    return found;
}

TEST(Cecard, ServesAPseudoTerminalCardThatComesAndGoes) {
    TempRoot root;
    EXPECT_EQ(findcomport(), "0");
    Child card({CECARD, "insert", "--pty", "--com", "3", "--print-path"});
    std::string path = card.read_line();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << "printed path: " << path;
    EXPECT_EQ(findcomport(), "3");
    std::string id = active_pnp_id(u"COM3:");
    EXPECT_EQ(id.rfind("KESTROW_DEVICE_LABS-TRV-PA01-", 0), 0u) << id;
    EXPECT_EQ(id.size(), std::string("KESTROW_DEVICE_LABS-TRV-PA01-").size() + 4) << id;

    // The port opens and the far end echoes.
    HANDLE h = CreateFileW(u"COM3:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "ping\0pong", 9, &n, nullptr));
    char back[9] = {};
    ASSERT_TRUE(ReadFile(h, back, 9, &n, nullptr));
    EXPECT_EQ(std::string(back, 9), std::string("ping\0pong", 9));
    CloseHandle(h);

    card.kill_now(SIGTERM);
    EXPECT_EQ(card.wait(), 0);
    EXPECT_EQ(findcomport(), "0");
    EXPECT_EQ(active_pnp_id(u"COM3:"), "");
    EXPECT_TRUE(card_list().empty());
    h = CreateFileW(u"COM3:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(Cecard, PutsACardOnAnExistingTtyUntilRemoved) {
    TempRoot root;
    ce::test::PtyPair line(ce::test::PtyPair::Peer::Echo);
    const std::string id = "KESTROW_DEVICE_LABS-TRV-PA02-ABCD";
    ASSERT_EQ(run({"insert", "--tty", line.path(), "--id", id}), 0);
    EXPECT_EQ(findcomport(), "1") << "the lowest free number is COM1";
    EXPECT_EQ(active_pnp_id(u"COM1:"), id);
    std::vector<std::string> cards = card_list();
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0], "COM1 " + id + " " + line.path() + " 0");

    // COM1 is taken now; the next card goes elsewhere.
    EXPECT_EQ(run({"insert", "--tty", line.path(), "--com", "1"}), 1);
    ASSERT_EQ(run({"insert", "--tty", line.path(), "--id", "OTHER_MAKER-MODEM-0001"}), 0);
    EXPECT_EQ(active_pnp_id(u"COM2:"), "OTHER_MAKER-MODEM-0001");
    EXPECT_EQ(findcomport(), "1");

    EXPECT_EQ(run({"remove", "--com", "1"}), 0);
    EXPECT_EQ(findcomport(), "0");
    EXPECT_EQ(run({"remove", "--com", "1"}), 1) << "removing twice";
    EXPECT_EQ(card_list().size(), 1u);
}

TEST(Cecard, CardOfAKilledServerIsClearedByTheNextInsert) {
    TempRoot root;
    {
        Child card({CECARD, "insert", "--pty", "--print-path"});
        ASSERT_FALSE(card.read_line().empty());
        card.kill_now(SIGKILL);
        card.wait();
    }
    EXPECT_EQ(findcomport(), "1") << "a killed server cannot clean up";
    Child card({CECARD, "insert", "--pty", "--print-path"});
    ASSERT_FALSE(card.read_line().empty());
    EXPECT_EQ(findcomport(), "1") << "the stale card's number was not given back";
    EXPECT_EQ(card_list().size(), 1u);
    card.kill_now(SIGINT);
    EXPECT_EQ(card.wait(), 0);
    EXPECT_TRUE(card_list().empty());
}

TEST(Cecard, RefusesBadCommandLines) {
    TempRoot root;
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"dance"},
        {"insert"},
        {"insert", "--pty", "--tty", "/dev/null"},
        {"insert", "--pty", "--com", "0"},
        {"insert", "--pty", "--com", "256"},
        {"insert", "--pty", "--com", "x"},
        {"insert", "--pty", "--id", "with space"},
        {"insert", "--pty", "--id", ""},
        {"insert", "--tty", "/dev/null", "--echo"},
        {"insert", "--pty", "--frobnicate"},
        {"remove"},
        {"list", "extra"},
    };
    for (const auto &args : cases) {
        std::string joined;
        for (const std::string &a : args) joined += "'" + a + "' ";
        SCOPED_TRACE(joined);
        EXPECT_EQ(run(args), 2);
    }
    EXPECT_EQ(run({"insert", "--tty", "/dev/no-such-device"}), 1);
    EXPECT_TRUE(card_list().empty());
    EXPECT_EQ(run({"--help"}), 0);
}

}  // namespace
