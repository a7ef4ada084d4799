// Program start, the hidden window, and the whole job of staging the two
// files and running the application manager.
#include "launcher.h"
#include "resource.h"

HINSTANCE g_instance;
static char g_title[SETUP_TEXT_SIZE];
static char g_className[SETUP_TEXT_SIZE];

static const char kServicesKey[] = "SOFTWARE\\Microsoft\\Windows CE Services";
static const char kAppManager[] = "CEAppMgr.exe";

static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

// Reads InstalledDir; FALSE when it is absent, empty, not a string or too
// long for its buffer.
static BOOL ReadInstalledDir(SetupState *state) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return FALSE;
    DWORD type = REG_NONE;
    DWORD size = SETUP_PATH_SIZE - 1;
    LONG result = RegQueryValueExA(key, "InstalledDir", NULL, &type, (LPBYTE)state->installDir, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size >= SETUP_PATH_SIZE) {
        state->installDir[0] = '\0';
        return FALSE;
    }
    state->installDir[size] = '\0';  // a stored string need not end with a zero
    return state->installDir[0] != '\0';
}

// Starts the application manager and waits until it has ended. Its path is
// given explicitly, so an unquoted path with spaces cannot start another
// program (such as C:\Program.exe); the command line stays as string 110
// makes it.
static void RunApplicationManager(SetupState *state) {
    lstrcpyA(state->programPath, state->installDir);
    if (!EnsureTrailingBackslash(state->programPath, SETUP_PATH_SIZE) ||
        !AppendText(state->programPath, SETUP_PATH_SIZE, kAppManager))
        return;

    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    memset(&startup, 0, sizeof startup);
    memset(&process, 0, sizeof process);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    if (!CreateProcessA(state->programPath, state->commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &process))
        return;  // not reported
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
}

int StageAndInstall(HINSTANCE instance) {
    SetupState state;
    memset(&state, 0, sizeof state);

    // The hidden window: never shown, it only carries the message loop's end.
    HWND hwnd = CreateWindowExA(0, g_className, g_title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, NULL);
    if (!hwnd) return 0;

    // Without the synchronisation software (or a usable InstalledDir) there
    // is nothing to do and nothing to say.
    if (ReadInstalledDir(&state)) {
        // Source and staging folders, as the policy places them.
        if (!PrepareFolders(instance, hwnd, &state)) return 0;

        // Setup.ini, then TRVPA01.CAB.
        if (!FormatString(instance, &state, IDS_SOURCE_INI, state.sourcePath, state.sourceDir, NULL) ||
            !FormatString(instance, &state, IDS_STAGED_INI, state.stagedIni, state.stagingDir, NULL)) {
            ShowStringMessage(hwnd, IDS_FAIL_INI);
            return 0;
        }
        if (!CopyWithRetry(hwnd, state.sourcePath, state.stagedIni, IDS_FAIL_INI)) return 0;
        if (!FormatString(instance, &state, IDS_SOURCE_CAB, state.sourcePath, state.sourceDir, NULL) ||
            !FormatString(instance, &state, IDS_STAGED_CAB, state.stagedCab, state.stagingDir, NULL)) {
            ShowStringMessage(hwnd, IDS_FAIL_CAB);
            return 0;
        }
        if (!CopyWithRetry(hwnd, state.sourcePath, state.stagedCab, IDS_FAIL_CAB)) return 0;

        // The application manager, with the staged Setup.ini; a command line
        // that does not fit is an application manager that cannot start.
        if (FormatString(instance, &state, IDS_COMMAND_LINE, state.commandLine, state.installDir,
                         state.stagingDir))
            RunApplicationManager(&state);

        AfterInstall(&state);
    }

    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return 1;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nCmdShow;
    g_instance = hInstance;
    LoadStringA(hInstance, IDS_TITLE, g_title, SETUP_TEXT_SIZE);
    LoadStringA(hInstance, IDS_CLASS, g_className, SETUP_TEXT_SIZE);

    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_SETUP));
    wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(INT_PTR)(COLOR_WINDOW + 1);
    wc.lpszClassName = g_className;
    RegisterClassA(&wc);  // the result is not examined

    if (!StageAndInstall(hInstance)) return 0;

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
