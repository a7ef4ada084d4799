#include "registry/hive.h"

#include "ce/registry.h"

#include <gtest/gtest.h>

namespace {

using ce::reg::Key;

TEST(HiveParse, ErrorsNameTheLineAndChangeNothing) {
    struct Case {
        const char *text;
        int line;
        const char *says;
    };
    const std::string h = "Windows Registry Editor Version 5.00\n\n";
    const Case cases[] = {
        {"", 1, "empty file"},
        {"REGEDIT5\n", 1, "not a registry file"},
        {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n", 2, "unknown root key 'HKEY_CURRENT_USER'"},
        {"Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\X\n", 3, "without closing ']'"},
        {"Windows Registry Editor Version 5.00\n\"Orphan\"=\"x\"\n", 2, "outside of a key"},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=dword:123456789\n", 3, "malformed dword"},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=hex:1,zz\n", 3, "malformed hex byte 'zz'"},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=hex:01,\\\n  02 03\n", 3, "expected ','"},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=\"open\n", 3, "not closed"},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=qword:1\n", 3, "unknown value data"},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\" \"x\"\n", 3, "expected '='"},
        {"Windows Registry Editor Version 5.00\n[HKLM\\A]\nstray\n", 3, "unrecognised line 'stray'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        Key root;
        ASSERT_TRUE(ce::reg::parse(h + "[HKLM\\Kept]\n\"v\"=dword:1\n", root, nullptr));
        ce::reg::ParseError e;
        EXPECT_FALSE(ce::reg::parse(c.text, root, &e));
        EXPECT_EQ(c.line, e.line);
        EXPECT_NE(std::string::npos, e.message.find(c.says)) << e.message;
        EXPECT_EQ(1u, root.subkeys.size()) << "a failed parse must leave the tree as it was";
        EXPECT_EQ(1u, root.subkeys.begin()->second->values.size());
    }
}

TEST(HiveParse, ImportsDeletionsContinuationsAndComments) {
    Key root;
    ASSERT_TRUE(ce::reg::parse("Windows Registry Editor Version 5.00\n"
                               "[HKEY_LOCAL_MACHINE\\A\\B]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
                               "[HKEY_LOCAL_MACHINE\\C]\n",
                               root, nullptr));
    ASSERT_TRUE(ce::reg::parse("Windows Registry Editor Version 5.00\r\n"
                               "; a comment\r\n"
                               "[-HKEY_LOCAL_MACHINE\\C]\r\n"
                               "[HKEY_LOCAL_MACHINE\\a\\b]\r\n\"X\"=-\r\n"
                               "\"bin\"=hex:01,02,\\\r\n   03\r\n",
                               root, nullptr));
    Key *b = ce::reg::find(root, {u"A", u"B"});
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(nullptr, ce::reg::find(root, {u"C"}));
    EXPECT_EQ(0u, b->values.count(u"X"));
    ASSERT_EQ(1u, b->values.count(u"BIN"));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), b->values[u"BIN"].data);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), b->values[u"BIN"].type);
}

TEST(HivePrint, RoundTripKeepsEveryByteAndEmptyKeys) {
    Key root;
    ASSERT_TRUE(ce::reg::parse("Windows Registry Editor Version 5.00\n[HKLM\\Empty\\Leaf]\n[HKLM\\V]\n", root, nullptr));
    Key *v = ce::reg::find(root, {u"V"});
    std::vector<uint8_t> long_binary(200);
    for (size_t i = 0; i < long_binary.size(); ++i) long_binary[i] = static_cast<uint8_t>(i * 7);
    v->values[u"LONG"] = {u"Long", REG_BINARY, long_binary};
    v->values[u"NEWLINE"] = {u"Newline", REG_SZ, {'a', 0, '\n', 0, 0, 0}};
    v->values[u"ODD"] = {u"Odd", REG_SZ, {'a', 0, 'b'}};
    v->values[u"JAPANESE"] = {u"Japanese", REG_SZ, {0xC9, 0x30, 0xFC, 0x30, 0, 0}};  // "ドー" in UTF-16LE
    v->values[u"BIG"] = {u"Big", 0x1234, {9}};
    std::string text = ce::reg::print(root);
    Key again;
    ASSERT_TRUE(ce::reg::parse(text, again, nullptr)) << text;
    EXPECT_EQ(text, ce::reg::print(again));
    EXPECT_NE(nullptr, ce::reg::find(again, {u"Empty", u"Leaf"}));
    for (const auto &[name, value] : v->values) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        const auto &copy = ce::reg::find(again, {u"V"})->values.at(name);
        EXPECT_EQ(value.type, copy.type);
        EXPECT_EQ(value.data, copy.data);
        EXPECT_EQ(value.name, copy.name);
    }
    EXPECT_NE(std::string::npos, text.find("\"Japanese\"=\"\xE3\x83\x89\xE3\x83\xBC\"")) << text;
}

}  // namespace
