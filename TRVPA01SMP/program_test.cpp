// Program start, across processes: the real TRVPA01SMP binary beside a copy
// running in this process under the headless driver.
#include "terminal_test_support.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>

using ce::test::PtyPair;
using ce::ui::Driver;
using namespace terminal_test;

namespace {

struct ProgramRun {
    int status = -1;
    std::string err;
};

// Runs the program with no terminal, input from /dev/null.
ProgramRun RunProgram(const ce::test::TempRoot &root)
{
    std::string errFile = root.file("stderr.txt");
    std::string command = std::string("CE_UI=headless '") + TRVPA01SMP_PATH + "' </dev/null >/dev/null 2>'" +
                          errFile + "'";
    ProgramRun run;
    int raw = system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errFile);
    std::stringstream text;
    text << in.rdbuf();
    run.err = text.str();
    return run;
}

// One test: WinMain takes the single-instance guard for the rest of this process.
TEST(Program, SecondCopyEndsSilentlyAndWithoutATerminalTheProgramSaysSo) {
    ce::test::TempRoot root;
    PtyPair pty(PtyPair::Peer::Record);
    InsertAdapter(u"COM5:");
    pty.map_com(5);

    // Alone and without a terminal: one line on standard error, exit 0
    ProgramRun alone = RunProgram(root);
    EXPECT_EQ(alone.status, 0);
    EXPECT_NE(alone.err.find("needs a terminal"), std::string::npos) << "stderr: " << alone.err;

    // With a first copy running here, the second ends at once and says nothing
    ResetTerminalState();
    Driver driver;
    UiThread ui([] { return WinMain(GetModuleHandleW(NULL), NULL, (LPWSTR)NULL, SW_SHOWNORMAL); });
    HWND settings = driver.wait_dialog(u" COM Port Setting");
    ASSERT_NE(settings, nullptr);
    ui.anchor(GetParent(settings));

    ProgramRun second = RunProgram(root);
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.err, "") << "the second copy must end silently";
    EXPECT_TRUE(driver.answer(settings, IDCANCEL));
    EXPECT_EQ(ui.join(), 0);
    ClosePort();
}

}  // namespace
