// Attributes, directories, deletion, copies, the working and the temporary
// directory, on real files in a fresh root (C: is CE_ROOT/drive_c).
#include "ce/file.h"
#include "testsupport/temp_root.h"

#include <climits>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : {"TMP", "TEMP"}) {
            const char *v = getenv(name);
            saved_env_.push_back({name, v ? v : "", v != nullptr});
            unsetenv(name);
        }
        root_.write("drive_c/d/.keep", "");
    }
    void TearDown() override {
        for (const auto &e : saved_env_) {
            if (e.set) setenv(e.name, e.value.c_str(), 1);
            else unsetenv(e.name);
        }
    }
    std::string c(const std::string &rest) const { return root_.file("drive_c/" + rest); }
    mode_t mode(const std::string &rest) const {
        struct stat st {};
        stat(c(rest).c_str(), &st);
        return st.st_mode & 07777;
    }
    // Names in a folder of C:, to see that nothing was left behind.
    std::vector<std::string> names(const std::string &dir) const {
        std::vector<std::string> out;
        if (DIR *d = opendir(c(dir).c_str())) {
            while (dirent *e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
            closedir(d);
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    struct SavedEnv {
        const char *name;
        std::string value;
        bool set;
    };
    ce::test::TempRoot root_;
    ce::test::SavedWorkingDirectory cwd_;  // put back before the root goes
    std::vector<SavedEnv> saved_env_;
};

TEST_F(Files, AttributesFollowTheOwnersWritePermission) {
    root_.write("drive_c/d/plain.txt", "x");
    root_.write("drive_c/d/locked.txt", "x");
    chmod(c("d/locked.txt").c_str(), 0444);
    static const struct {
        const char *path;
        DWORD attributes;
        DWORD error;
    } cases[] = {
        {"C:\\d\\plain.txt", FILE_ATTRIBUTE_NORMAL, 0},
        {"C:\\d\\locked.txt", FILE_ATTRIBUTE_READONLY, 0},
        {"C:\\d", FILE_ATTRIBUTE_DIRECTORY, 0},
        {"C:\\d\\missing.txt", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
        {"C:\\nodir\\missing.txt", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
        {"Q:\\x", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.path);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(GetFileAttributesA(k.path), k.attributes);
        if (k.error) {
            EXPECT_EQ(GetLastError(), k.error);
        }
    }
}

TEST_F(Files, ReadOnlyIsSetAndClearedAsTheWritePermission) {
    root_.write("drive_c/d/f.txt", "x");
    chmod(c("d/f.txt").c_str(), 0664);
    ASSERT_TRUE(SetFileAttributesA("C:\\d\\f.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(mode("d/f.txt"), 0444u);
    EXPECT_EQ(GetFileAttributesA("C:\\d\\f.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA("C:\\d\\f.txt", 0));
    EXPECT_EQ(mode("d/f.txt"), 0644u);
    EXPECT_EQ(GetFileAttributesA("C:\\d\\f.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));

    SetLastError(0);
    EXPECT_FALSE(SetFileAttributesA("C:\\d\\f.txt", INVALID_FILE_ATTRIBUTES));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(SetFileAttributesA("C:\\d\\gone.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, CreateDirectoryMakesOneLevel) {
    root_.write("drive_c/d/file", "x");
    static const struct {
        const char *path;
        BOOL ok;
        DWORD error;
    } cases[] = {
        {"C:\\d\\new", TRUE, 0},
        {"C:\\d\\new", FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\d\\file", FALSE, ERROR_ALREADY_EXISTS},  // a file of that name counts
        {"C:\\d\\a\\b", FALSE, ERROR_PATH_NOT_FOUND},  // parents are not made
        {"C:\\d\\file\\sub", FALSE, ERROR_PATH_NOT_FOUND},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.path);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(CreateDirectoryA(k.path, nullptr), k.ok);
        if (!k.ok) {
            EXPECT_EQ(GetLastError(), k.error);
        }
    }
    EXPECT_EQ(GetFileAttributesA("C:\\d\\new"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA("C:\\d\\a"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Files, DeleteRefusesReadOnlyFilesEvenForAPrivilegedCaller) {
    root_.write("drive_c/d/plain", "x");
    root_.write("drive_c/d/locked", "x");
    chmod(c("d/locked").c_str(), 0444);
    static const struct {
        const char *path;
        BOOL ok;
        DWORD error;
    } cases[] = {
        {"C:\\d\\plain", TRUE, 0},
        {"C:\\d\\plain", FALSE, ERROR_FILE_NOT_FOUND},
        {"C:\\d\\locked", FALSE, ERROR_ACCESS_DENIED},
        {"C:\\d", FALSE, ERROR_ACCESS_DENIED},
        {"C:\\nodir\\x", FALSE, ERROR_PATH_NOT_FOUND},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.path);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(DeleteFileA(k.path), k.ok);
        if (!k.ok) {
            EXPECT_EQ(GetLastError(), k.error);
        }
    }
    EXPECT_EQ(root_.read("drive_c/d/locked"), "x");
}

TEST_F(Files, CopyOutcomes) {
    struct Case {
        const char *name;
        const char *target;   // under C:\d
        const char *before;   // target contents before, or null for none
        mode_t target_mode;
        BOOL fail_if_exists;
        BOOL ok;
        DWORD error;
    };
    static const Case cases[] = {
        {"new target", "t1", nullptr, 0, FALSE, TRUE, 0},
        {"overwrite allowed", "t2", "old", 0644, FALSE, TRUE, 0},
        {"must not exist", "t3", "old", 0644, TRUE, FALSE, ERROR_FILE_EXISTS},
        {"read-only target", "t4", "old", 0444, FALSE, FALSE, ERROR_ACCESS_DENIED},
        {"target folder missing", "nodir/t5", nullptr, 0, FALSE, FALSE, ERROR_PATH_NOT_FOUND},
        {"target parent is a file", "src.bin/t6", nullptr, 0, FALSE, FALSE, ERROR_PATH_NOT_FOUND},
        {"target is a folder", "sub", nullptr, 0, FALSE, FALSE, ERROR_ACCESS_DENIED},
    };
    const std::string payload("source\0bytes", 12);
    root_.write("drive_c/d/src.bin", payload);
    root_.write("drive_c/d/sub/.keep", "");
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        std::string rel = std::string("d/") + k.target;
        if (k.before) {
            root_.write("drive_c/" + rel, k.before);
            chmod(c(rel).c_str(), k.target_mode);
        }
        std::string target = "C:\\d\\" + std::string(k.target);
        for (char &ch : target) ch = ch == '/' ? '\\' : ch;
        SetLastError(0xdeadbeef);
        EXPECT_EQ(CopyFileA("C:\\d\\src.bin", target.c_str(), k.fail_if_exists), k.ok);
        if (k.ok) {
            EXPECT_EQ(root_.read("drive_c/" + rel), payload);
        } else {
            EXPECT_EQ(GetLastError(), k.error);
            if (k.before) {
                EXPECT_EQ(root_.read("drive_c/" + rel), k.before);
            }
        }
    }
    // No temporary file stays behind, whatever the outcome.
    EXPECT_EQ(names("d"), (std::vector<std::string>{".keep", "src.bin", "sub", "t1", "t2", "t3", "t4"}));
}

TEST_F(Files, CopyTakesTheSourcesAttributesAndTime) {
    root_.write("drive_c/d/ro.ini", "[x]");
    chmod(c("d/ro.ini").c_str(), 0444);
    struct timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, c("d/ro.ini").c_str(), old_times, 0);
    ASSERT_TRUE(CopyFileA("C:\\d\\ro.ini", "C:\\d\\copy.ini", TRUE));
    EXPECT_EQ(GetFileAttributesA("C:\\d\\copy.ini"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    struct stat st {};
    stat(c("d/copy.ini").c_str(), &st);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    // So copying again over that copy is refused until read-only is cleared.
    SetLastError(0);
    EXPECT_FALSE(CopyFileA("C:\\d\\ro.ini", "C:\\d\\copy.ini", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(SetFileAttributesA("C:\\d\\copy.ini", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(CopyFileA("C:\\d\\ro.ini", "C:\\d\\copy.ini", FALSE));
}

TEST_F(Files, CopyFromBadSources) {
    root_.write("drive_c/d/keep.txt", "kept");
    static const struct {
        const char *source;
        DWORD error;
    } cases[] = {
        {"C:\\d\\missing.txt", ERROR_FILE_NOT_FOUND},
        {"C:\\nodir\\missing.txt", ERROR_PATH_NOT_FOUND},
        {"C:\\d", ERROR_ACCESS_DENIED},
        {"C:\\d\\keep.txt", ERROR_SHARING_VIOLATION},  // onto itself
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.source);
        SetLastError(0);
        EXPECT_FALSE(CopyFileA(k.source, "C:\\d\\keep.txt", FALSE));
        EXPECT_EQ(GetLastError(), k.error);
        EXPECT_EQ(root_.read("drive_c/d/keep.txt"), "kept");
    }
}

TEST_F(Files, AFailedReadLeavesTheOldTargetAndNoPartialFile) {
    // The process's own memory file reads as an error from its first byte.
    root_.write("drive_c/d/target.txt", "previous");
    SetLastError(0);
    EXPECT_FALSE(CopyFileA("Z:\\proc\\self\\mem", "C:\\d\\target.txt", FALSE));
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_EQ(root_.read("drive_c/d/target.txt"), "previous");
    EXPECT_EQ(names("d"), (std::vector<std::string>{".keep", "target.txt"}));
}

TEST_F(Files, CurrentDirectoryInWindowsForm) {
    ASSERT_EQ(chdir(c("d").c_str()), 0);
    char buf[16];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(GetCurrentDirectoryA(4, buf), 5u);  // "C:\d" needs 5 with the terminator
    EXPECT_EQ(buf[0], '#');
    EXPECT_EQ(GetCurrentDirectoryA(5, buf), 4u);
    EXPECT_STREQ(buf, "C:\\d");

    ASSERT_TRUE(SetCurrentDirectoryA("Z:\\"));
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buf, buf), 3u);
    EXPECT_STREQ(buf, "Z:\\");
    EXPECT_FALSE(SetCurrentDirectoryA("C:\\nowhere"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    // Outside every drive there is no Windows form.
    ASSERT_EQ(unlink(root_.file("dosdevices/z:").c_str()), 0);
    SetLastError(0);
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buf, buf), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Files, TempPathIsPrivateAndEndsWithABackslash) {
    struct passwd *pw = getpwuid(geteuid());
    ASSERT_NE(pw, nullptr);
    const std::string per_user = std::string("C:\\users\\") + pw->pw_name + "\\Temp\\";
    root_.write("drive_c/mine/.keep", "");
    chmod(c("mine").c_str(), 0700);
    root_.write("drive_c/shared/.keep", "");
    chmod(c("shared").c_str(), 0777);
    static const struct {
        const char *tmp;
        const char *temp;
        const char *expected;  // null: the per-user folder
    } cases[] = {
        {nullptr, nullptr, nullptr},
        {"C:\\mine", nullptr, "C:\\mine\\"},
        {"C:\\mine\\", nullptr, "C:\\mine\\"},
        {nullptr, "C:\\mine", "C:\\mine\\"},
        {"C:\\shared", "C:\\mine", "C:\\mine\\"},  // writable by others: skipped
        {"/tmp", nullptr, nullptr},
        {"C:\\missing", nullptr, nullptr},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(std::string(k.tmp ? k.tmp : "-") + " " + (k.temp ? k.temp : "-"));
        if (k.tmp) setenv("TMP", k.tmp, 1); else unsetenv("TMP");
        if (k.temp) setenv("TEMP", k.temp, 1); else unsetenv("TEMP");
        char buf[MAX_PATH];
        DWORD n = GetTempPathA(sizeof buf, buf);
        std::string expected = k.expected ? k.expected : per_user;
        EXPECT_EQ(n, expected.size());
        EXPECT_EQ(std::string(buf), expected);
    }
    EXPECT_EQ(mode(std::string("users/") + pw->pw_name + "/Temp"), 0700u);
    char small[4] = {'#'};
    EXPECT_EQ(GetTempPathA(sizeof small, small), per_user.size() + 1);
    EXPECT_EQ(small[0], '#');
}

TEST_F(Files, TempPathRepairsAPerUserFolderLeftOpen) {
    struct passwd *pw = getpwuid(geteuid());
    ASSERT_NE(pw, nullptr);
    std::string rel = std::string("users/") + pw->pw_name + "/Temp";
    root_.write("drive_c/" + rel + "/.keep", "");
    chmod(c(rel).c_str(), 0777);
    char buf[MAX_PATH];
    EXPECT_GT(GetTempPathA(sizeof buf, buf), 0u);
    EXPECT_EQ(mode(rel), 0700u);
}

}  // namespace
