#include "file/cmdline.h"

#include <gtest/gtest.h>

namespace {

using ce::file::join_command_line;
using ce::file::program_candidates;
using ce::file::split_command_line;
using Args = std::vector<std::string>;

TEST(CommandLine, SplitsByTheRuntimeRules) {
    static const struct {
        const char *line;
        Args args;
    } cases[] = {
        {"prog a b", {"prog", "a", "b"}},
        {"  prog \t x   ", {"prog", "x"}},
        {"\"C:\\Program Files\\x.exe\" \"a b\" c", {"C:\\Program Files\\x.exe", "a b", "c"}},
        {"\"C:\\dir\\\" x", {"C:\\dir\\", "x"}},  // no escapes in the program name
        {"p a\\\\b", {"p", "a\\\\b"}},           // backslashes not before a quote are literal
        {"p a\\\\\\\\\"b c\"", {"p", "a\\\\b c"}},  // 2n backslashes + quote: n, and the quote opens
        {"p a\\\\\\\"b", {"p", "a\\\"b"}},       // 2n+1: n and a literal quote
        {"p \"a\"\"b\"", {"p", "a\"b"}},         // "" inside quotes is a quote
        {"p \"\" x", {"p", "", "x"}},
        {"p \"unterminated arg", {"p", "unterminated arg"}},
        {"C:\\a\\CEAppMgr.exe C:\\c d\\Setup.ini", {"C:\\a\\CEAppMgr.exe", "C:\\c", "d\\Setup.ini"}},
        {"", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(split_command_line(c.line), c.args);
    }
}

TEST(CommandLine, JoinedArgumentsSplitBackUnchanged) {
    static const Args cases[] = {
        {"prog", "plain"},
        {"C:\\Program Files\\x.exe", "with space", "tab\there"},
        {"p", "quote\"inside", "trailing\\", "both \\\" and space\\"},
        {"p", "", "\\\\server\\share"},
    };
    for (const Args &args : cases) {
        std::string line = join_command_line(args);
        SCOPED_TRACE(line);
        EXPECT_EQ(split_command_line(line), args);
    }
}

TEST(CommandLine, ProgramCandidatesShortestFirst) {
    static const struct {
        const char *line;
        Args candidates;
    } cases[] = {
        {"c:\\program files\\sub dir\\program name",
         {"c:\\program.exe", "c:\\program files\\sub.exe", "c:\\program files\\sub dir\\program.exe",
          "c:\\program files\\sub dir\\program name.exe"}},
        {"\"C:\\Program Files\\a.exe\" x y", {"C:\\Program Files\\a.exe"}},
        {"\"C:\\Program Files\\a\" x", {"C:\\Program Files\\a.exe"}},
        {"tool", {"tool.exe"}},
        {"C:\\x\\y.bat arg", {"C:\\x\\y.bat", "C:\\x\\y.bat arg"}},
        {"C:\\Program Files\\CE\\CEAppMgr.exe C:\\Temp\\Setup.ini",
         {"C:\\Program.exe", "C:\\Program Files\\CE\\CEAppMgr.exe",
          "C:\\Program Files\\CE\\CEAppMgr.exe C:\\Temp\\Setup.ini"}},
        {"   ", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(program_candidates(c.line), c.candidates);
    }
}

}  // namespace
