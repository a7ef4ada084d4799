// Identifiers of the terminal's dialog templates, controls and commands.
// Shared by the resource script and the program's sources.
#pragma once

#define IDD_MAIN 101
#define IDD_SETTINGS 103

// Main dialog
#define IDC_SEND 1001
#define IDC_SETTING 1002
#define IDC_SEND_TEXT 1003
#define IDC_CLEAR 1004
#define IDC_RECV_TEXT 1015

// Settings dialog
#define IDC_DEFAULT 1006
#define IDC_BAUD 1007
#define IDC_DATABITS 1008
#define IDC_PARITY 1009
#define IDC_STOPBITS 1010
#define IDC_FLOW 1011
#define IDC_PORT 1018

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Posted by the main dialog to itself to open the settings dialog.
#define CMD_OPEN_SETTINGS 103
