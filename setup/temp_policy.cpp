// setup: stages in the temporary directory and removes the staged files
// once the application manager has ended.
#include "launcher.h"

BOOL PrepareFolders(HINSTANCE instance, HWND window, SetupState *state) {
    (void)instance;
    (void)window;
    // A folder that cannot be read, or does not fit, stays empty: its file
    // then cannot be staged, and the message of that file follows.
    KeepFolder(state->sourceDir, GetCurrentDirectoryA(SETUP_PATH_SIZE, state->sourceDir));
    KeepFolder(state->stagingDir, GetTempPathA(SETUP_PATH_SIZE, state->stagingDir));
    return TRUE;
}

void AfterInstall(SetupState *state) {
    DeleteFileA(state->stagedIni);
    DeleteFileA(state->stagedCab);
}
