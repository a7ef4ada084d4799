// setup_folder: stages in the folder "Kestrow" inside the synchronisation
// software's install folder, made when absent; the staged files stay.
#include "launcher.h"
#include "resource.h"

static const char kCannotCreate[] = "Can not create folder.";

BOOL PrepareFolders(HINSTANCE instance, HWND window, SetupState *state) {
    // The staging folder: install folder, '\', string 117, and room for the
    // '\' that follows it.
    lstrcpyA(state->stagingDir, state->installDir);
    LoadStringA(instance, IDS_FOLDER_NAME, state->folderName, SETUP_PATH_SIZE);
    if (state->folderName[0] == '\0' || !EnsureTrailingBackslash(state->stagingDir, SETUP_PATH_SIZE) ||
        !AppendText(state->stagingDir, SETUP_PATH_SIZE - 1, state->folderName)) {
        ShowMessage(window, kCannotCreate);
        return FALSE;
    }

    // Made one level deep when nothing of that name exists; a file of that
    // name counts as existing.
    if (GetFileAttributesA(state->stagingDir) == INVALID_FILE_ATTRIBUTES &&
        !CreateDirectoryA(state->stagingDir, NULL)) {
        ShowMessage(window, kCannotCreate);
        return FALSE;
    }
    EnsureTrailingBackslash(state->stagingDir, SETUP_PATH_SIZE);

    KeepFolder(state->sourceDir, GetCurrentDirectoryA(SETUP_PATH_SIZE, state->sourceDir));
    return TRUE;
}

void AfterInstall(SetupState *state) {
    (void)state;  // the staged files stay for the user
}
