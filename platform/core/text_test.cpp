#include "platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Sets CE_CODEPAGE for one scope.
class CodePage {
public:
    explicit CodePage(const char *cp) { setenv("CE_CODEPAGE", cp, 1); }
    ~CodePage() { unsetenv("CE_CODEPAGE"); }
};

struct ToNarrowCase {
    const char *codepage;
    std::u16string wide;
    size_t count;
    std::string bytes;  // what lands in the buffer
    size_t result;
    bool terminated;
};

TEST(WideToNarrow, StopsAtTheCountNeverHalfACharacter) {
    const ToNarrowCase cases[] = {
        {"65001", u"COM5:", 32, "COM5:", 5, true},
        {"65001", u"COM5:", 5, "COM5:", 5, false},  // no room for the terminator
        {"65001", u"COM5:", 3, "COM", 3, false},
        {"65001", u"aé", 2, "a", 1, false},        // é needs two bytes
        {"65001", u"aé", 3, "a\xC3\xA9", 3, false},
        {"65001", u"😀", 4, "\xF0\x9F\x98\x80", 4, false},  // a surrogate pair is one character
        {"1252", u"aé€", 8, "a\xE9\x80", 3, true},
        {"1252", u"\u0081\u009D", 8, "\x81\x9D", 2, true},
        {"932", u"Aカナ", 4, "A\x83\x4A", 3, false},  // the second kana would not fit
        {"932", u"Aカナ", 8, "A\x83\x4A\x83\x69", 5, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.codepage) + " count " + std::to_string(c.count));
        CodePage cp(c.codepage);
        char buffer[16];
        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(c.result, wcstombs(buffer, c.wide.c_str(), c.count));
        EXPECT_EQ(c.bytes, std::string(buffer, c.bytes.size()));
        EXPECT_EQ(c.terminated ? '\0' : '#', buffer[c.bytes.size()]);
    }
}

TEST(WideToNarrow, SizeQueryAndUnconvertibleText) {
    CodePage cp("1252");
    EXPECT_EQ(3u, wcstombs(nullptr, u"abc", 0));
    char buffer[8];
    EXPECT_EQ(static_cast<size_t>(-1), wcstombs(buffer, u"aカ", sizeof buffer));
    EXPECT_EQ(static_cast<size_t>(-1), wcstombs(nullptr, u"aカ", 0));
    const WCHAR lone[] = {u'a', 0xD800, u'b', 0};
    EXPECT_EQ(static_cast<size_t>(-1), wcstombs(buffer, lone, sizeof buffer));
}

struct ToWideCase {
    const char *codepage;
    std::string bytes;  // exactly the bytes of the source block, no terminator
    size_t count;
    std::u16string text;
    size_t result;
};

// Every source is copied into a block of exactly its own size, so that a read
// beyond the count is caught by AddressSanitizer.
TEST(NarrowToWide, ReadsNoByteBeyondTheCount) {
    const ToWideCase cases[] = {
        {"65001", "hello", 5, u"hello", 5},
        {"65001", "hello", 3, u"hel", 3},
        {"65001", std::string("ab\0cd", 5), 5, u"ab", 2},  // a zero byte ends the text
        {"65001", "a\xC3\xA9", 3, u"aé", 2},
        {"65001", "a\xC3", 2, u"a", 1},                    // cut inside a character
        {"65001", "\xF0\x9F\x98\x80", 4, u"😀", 2},
        {"1252", "caf\xE9\x80", 5, u"café€", 5},
        {"1252", "\x81\x8D\x8F\x90\x9D", 5, u"\u0081\u008D\u008F\u0090\u009D", 5},  // undefined bytes pass through
        {"932", "A\x83\x4A\x83\x69", 5, u"Aカナ", 3},
        {"932", "A\x83\x4A\x83", 4, u"Aカ", 2},          // a lead byte at the end of the block
        {"932", "\xB1\xB2", 2, u"ｱｲ", 2},                  // single-byte katakana
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.codepage) + " " + c.bytes);
        CodePage cp(c.codepage);
        std::unique_ptr<char[]> block(new char[c.bytes.size()]);
        memcpy(block.get(), c.bytes.data(), c.bytes.size());
        WCHAR out[16];
        std::fill(std::begin(out), std::end(out), u'#');
        EXPECT_EQ(c.result, mbstowcs(out, block.get(), c.count));
        EXPECT_EQ(c.text, std::u16string(out, c.text.size()));
    }
}

TEST(NarrowToWide, TerminatorSizeQueryAndBadBytes) {
    WCHAR out[8];
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(2u, mbstowcs(out, "ab", 8));
    EXPECT_EQ(0, out[2]) << "the source's terminator is copied when it is within the count";
    EXPECT_EQ(u'#', out[3]);
    EXPECT_EQ(5u, mbstowcs(static_cast<WCHAR *>(nullptr), "hello", 0));
    EXPECT_EQ(static_cast<size_t>(-1), mbstowcs(out, "a\xFF", 8));
}

TEST(Wsprintf, FormatsThePlatformsConversions) {
    struct Case {
        const char16_t *format;
        std::u16string expected;
        int value;
    };
    const Case ints[] = {
        {u"ERROR: COM Port Open Failure. [code %d]", u"ERROR: COM Port Open Failure. [code 5]", 5},
        {u"%d", u"-2147483648", INT32_MIN},
        {u"%u", u"4294967295", -1},
        {u"%x|%X|%#x", u"ff|FF|0xff", 255},
        {u"[%5d|%-5d|%05d]", u"[   42|42   |00042]", 42},
        {u"%ld %lu", u"-1 4294967295", -1},
        {u"%c", u"A", 'A'},
        {u"100%%", u"100%", 0},
    };
    for (const auto &c : ints) {
        SCOPED_TRACE(std::string(c.format, c.format + wcslen(c.format)));
        WCHAR out[64];
        int n = wsprintfW(out, c.format, c.value, c.value, c.value);
        EXPECT_EQ(c.expected, std::u16string(out));
        EXPECT_EQ(static_cast<int>(c.expected.size()), n);
    }
    WCHAR out[64];
    wsprintfW(out, u"Port Assignment >> %s", u"COM10");
    EXPECT_EQ(std::u16string(u"Port Assignment >> COM10"), std::u16string(out));
    wsprintfW(out, u"%hs|%S|%.2s", "narrow", "also", u"cut");
    EXPECT_EQ(std::u16string(u"narrow|also|cu"), std::u16string(out));
    char narrow[64];
    wsprintfA(narrow, "%s\\CEAppMgr.exe \"%sSetup.ini\"", "C:\\Sync", "C:\\Sync\\Kestrow\\");
    EXPECT_STREQ("C:\\Sync\\CEAppMgr.exe \"C:\\Sync\\Kestrow\\Setup.ini\"", narrow);
}

TEST(Wsprintf, OutputIsCappedAt1024Characters) {
    std::u16string big(3000, u'x');
    std::u16string out(2000, u'#');
    EXPECT_EQ(1023, wsprintfW(out.data(), u"%s", big.c_str()));
    EXPECT_EQ(0, out[1023]);
    EXPECT_EQ(u'#', out[1024]);
}

TEST(WideStrings, CopyCompareAndLength) {
    WCHAR buffer[32];
    wcscpy(buffer, u"Port ");
    wcscat(buffer, u"COM5");
    EXPECT_EQ(9u, wcslen(buffer));
    EXPECT_EQ(0, wcsncmp(buffer, u"Port XYZ", 5));
    EXPECT_LT(wcsncmp(buffer, u"Porz", 4), 0);
    EXPECT_GT(wcscmp(buffer, u"Port"), 0);
    EXPECT_EQ(0, wcsncmp(u"ab", u"ab", 10)) << "stops at the terminator";
}

}  // namespace
