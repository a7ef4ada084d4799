// Program start: one copy at a time, then the main dialog for the life of the
// program.
#include "terminal.h"

#include <string.h>

// The handheld's WinMain takes the command line as wide text; a desktop
// Windows SDK calls that entry wWinMain.
#if defined(_WIN32) && !defined(_WIN32_WCE)
#define WinMain wWinMain
#endif

// Runs the terminal: the main dialog until the program ends. Returns 0.
int RunTerminal(HINSTANCE instance)
{
    g_terminal.port = NULL;
    g_terminal.sendRequest.store(0, std::memory_order_release);
    g_terminal.firstSettings = 1;
    memset(g_terminal.rxDisplay, 0, sizeof(g_terminal.rxDisplay));

    // The main dialog runs until the program ends. Run without a terminal,
    // the platform cannot show it: it says so on standard error and the
    // call returns -1 at once, so the program ends instead of waiting.
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(instance, found) : NULL;
    if (loaded != NULL) {
        DialogBoxIndirectParamW(instance, (LPCDLGTEMPLATEW)LockResource(loaded), NULL,
                                MainDialogProc, 0);
    }

    // No thread may still use the port as the process ends ("CANCEL" leaves
    // the port itself to the platform to close)
    StopWorker();
    FinishStoppedWorker();
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand)
{
    (void)previous;
    (void)commandLine;
    (void)showCommand;

    g_terminal.instance = instance;

    // A second copy ends at once, silently. The mutex stays held until the
    // process ends; failing to create it only loses the guard.
    CreateMutexW(NULL, TRUE, TEXT("TRV-PA0x SAMPLE"));
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        return 0;
    }
    return RunTerminal(instance);
}
