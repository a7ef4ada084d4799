// The port settings dialog: baud rate, data bits, parity, stop bits and flow
// control, written into commState on "OK" and remembered for the next opening.
#include "terminal.h"

// One entry of a settings list: the text shown and the value it stands for.
struct Choice {
    LPCWSTR text;
    DWORD value;
};

#define COUNT_OF(a) (sizeof(a) / sizeof((a)[0]))

static const Choice kBaudRates[] = {
    {TEXT("110"), 110},     {TEXT("300"), 300},     {TEXT("600"), 600},
    {TEXT("1200"), 1200},   {TEXT("2400"), 2400},   {TEXT("4800"), 4800},
    {TEXT("9600"), 9600},   {TEXT("14400"), 14400}, {TEXT("19200"), 19200},
    {TEXT("38400"), 38400}, {TEXT("57600"), 57600}, {TEXT("115200"), 115200},
};
static const Choice kDataBits[] = {
    {TEXT("5"), 5}, {TEXT("6"), 6}, {TEXT("7"), 7}, {TEXT("8"), 8},
};
// Listed None, Even, Odd; the codes are none 0, odd 1, even 2.
static const Choice kParities[] = {
    {TEXT("None"), NOPARITY}, {TEXT("Even"), EVENPARITY}, {TEXT("Odd"), ODDPARITY},
};
static const Choice kStopBits[] = {
    {TEXT("1"), ONESTOPBIT}, {TEXT("1.5"), ONE5STOPBITS}, {TEXT("2"), TWOSTOPBITS},
};
#define FLOW_NONE 0
#define FLOW_XONXOFF 1
#define FLOW_HARDWARE 2
static const Choice kFlowControls[] = {
    {TEXT("None"), FLOW_NONE}, {TEXT("Xon/Xoff"), FLOW_XONXOFF}, {TEXT("Hardware"), FLOW_HARDWARE},
};

// The five lists, in the order of savedSelections.
struct SettingsList {
    int controlId;
    const Choice *choices;
    LONG count;
    LONG defaultIndex;
};

static const SettingsList kLists[SELECTION_COUNT] = {
    {IDC_BAUD, kBaudRates, (LONG)COUNT_OF(kBaudRates), 6},        // 9600
    {IDC_DATABITS, kDataBits, (LONG)COUNT_OF(kDataBits), 3},      // 8
    {IDC_PARITY, kParities, (LONG)COUNT_OF(kParities), 0},        // None
    {IDC_STOPBITS, kStopBits, (LONG)COUNT_OF(kStopBits), 0},      // 1
    {IDC_FLOW, kFlowControls, (LONG)COUNT_OF(kFlowControls), 0},  // None
};

// Runs the settings dialog over the main dialog; 1 when it ended with "OK".
// A dialog that could not be created at all (-1) counts as not confirmed, so
// settings the user never saw are not applied.
BOOL ShowSettings(HWND window)
{
    HRSRC found = FindResourceW(g_terminal.instance, MAKEINTRESOURCEW(IDD_SETTINGS), RT_DIALOG);
    if (found == NULL) {
        return FALSE;
    }
    HGLOBAL loaded = LoadResource(g_terminal.instance, found);
    if (loaded == NULL) {
        return FALSE;
    }
    INT_PTR result = DialogBoxIndirectParamW(g_terminal.instance,
                                             (LPCDLGTEMPLATEW)LockResource(loaded), window,
                                             SettingsDialogProc, 0);
    return (result != 0 && result != -1) ? TRUE : FALSE;
}

static void SelectChoices(HWND dialog, const LONG *indices)
{
    for (int i = 0; i < SELECTION_COUNT; i++) {
        SendDlgItemMessageW(dialog, kLists[i].controlId, CB_SETCURSEL, (WPARAM)indices[i], 0);
    }
}

static void SelectDefaults(HWND dialog)
{
    LONG defaults[SELECTION_COUNT];
    for (int i = 0; i < SELECTION_COUNT; i++) {
        defaults[i] = kLists[i].defaultIndex;
    }
    SelectChoices(dialog, defaults);
}

static void InitSettingsDialog(HWND dialog)
{
    // Which port the adapter was given
    WCHAR portText[PORT_LABEL_CHARS];
    wcscpy(portText, TEXT("Port Assignment >> "));
    wcscat(portText, g_terminal.portLabel);
    SetDlgItemTextW(dialog, IDC_PORT, portText);

    // Fill the lists
    for (int i = 0; i < SELECTION_COUNT; i++) {
        for (LONG j = 0; j < kLists[i].count; j++) {
            SendDlgItemMessageW(dialog, kLists[i].controlId, CB_ADDSTRING, 0,
                                (LPARAM)kLists[i].choices[j].text);
        }
    }

    // The defaults the first time, then the last confirmed choice
    if (g_terminal.firstSettings == 1) {
        SelectDefaults(dialog);
        g_terminal.firstSettings = 0;
    } else {
        SelectChoices(dialog, g_terminal.savedSelections);
    }
}

// Writes the chosen flow control into commState field by field; every other
// flag keeps the value read from the port.
static void ApplyFlowControl(LONG index)
{
    DCB *state = &g_terminal.commState;
    switch (index) {
    case FLOW_NONE:
        state->fRtsControl = RTS_CONTROL_DISABLE;
        state->fOutX = 0;
        state->fInX = 0;
        break;
    case FLOW_XONXOFF:
        state->fRtsControl = RTS_CONTROL_DISABLE;
        state->fOutX = 1;
        state->fInX = 1;
        state->XonChar = 0x11;
        state->XoffChar = 0x13;
        state->XonLim = 4;
        state->XoffLim = 12;
        state->fTXContinueOnXoff = 0;
        break;
    case FLOW_HARDWARE:
        state->fRtsControl = RTS_CONTROL_HANDSHAKE;
        state->fOutX = 0;
        state->fInX = 0;
        break;
    default:
        break;
    }
}

// Reads the five lists into savedSelections and commState.
static void StoreChoices(HWND dialog)
{
    DCB *state = &g_terminal.commState;
    state->EofChar = 0;
    for (int i = 0; i < SELECTION_COUNT; i++) {
        LONG index = (LONG)SendDlgItemMessageW(dialog, kLists[i].controlId, CB_GETCURSEL, 0, 0);
        g_terminal.savedSelections[i] = index;
        if (i == SEL_FLOW) {
            ApplyFlowControl(index);
            continue;
        }
        // A typed text that is in no list (-1) leaves that field as it was
        if (index < 0 || index >= kLists[i].count) {
            continue;
        }
        DWORD value = kLists[i].choices[index].value;
        switch (i) {
        case SEL_BAUD:
            state->BaudRate = value;
            break;
        case SEL_DATABITS:
            state->ByteSize = (BYTE)value;
            break;
        case SEL_PARITY:
            state->Parity = (BYTE)value;
            break;
        case SEL_STOPBITS:
            state->StopBits = (BYTE)value;
            break;
        }
    }
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitSettingsDialog(dialog);
        return 0;
    case WM_COMMAND:
        // The whole wParam: only commands with notification code 0 are acted on
        switch (wParam) {
        case IDOK:
            StoreChoices(dialog);
            EndDialog(dialog, 1);
            return 1;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return 1;
        case IDC_DEFAULT:
            SelectDefaults(dialog);
            return 1;
        }
        break;
    }
    return DefWindowProcW(dialog, message, wParam, lParam);
}
