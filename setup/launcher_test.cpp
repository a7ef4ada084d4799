// The real setup and setup_folder programs, each run as a process in a fresh
// machine root: the synchronisation software's key, the stand-in application
// manager in its install folder, and a setup medium as working directory.
// Message boxes are read from standard error (headless front-end).
#include "testsupport/temp_root.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

const std::string kIniFailure = "Setup: インストールに失敗しました。（iniファイル）\n";
const std::string kCabFailure = "Setup: インストールに失敗しました。（CABファイル）\n";
const std::string kFolderFailure = "Setup: Can not create folder.\n";
const std::string kInstall = "Program Files/Windows CE Services";   // under drive_c
const std::string kInstallWin = "C:\\Program Files\\Windows CE Services";
const std::string kIni = "[TRVPA01]\nCabFiles = TRVPA01.CAB\n";
const std::string kCab = std::string("MSCF\0\0\0\0cab bytes", 17);

struct Launcher {
    const char *name;
    const char *path;
    bool folder;  // setup_folder: stages in Kestrow, keeps the files
};
const Launcher kLaunchers[] = {{"setup", SETUP_BIN, false}, {"setup_folder", SETUP_FOLDER_BIN, true}};

struct Result {
    int exit_code = -1;
    std::string err;
};

std::string user_name() {
    struct passwd *pw = getpwuid(geteuid());
    return pw ? pw->pw_name : "";
}

// A regedit export with one value under the software's key.
std::string services_key(const std::string &value_line) {
    return "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows CE Services]\n" + value_line + "\n";
}

std::string reg_string(const std::string &text) {
    std::string out = "\"InstalledDir\"=\"";
    for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out + "\"";
}

class Launchers : public ::testing::Test {
protected:
    void SetUp() override {
        install_dir(kInstallWin);
        root_.write("drive_c/medium/Setup.ini", kIni);
        root_.write("drive_c/medium/TRVPA01.CAB", kCab);
        install_app_manager(kInstall);
        // Something a plain search of the unquoted path would run first.
        root_.write("drive_c/Program.exe", "#!/bin/sh\ntouch \"$CE_ROOT/program-exe-ran\"\n");
        chmod(root_.file("drive_c/Program.exe").c_str(), 0755);
    }

    void install_dir(const std::string &windows) { root_.write("system.reg", services_key(reg_string(windows))); }
    void install_app_manager(const std::string &folder) {
        std::string target = "drive_c/" + folder + "/CEAppMgr.exe";
        root_.write(target, read_file(APPMGR_BIN));
        chmod(root_.file(target).c_str(), 0755);
    }
    static std::string read_file(const std::string &path) {
        std::string out;
        int fd = open(path.c_str(), O_RDONLY);
        char buf[65536];
        for (ssize_t n; fd >= 0 && (n = read(fd, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
        if (fd >= 0) close(fd);
        return out;
    }

    // Runs a launcher with its working directory under C:; its exit code and
    // everything it wrote to standard error.
    Result run(const Launcher &l, const std::string &cwd = "medium") {
        int pipefd[2];
        EXPECT_EQ(pipe2(pipefd, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, root_.file("drive_c/" + cwd).c_str());
        posix_spawn_file_actions_adddup2(&actions, pipefd[1], 2);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> env_strings;
        for (char **e = environ; *e; ++e) {
            std::string entry = *e;
            for (const char *drop : {"TMP=", "TEMP=", "CE_UI=", "CE_COMMAND_LINE=", "CE_ROOT="})
                if (entry.rfind(drop, 0) == 0) entry.clear();
            if (!entry.empty()) env_strings.push_back(entry);
        }
        env_strings.push_back("CE_ROOT=" + root_.path());
        env_strings.push_back("CE_UI=headless");
        env_strings.insert(env_strings.end(), extra_env_.begin(), extra_env_.end());
        std::vector<char *> envp;
        for (auto &s : env_strings) envp.push_back(s.data());
        envp.push_back(nullptr);
        char *argv[] = {const_cast<char *>(l.path), nullptr};
        pid_t pid = 0;
        Result r;
        int rc = posix_spawn(&pid, l.path, &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(pipefd[1]);
        EXPECT_EQ(rc, 0) << l.path;
        char buf[4096];
        for (ssize_t n; (n = read(pipefd[0], buf, sizeof buf)) > 0;) r.err.append(buf, static_cast<size_t>(n));
        close(pipefd[0]);
        int status = 0;
        if (rc == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
        return r;
    }

    // The staging folder of a launcher, under drive_c, and in Windows form.
    std::string staging(const Launcher &l) const {
        return l.folder ? kInstall + "/Kestrow" : "users/" + user_name() + "/Temp";
    }
    std::string staging_win(const Launcher &l) const {
        return l.folder ? kInstallWin + "\\Kestrow\\" : "C:\\users\\" + user_name() + "\\Temp\\";
    }
    bool exists(const std::string &rel) const {
        struct stat st;
        return lstat(root_.file(rel).c_str(), &st) == 0;
    }
    mode_t mode(const std::string &rel) const {
        struct stat st {};
        stat(root_.file(rel).c_str(), &st);
        return st.st_mode & 0777;
    }
    std::string log() const { return root_.read("CEAppMgr.log"); }
    // What the stand-in records for a run that saw both staged files.
    std::string full_log(const std::string &command_line, const std::string &ini_win) const {
        return "command line: " + command_line + "\nini: " + ini_win + " (present)\ncab: TRVPA01.CAB (present)\n";
    }

    ce::test::TempRoot root_;
    std::vector<std::string> extra_env_;
};

TEST_F(Launchers, StageRunAndLeaveTheFilesAsTheirPolicySays) {
    for (const Launcher &l : kLaunchers) {
        SCOPED_TRACE(l.name);
        ce::test::remove_tree(root_.file("drive_c/" + kInstall + "/Kestrow"));
        ce::test::remove_tree(root_.file("CEAppMgr.log"));
        Result r = run(l);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        // The exact command line; the application manager saw both staged
        // files, so they were removed (setup) only after it had ended.
        std::string ini = staging_win(l) + "Setup.ini";
        std::string line = kInstallWin + "\\CEAppMgr.exe " + (l.folder ? "\"" + ini + "\"" : ini);
        EXPECT_EQ(log(), full_log(line, ini));
        EXPECT_EQ(exists("drive_c/" + staging(l) + "/Setup.ini"), l.folder);
        EXPECT_EQ(exists("drive_c/" + staging(l) + "/TRVPA01.CAB"), l.folder);
        if (l.folder) {
            EXPECT_EQ(root_.read("drive_c/" + staging(l) + "/Setup.ini"), kIni);
            EXPECT_EQ(root_.read("drive_c/" + staging(l) + "/TRVPA01.CAB"), kCab);
        }
        // The unquoted path with spaces never ran C:\Program.exe.
        EXPECT_FALSE(exists("program-exe-ran"));
    }
}

TEST_F(Launchers, NothingHappensWithoutAUsableInstalledDir) {
    const struct {
        const char *name;
        std::string reg;
    } cases[] = {
        {"no key", "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"A\"=\"b\"\n"},
        {"value absent", services_key("\"Other\"=\"C:\\\\x\"")},
        {"value empty", services_key("\"InstalledDir\"=\"\"")},
        {"value not a string", services_key("\"InstalledDir\"=dword:00000001")},
        {"value longer than its buffer", services_key(reg_string("C:\\" + std::string(300, 'x')))},
    };
    for (const auto &c : cases) {
        root_.write("system.reg", c.reg);
        for (const Launcher &l : kLaunchers) {
            SCOPED_TRACE(std::string(c.name) + " / " + l.name);
            Result r = run(l);
            EXPECT_EQ(r.exit_code, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(log(), "");
            EXPECT_FALSE(exists("drive_c/" + staging(l) + "/Setup.ini"));
            EXPECT_FALSE(exists("drive_c/" + kInstall + "/Kestrow"));
        }
    }
}

TEST_F(Launchers, MissingFilesOnTheMediumAreReportedByName) {
    root_.write("drive_c/elsewhere/TRVPA01.CAB", kCab);  // no Setup.ini there
    root_.write("drive_c/nocab/Setup.ini", kIni);
    for (const Launcher &l : kLaunchers) {
        // Started outside the medium: the files are looked for in the working
        // directory, not beside the program.
        SCOPED_TRACE(std::string(l.name) + " without Setup.ini");
        Result r = run(l, "elsewhere");
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, kIniFailure);
        EXPECT_FALSE(exists("drive_c/" + staging(l) + "/TRVPA01.CAB"));
        EXPECT_EQ(log(), "");
    }
    for (const Launcher &l : kLaunchers) {
        SCOPED_TRACE(std::string(l.name) + " without TRVPA01.CAB");
        Result r = run(l, "nocab");
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, kCabFailure);
        EXPECT_EQ(root_.read("drive_c/" + staging(l) + "/Setup.ini"), kIni);  // the staged ini stays
        EXPECT_FALSE(exists("drive_c/" + staging(l) + "/TRVPA01.CAB"));
        EXPECT_EQ(log(), "");
    }
}

TEST_F(Launchers, ReadOnlyLeftoversAndSourcesGiveWritableCopies) {
    chmod(root_.file("drive_c/medium/Setup.ini").c_str(), 0444);
    chmod(root_.file("drive_c/medium/TRVPA01.CAB").c_str(), 0444);
    for (const Launcher &l : kLaunchers) {
        SCOPED_TRACE(l.name);
        ce::test::remove_tree(root_.file("CEAppMgr.log"));
        for (const char *name : {"/Setup.ini", "/TRVPA01.CAB"}) {
            root_.write("drive_c/" + staging(l) + name, "left from an earlier run");
            chmod(root_.file("drive_c/" + staging(l) + name).c_str(), 0444);
        }
        Result r = run(l);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        std::string ini = staging_win(l) + "Setup.ini";
        EXPECT_EQ(log(), full_log(kInstallWin + "\\CEAppMgr.exe " + (l.folder ? "\"" + ini + "\"" : ini), ini));
        if (l.folder) {
            EXPECT_EQ(root_.read("drive_c/" + staging(l) + "/Setup.ini"), kIni);
            EXPECT_EQ(root_.read("drive_c/" + staging(l) + "/TRVPA01.CAB"), kCab);
            EXPECT_EQ(mode("drive_c/" + staging(l) + "/Setup.ini") & 0200, 0200u);
            EXPECT_EQ(mode("drive_c/" + staging(l) + "/TRVPA01.CAB") & 0200, 0200u);
        } else {
            EXPECT_FALSE(exists("drive_c/" + staging(l) + "/Setup.ini"));  // writable, so deleted
            EXPECT_FALSE(exists("drive_c/" + staging(l) + "/TRVPA01.CAB"));
        }
    }
}

TEST_F(Launchers, InstalledDirEndingInABackslash) {
    install_dir(kInstallWin + "\\");
    for (const Launcher &l : kLaunchers) {
        SCOPED_TRACE(l.name);
        ce::test::remove_tree(root_.file("CEAppMgr.log"));
        Result r = run(l);
        EXPECT_EQ(r.err, "");
        // Doubled before CEAppMgr.exe, as read; single before Kestrow.
        std::string ini = staging_win(l) + "Setup.ini";
        EXPECT_EQ(log(), full_log(kInstallWin + "\\\\CEAppMgr.exe " + (l.folder ? "\"" + ini + "\"" : ini), ini));
    }
}

TEST_F(Launchers, KestrowAsAFolderAndAsAFile) {
    const Launcher &l = kLaunchers[1];
    root_.write("drive_c/" + kInstall + "/Kestrow/other.txt", "kept");
    Result r = run(l);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(root_.read("drive_c/" + kInstall + "/Kestrow/other.txt"), "kept");
    EXPECT_EQ(root_.read("drive_c/" + kInstall + "/Kestrow/Setup.ini"), kIni);

    ce::test::remove_tree(root_.file("drive_c/" + kInstall + "/Kestrow"));
    ce::test::remove_tree(root_.file("CEAppMgr.log"));
    root_.write("drive_c/" + kInstall + "/Kestrow", "a file");
    r = run(l);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, kIniFailure);
    EXPECT_EQ(root_.read("drive_c/" + kInstall + "/Kestrow"), "a file");
    EXPECT_EQ(log(), "");

    // A missing install folder: Kestrow cannot be made, one level only.
    install_dir("C:\\Not Installed");
    r = run(l);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, kFolderFailure);
    EXPECT_FALSE(exists("drive_c/Not Installed"));
}

TEST_F(Launchers, MissingApplicationManagerIsNotReported) {
    ASSERT_EQ(unlink(root_.file("drive_c/" + kInstall + "/CEAppMgr.exe").c_str()), 0);
    for (const Launcher &l : kLaunchers) {
        SCOPED_TRACE(l.name);
        Result r = run(l);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(exists("drive_c/" + staging(l) + "/Setup.ini"), l.folder);
        EXPECT_EQ(exists("drive_c/" + staging(l) + "/TRVPA01.CAB"), l.folder);
        EXPECT_FALSE(exists("program-exe-ran"));
    }
}

TEST_F(Launchers, TemporaryDirectoryFromTmpWithoutABackslash) {
    root_.write("drive_c/mytemp/.keep", "");
    chmod(root_.file("drive_c/mytemp").c_str(), 0700);
    extra_env_.push_back("TMP=C:\\mytemp");
    Result r = run(kLaunchers[0]);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(log(), full_log(kInstallWin + "\\CEAppMgr.exe C:\\mytemp\\Setup.ini", "C:\\mytemp\\Setup.ini"));
    EXPECT_FALSE(exists("drive_c/mytemp/Setup.ini"));
}

TEST_F(Launchers, PathsThatDoNotFitTheirBuffers) {
    // Install folders of 250 and 252 bytes: each fits its buffer, but the
    // command line never does; "\Kestrow\" after 250 bytes just fits (and
    // then the staged Setup.ini does not), after 252 it does not.
    const struct {
        size_t length;
        const Launcher &launcher;
        std::string err;
        bool kestrow_made;
    } cases[] = {
        {250, kLaunchers[0], "", false},  // like a manager that cannot start
        {250, kLaunchers[1], kIniFailure, true},
        {252, kLaunchers[1], kFolderFailure, false},
    };
    for (const auto &c : cases) {
        const Launcher &l = c.launcher;
        std::string folder = "Program Files/" + std::string(c.length - 17, 'L');
        std::string folder_win = "C:\\Program Files\\" + std::string(c.length - 17, 'L');
        SCOPED_TRACE(std::string(l.name) + " " + std::to_string(folder_win.size()));
        root_.write("drive_c/" + folder + "/.keep", "");
        install_app_manager(folder);
        install_dir(folder_win);
        Result r = run(l);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(log(), "");
        EXPECT_FALSE(exists("drive_c/" + staging(l) + "/Setup.ini"));
        EXPECT_FALSE(exists("drive_c/" + staging(l) + "/TRVPA01.CAB"));
        EXPECT_EQ(exists("drive_c/" + folder + "/Kestrow"), c.kestrow_made);
        EXPECT_FALSE(exists("drive_c/" + folder + "/Kestrow/Setup.ini"));
    }
}

}  // namespace
