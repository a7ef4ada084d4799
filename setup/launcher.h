// The setup launcher: stages Setup.ini and TRVPA01.CAB from the setup medium
// and hands Setup.ini to the synchronisation software's application manager.
// One launcher, two staging policies (temp_policy.cpp for setup,
// folder_policy.cpp for setup_folder).
#pragma once

#include "platform.h"

// Size of every path and command-line buffer, terminating zero included.
#define SETUP_PATH_SIZE 260
// Size of a message text, the window title and the class name.
#define SETUP_TEXT_SIZE 100

// Everything StageAndInstall works with; one instance, local to it.
typedef struct SetupState {
    char installDir[SETUP_PATH_SIZE];   // InstalledDir as read
    char sourceDir[SETUP_PATH_SIZE];    // where Setup.ini and TRVPA01.CAB are read
    char stagingDir[SETUP_PATH_SIZE];   // where they are staged
    char sourcePath[SETUP_PATH_SIZE];   // Setup.ini's, later TRVPA01.CAB's source
    char stagedIni[SETUP_PATH_SIZE];
    char stagedCab[SETUP_PATH_SIZE];
    char commandLine[SETUP_PATH_SIZE];
    char programPath[SETUP_PATH_SIZE];  // the application manager, named explicitly
    char format[SETUP_PATH_SIZE];       // format string last loaded
    char folderName[SETUP_PATH_SIZE];   // setup_folder: string 117
} SetupState;

// ---- launcher.cpp -----------------------------------------------------------
extern HINSTANCE g_instance;  // the program's instance, set once at start
int StageAndInstall(HINSTANCE instance);

// ---- buffers.cpp: text in fixed buffers, never cut, never overrun -------------
// Appends '\' when the last byte is not one. FALSE, the path unchanged, when
// it is empty or the backslash does not fit.
BOOL EnsureTrailingBackslash(char *path, int size);
// Appends text; FALSE, the buffer unchanged, when the result would not fit.
BOOL AppendText(char *buffer, int size, const char *text);
// Formats a template holding one or two "%s" with the given texts; FALSE,
// the output empty, when an argument is empty or the result does not fit.
BOOL FormatInto(char *out, int size, const char *format, const char *first, const char *second);

// ---- staging.cpp ---------------------------------------------------------------
// Shows a text in the launcher's stop message box.
void ShowMessage(HWND owner, const char *text);
// Shows string `messageId` in the launcher's stop message box.
void ShowStringMessage(HWND owner, UINT messageId);
// Clears the read-only attribute of a file, keeping the others; a file whose
// attributes cannot be read is left alone.
void ClearReadOnly(const char *path);
// Copies over the target, clearing its read-only attribute for one retry;
// on failure shows string messageId and returns FALSE. A staged copy is
// never left read-only.
BOOL CopyWithRetry(HWND owner, const char *source, const char *target, UINT messageId);
// Formats string `formatId` with one or two folders into a path buffer.
BOOL FormatString(HINSTANCE instance, SetupState *state, UINT formatId, char *out, const char *first,
                  const char *second);

// ---- staging policy: temp_policy.cpp or folder_policy.cpp ----------------------
// Fills the source and staging folders; FALSE when the program is to end
// (after telling the user).
BOOL PrepareFolders(HINSTANCE instance, HWND window, SetupState *state);
// What happens to the staged files once the application manager has ended.
void AfterInstall(SetupState *state);
// Reads a folder query's answer into a path buffer with a trailing
// backslash; leaves it empty when the answer is missing or does not fit.
void KeepFolder(char *folder, DWORD length);
