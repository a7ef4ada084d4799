// CreateProcessA on real processes: small shell scripts in a fresh root that
// record what they were given.
#include "platform.h"
#include "testsupport/temp_root.h"

#include <climits>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {


class Processes : public ::testing::Test {
protected:
    void SetUp() override {
        root_.write("drive_c/work/.keep", "");
        ASSERT_EQ(chdir(root_.file("drive_c/work").c_str()), 0);
    }

    // A script at C:\<rel> that records its arguments, command line and
    // working directory in C:\<rel>.log, then exits with `code`.
    void recorder(const std::string &rel, int code = 0) {
        std::string log = root_.file("drive_c/" + rel + ".log");
        root_.write("drive_c/" + rel,
                    "#!/bin/sh\n"
                    "{ printf 'argc=%s\\n' \"$#\"; for a in \"$@\"; do printf 'arg=[%s]\\n' \"$a\"; done;\n"
                    "  printf 'line=[%s]\\n' \"$CE_COMMAND_LINE\"; printf 'pwd=%s\\n' \"$(pwd -P)\";\n"
                    "  printf 'foo=%s\\n' \"${FOO-unset}\"; } > '" + log + "'\n"
                    "exit " + std::to_string(code) + "\n");
        chmod(root_.file("drive_c/" + rel).c_str(), 0755);
    }
    std::string log(const std::string &rel) const { return root_.read("drive_c/" + rel + ".log"); }

    // Starts, waits for the end, closes; the exit code, or -1 when it did not start.
    long run(const char *app, const char *line, const char *dir = nullptr, void *env = nullptr) {
        std::string buffer = line ? line : "";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessA(app, line ? buffer.data() : nullptr, nullptr, nullptr, FALSE, 0, env, dir, &si, &pi))
            return -1;
        EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), 0u);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
        EXPECT_TRUE(CloseHandle(pi.hThread));
        EXPECT_TRUE(CloseHandle(pi.hProcess));
        return static_cast<long>(code);
    }

    ce::test::TempRoot root_;
    ce::test::SavedWorkingDirectory cwd_;  // put back before the root goes
};

TEST_F(Processes, ChildGetsItsCommandLineAndSplitArguments) {
    recorder("bin/rec.exe", 7);
    EXPECT_EQ(run(nullptr, "C:\\bin\\rec.exe one \"two words\" a\\\\\\\"q"), 7);
    EXPECT_EQ(log("bin/rec.exe"),
              "argc=3\narg=[one]\narg=[two words]\narg=[a\\\"q]\n"
              "line=[C:\\bin\\rec.exe one \"two words\" a\\\\\\\"q]\n"
              "pwd=" + root_.file("drive_c/work") + "\nfoo=unset\n");
}

TEST_F(Processes, UnquotedPathsAreSearchedShortestFirst) {
    root_.write("drive_c/Program Files/App Dir/.keep", "");
    recorder("Program Files/App Dir/tool.exe");
    const char *line = "C:\\Program Files\\App Dir\\tool.exe arg";
    // Without C:\Program.exe the search reaches the intended program.
    EXPECT_EQ(run(nullptr, line), 0);
    EXPECT_NE(log("Program Files/App Dir/tool.exe").find("arg=[Files\\App]"), std::string::npos)
        << log("Program Files/App Dir/tool.exe");

    // A planted C:\Program.exe runs instead: the platform's weakness.
    recorder("Program.exe");
    EXPECT_EQ(run(nullptr, line), 0);
    EXPECT_NE(log("Program.exe").find("line=[C:\\Program Files\\App Dir\\tool.exe arg]"), std::string::npos);

    // With the program named, exactly that one runs, the command line as given.
    root_.write("drive_c/Program.exe.log", "");
    root_.write("drive_c/Program Files/App Dir/tool.exe.log", "");
    EXPECT_EQ(run("C:\\Program Files\\App Dir\\tool.exe", const_cast<char *>(line)), 0);
    EXPECT_EQ(log("Program.exe"), "");
    EXPECT_NE(log("Program Files/App Dir/tool.exe").find("line=[C:\\Program Files\\App Dir\\tool.exe arg]"),
              std::string::npos);
}

TEST_F(Processes, ProgramsThatCannotRun) {
    root_.write("drive_c/bin/text.exe", "not a program\n");
    chmod(root_.file("drive_c/bin/text.exe").c_str(), 0755);
    recorder("bin/rec.exe");
    static const struct {
        const char *app;
        const char *line;
        DWORD error;
    } cases[] = {
        {nullptr, "C:\\bin\\missing.exe x", ERROR_FILE_NOT_FOUND},
        {"C:\\bin\\missing.exe", "missing x", ERROR_FILE_NOT_FOUND},
        {"C:\\nodir\\missing.exe", "missing", ERROR_PATH_NOT_FOUND},
        {nullptr, "C:\\bin\\text.exe", ERROR_BAD_EXE_FORMAT},
        {"C:\\bin", "x", ERROR_ACCESS_DENIED},
        {nullptr, "", ERROR_INVALID_PARAMETER},
        {"C:\\bin\\rec.exe", "rec", ERROR_DIRECTORY},  // with dir C:\nowhere below
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.line);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::string line = k.line;
        const char *dir = k.error == ERROR_DIRECTORY ? "C:\\nowhere" : nullptr;
        SetLastError(0);
        EXPECT_FALSE(CreateProcessA(k.app, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir, &si, &pi));
        EXPECT_EQ(GetLastError(), k.error);
        EXPECT_EQ(pi.hProcess, nullptr);
    }
}

TEST_F(Processes, DirectoryEnvironmentAndBareNames) {
    recorder("work/rec.exe");
    root_.write("drive_c/other/.keep", "");
    // A bare name is found in the caller's working directory, ".exe" added;
    // the child runs in the directory it is given, with the block given.
    char env[] = "FOO=bar\0CE_COMMAND_LINE=stale\0";
    EXPECT_EQ(run(nullptr, "rec", "C:\\other", env), 0);
    EXPECT_EQ(log("work/rec.exe"), "argc=0\nline=[rec]\npwd=" + root_.file("drive_c/other") + "\nfoo=bar\n");
    // No command line: the program's name stands for it.
    EXPECT_EQ(run("C:\\work\\rec.exe", nullptr), 0);
    EXPECT_EQ(log("work/rec.exe"),
              "argc=0\nline=[C:\\work\\rec.exe]\npwd=" + root_.file("drive_c/work") + "\nfoo=unset\n");
}

TEST_F(Processes, ARunningProcessIsStillActiveUntilItEnds) {
    root_.write("drive_c/bin/wait.exe", "#!/bin/sh\nexec sleep 600\n");
    chmod(root_.file("drive_c/bin/wait.exe").c_str(), 0755);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    char line[] = "C:\\bin\\wait.exe";
    ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_GT(pi.dwProcessId, 0u);
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(pi.hThread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

    kill(static_cast<pid_t>(pi.dwProcessId), SIGTERM);
    EXPECT_EQ(WaitForSingleObject(pi.hThread, INFINITE), 0u);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), 0u);
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 128u + SIGTERM);

    EXPECT_TRUE(CloseHandle(pi.hProcess));
    EXPECT_TRUE(CloseHandle(pi.hThread));
    SetLastError(0);
    EXPECT_FALSE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(pi.hProcess));
}

TEST_F(Processes, WaitersOnSeveralThreadsAllWakeAtTheEnd) {
    root_.write("drive_c/bin/wait.exe", "#!/bin/sh\nexec sleep 600\n");
    chmod(root_.file("drive_c/bin/wait.exe").c_str(), 0755);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    char line[] = "C:\\bin\\wait.exe";
    ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    std::vector<std::thread> waiters;
    std::vector<DWORD> results(4, 0xFFFF);
    for (size_t i = 0; i < results.size(); ++i)
        waiters.emplace_back([&, i] { results[i] = WaitForSingleObject(i % 2 ? pi.hThread : pi.hProcess, INFINITE); });
    kill(static_cast<pid_t>(pi.dwProcessId), SIGKILL);
    for (auto &t : waiters) t.join();
    EXPECT_EQ(results, std::vector<DWORD>(4, 0u));
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

}  // namespace
