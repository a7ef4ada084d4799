// Identifiers of the sample dialog, shared by its resource script and code.
#pragma once

#define IDD_SAMPLE 100
#define IDC_NAME 1001
#define IDC_NOTES 1002
#define IDC_SPEED 1003
#define IDC_WIDE 1004
#define IDC_SHOW 1005

// The resource compiler reads the script without the platform's headers.
#ifndef WS_POPUP
#define WS_POPUP 0x80000000L
#define WS_CAPTION 0x00C00000L
#define WS_VSCROLL 0x00200000L
#define WS_SYSMENU 0x00080000L
#define WS_TABSTOP 0x00010000L
#define DS_MODALFRAME 0x0080L
#define DS_CENTER 0x0800L
#define ES_MULTILINE 0x0004L
#define ES_AUTOVSCROLL 0x0040L
#define ES_AUTOHSCROLL 0x0080L
#define CBS_DROPDOWN 0x0002L
#define IDOK 1
#define IDCANCEL 2
#endif
