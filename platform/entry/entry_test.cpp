// Program start through ceentry: real programs started with arguments or a
// CE_COMMAND_LINE, and what their WinMain receives.
#include "entry/command_line.h"
#include "file/cmdline.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

extern char **environ;

namespace {

struct Outcome {
    std::string out;
    int status = -1;
};

// Starts a program with the given arguments after its path and extra
// environment entries (CE_COMMAND_LINE and CE_CODEPAGE come only from there).
Outcome run(const char *program, const std::vector<std::string> &args, const std::vector<std::string> &env) {
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::vector<std::string> entries;
    for (char **p = environ; *p; ++p)
        if (strncmp(*p, "CE_COMMAND_LINE=", 16) != 0 && strncmp(*p, "CE_CODEPAGE=", 12) != 0) entries.push_back(*p);
    entries.insert(entries.end(), env.begin(), env.end());
    std::vector<char *> envp;
    for (std::string &e : entries) envp.push_back(e.data());
    envp.push_back(nullptr);

    Outcome r;
    int fds[2];
    if (pipe(fds) != 0) return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return r;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) r.out.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(Entry, WinMainGetsTheInstanceTheArgumentsAndShowNormal) {
    const std::string probe_w = CE_PROBE_W, probe_a = CE_PROBE_A;
    struct Case {
        const char *what;
        const char *program;
        std::vector<std::string> args;
        std::vector<std::string> env;
        std::string args_seen;
        std::string line_seen;  // after the program's path when it starts with '+'
    };
    const std::string shift_jis_test = "\x83\x65\x83\x58\x83\x67";  // "テスト"
    const Case cases[] = {
        {"no arguments", CE_PROBE_W, {}, {}, "", "+"},
        {"plain words", CE_PROBE_W, {"one", "two"}, {}, "one two", "+ one two"},
        {"words that need quotes", CE_PROBE_W, {"two words", "say \"hi\"", "", "tail\\"},
         {}, "\"two words\" \"say \\\"hi\\\"\" \"\" tail\\", "+ \"two words\" \"say \\\"hi\\\"\" \"\" tail\\"},
        {"quoted path ending in a backslash", CE_PROBE_W, {"C:\\dir with space\\"}, {},
         "\"C:\\dir with space\\\\\"", "+ \"C:\\dir with space\\\\\""},
        {"CE_COMMAND_LINE wins", CE_PROBE_W, {"ignored"},
         {"CE_COMMAND_LINE=\"C:\\Program Files\\CEAppMgr.exe\"  \"C:\\t\\Setup.ini\""},
         "\"C:\\t\\Setup.ini\"", "\"C:\\Program Files\\CEAppMgr.exe\"  \"C:\\t\\Setup.ini\""},
        {"unquoted program name", CE_PROBE_W, {}, {"CE_COMMAND_LINE=c:\\x\\CEAppMgr.exe\ta b"}, "a b",
         "c:\\x\\CEAppMgr.exe\ta b"},
        {"program name alone", CE_PROBE_W, {}, {"CE_COMMAND_LINE=prog.exe   "}, "", "prog.exe   "},
        {"Japanese, wide", CE_PROBE_W, {"テスト"}, {"CE_CODEPAGE=932"}, "テスト", "+ テスト"},
        {"narrow, UTF-8", CE_PROBE_A, {"テスト", "x y"}, {}, "テスト \"x y\"", "+ テスト \"x y\""},
        {"narrow, code page 932", CE_PROBE_A, {}, {"CE_CODEPAGE=932", "CE_COMMAND_LINE=p.exe テスト"},
         shift_jis_test, "p.exe " + shift_jis_test},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = run(c.program, c.args, c.env);
        std::string line = c.line_seen;
        if (!line.empty() && line[0] == '+') line = c.program + line.substr(1);
        std::string expected = "instance=program\nprevious=null\nshow=1\nstring=Hello\nargs=[" + c.args_seen +
                               "]\nline=[" + line + "]\n";
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.status, static_cast<int>(c.args_seen.size()) & 0xFF) << "exit status is WinMain's result";
    }
}

TEST(Entry, JoinedArgumentsSplitBackIntoTheSameWords) {
    const std::vector<std::vector<std::string>> cases = {
        {"prog", "a", "b"},
        {"prog", "two words", "tab\there"},
        {"prog", ""},
        {"prog", "\"", "\\\"", "a\\\\\"b", "end\\", "end\\\\", "mid\\dle"},
        {"C:\\Program Files\\prog.exe", "x"},
        {"prog", "テスト", " lead", "trail "},
    };
    for (const auto &words : cases) {
        std::string line = ce::join_command_line(words);
        SCOPED_TRACE(line);
        EXPECT_EQ(ce::file::split_command_line(line), words);
    }
}

}  // namespace
