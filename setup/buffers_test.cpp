// The launcher's fixed buffers: results that do not fit are refused whole,
// and nothing is written past a buffer (guard bytes follow each one).
#include "launcher.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// A buffer of `size` bytes followed by guard bytes.
struct Guarded {
    explicit Guarded(int size, const std::string &text) : size(size) {
        bytes.assign(static_cast<size_t>(size) + 8, '#');
        bytes.replace(0, text.size() + 1, text.c_str(), text.size() + 1);
    }
    char *data() { return bytes.data(); }
    std::string text() const { return std::string(bytes.c_str()); }
    bool guards_intact() const { return bytes.substr(static_cast<size_t>(size)) == std::string(8, '#'); }
    int size;
    std::string bytes;
};

TEST(LauncherBuffers, EnsureTrailingBackslash) {
    const std::string long258(258, 'a'), long259(259, 'a');
    const struct {
        std::string in;
        BOOL ok;
        std::string out;
    } cases[] = {
        {"C:\\Temp", TRUE, "C:\\Temp\\"},
        {"C:\\Temp\\", TRUE, "C:\\Temp\\"},
        {"C:\\dir\\\\", TRUE, "C:\\dir\\\\"},   // only the last byte is looked at
        {"", FALSE, ""},                          // no last byte: not a folder
        {long258, TRUE, long258 + "\\"},          // exactly fills the 260 bytes
        {long259, FALSE, long259},                // no room: unchanged
        {long258 + "\\", TRUE, long258 + "\\"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.in.size()) + ": " + c.in.substr(0, 20));
        Guarded buf(SETUP_PATH_SIZE, c.in);
        EXPECT_EQ(EnsureTrailingBackslash(buf.data(), SETUP_PATH_SIZE), c.ok);
        EXPECT_EQ(buf.text(), c.out);
        EXPECT_TRUE(buf.guards_intact());
    }
}

TEST(LauncherBuffers, AppendTextFitsOrChangesNothing) {
    const struct {
        int size;
        std::string in, add;
        BOOL ok;
        std::string out;
    } cases[] = {
        {20, "C:\\CE\\", "Kestrow", TRUE, "C:\\CE\\Kestrow"},
        {13, "C:\\CE\\", "Kestrow", FALSE, "C:\\CE\\"},
        {14, "C:\\CE\\", "Kestrow", TRUE, "C:\\CE\\Kestrow"},  // 13 bytes and the zero
        {5, "", "", TRUE, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in + " + " + c.add + " in " + std::to_string(c.size));
        Guarded buf(c.size, c.in);
        EXPECT_EQ(AppendText(buf.data(), c.size, c.add.c_str()), c.ok);
        EXPECT_EQ(buf.text(), c.out);
        EXPECT_TRUE(buf.guards_intact());
    }
}

TEST(LauncherBuffers, FormatIntoRefusesWhatDoesNotFit) {
    const std::string dir250 = "C:\\" + std::string(246, 'd') + "\\";  // 250 bytes
    const struct {
        const char *name;
        std::string format, first, second;
        bool has_second;
        BOOL ok;
        std::string out;
    } cases[] = {
        {"ini path", "%sSetup.ini", "C:\\medium\\", "", false, TRUE, "C:\\medium\\Setup.ini"},
        {"command line", "%s\\CEAppMgr.exe \"%sSetup.ini\"", "C:\\CE\\", "C:\\T\\", true, TRUE,
         "C:\\CE\\\\CEAppMgr.exe \"C:\\T\\Setup.ini\""},
        {"259 bytes fit", "%sSetup.ini", std::string(250, 'x'), "", false, TRUE, std::string(250, 'x') + "Setup.ini"},
        {"260 bytes do not", "%sSetup.ini", std::string(251, 'x'), "", false, FALSE, ""},
        {"long command line", "%s\\CEAppMgr.exe %sSetup.ini", dir250, "C:\\T\\", true, FALSE, ""},
        {"empty folder", "%sSetup.ini", "", "", false, FALSE, ""},
        {"empty second folder", "%s\\CEAppMgr.exe %sSetup.ini", "C:\\CE", "", true, FALSE, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Guarded buf(SETUP_PATH_SIZE, "previous");
        BOOL ok = FormatInto(buf.data(), SETUP_PATH_SIZE, c.format.c_str(), c.first.c_str(),
                             c.has_second ? c.second.c_str() : nullptr);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(buf.text(), c.out);
        EXPECT_TRUE(buf.guards_intact());
    }
}

}  // namespace
