#include "file/paths.h"

#include "ce/file.h"
#include "testsupport/temp_root.h"

#include <climits>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A fresh root whose working directory is C:\work for the test's length.
class DrivePaths : public ::testing::Test {
protected:
    void SetUp() override {
        root_.write("drive_c/work/.keep", "");
        ASSERT_EQ(chdir(root_.file("drive_c/work").c_str()), 0);
    }
    std::string dos(const std::string &rest) const { return root_.file("dosdevices/" + rest); }

    ce::test::TempRoot root_;
    ce::test::SavedWorkingDirectory cwd_;  // put back before the root goes
};

TEST_F(DrivePaths, DefaultDrivesAreMadeOnFirstUse) {
    std::string dir = ce::file::dosdevices_dir();
    char target[PATH_MAX];
    ssize_t n = readlink((dir + "/c:").c_str(), target, sizeof target - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(target, static_cast<size_t>(n)), root_.file("drive_c"));
    n = readlink((dir + "/z:").c_str(), target, sizeof target - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(target, static_cast<size_t>(n)), "/");
}

TEST_F(DrivePaths, WindowsPathsMapThroughTheDrives) {
    const struct {
        const char *windows;
        std::string host;
    } cases[] = {
        {"C:\\a\\b.txt", dos("c:/a/b.txt")},
        {"c:/a/./x/../b.txt", dos("c:/a/b.txt")},
        {"C:\\a\\\\b", dos("c:/a/b")},
        {"C:\\..\\..\\etc\\passwd", dos("c:/etc/passwd")},  // never above the drive's root
        {"Z:\\tmp\\x", dos("z:/tmp/x")},
        {"C:\\", dos("c:")},
        {"\\top", dos("c:/top")},       // rooted: the working directory's drive
        {"rel\\f", dos("c:/work/rel/f")},
        {"..\\up", dos("c:/up")},
        {"C:rel", dos("c:/work/rel")},  // drive-relative, working directory on that drive
        {"z:rel", dos("z:/rel")},       // drive-relative, another drive: from its root
        {"\\\\?\\C:\\long", dos("c:/long")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.windows);
        std::string host;
        DWORD error = 0;
        ASSERT_TRUE(ce::file::to_host_path(c.windows, &host, &error)) << "error " << error;
        EXPECT_EQ(host, c.host);
    }
}

TEST_F(DrivePaths, PathsWithoutAHostFileAreRefused) {
    static const struct {
        const char *windows;
        DWORD error;
    } cases[] = {
        {"\\\\server\\share\\f", ERROR_BAD_NETPATH},
        {"//server/share", ERROR_BAD_NETPATH},
        {"Q:\\nowhere", ERROR_PATH_NOT_FOUND},
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.windows);
        std::string host = "untouched";
        DWORD error = 0;
        EXPECT_FALSE(ce::file::to_host_path(c.windows, &host, &error));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(host, "untouched");
    }
}

TEST_F(DrivePaths, ComponentsAreFoundWithoutRegardToCase) {
    root_.write("drive_c/Program Files/Sync/CEAppMgr.exe", "x");
    std::string host;
    DWORD error = 0;
    ASSERT_TRUE(ce::file::to_host_path("c:\\PROGRAM FILES\\sync\\ceappmgr.EXE", &host, &error));
    EXPECT_EQ(host, dos("c:/Program Files/Sync/CEAppMgr.exe"));
    // A name that does not exist keeps its spelling (a file about to be made).
    ASSERT_TRUE(ce::file::to_host_path("c:\\program files\\New.txt", &host, &error));
    EXPECT_EQ(host, dos("c:/Program Files/New.txt"));
}

TEST_F(DrivePaths, HostPathsTakeTheLongestMatchingDrive) {
    root_.write("drive_c/work/deep/x/.keep", "");
    ce::file::dosdevices_dir();
    ASSERT_EQ(symlink(root_.file("drive_c/work/deep").c_str(), dos("d:").c_str()), 0);
    const struct {
        std::string host;
        const char *windows;
    } cases[] = {
        {root_.file("drive_c/work"), "C:\\work"},
        {root_.file("drive_c"), "C:\\"},
        {root_.file("drive_c/work/deep/x"), "D:\\x"},
        {root_.file("drive_c/work/deep"), "D:\\"},
        {"/usr", "Z:\\usr"},
        {"/", "Z:\\"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.host);
        std::string windows;
        ASSERT_TRUE(ce::file::to_windows_path(c.host, &windows));
        EXPECT_EQ(windows, c.windows);
    }
    ASSERT_EQ(unlink(dos("z:").c_str()), 0);
    std::string windows;
    EXPECT_FALSE(ce::file::to_windows_path("/usr", &windows)) << windows;
}

}  // namespace
