// Window and control style values for the resource script, which the
// resource compiler reads without the program's headers.
#pragma once

#ifndef WS_POPUP
#define WS_POPUP 0x80000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_VSCROLL 0x00200000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_CLIENTEDGE 0x00000200L
#define DS_MODALFRAME 0x0080L
#define DS_CENTER 0x0800L
#define ES_CENTER 0x0001L
#define ES_MULTILINE 0x0004L
#define ES_AUTOVSCROLL 0x0040L
#define ES_AUTOHSCROLL 0x0080L
#define ES_READONLY 0x0800L
#define CBS_DROPDOWN 0x0002L
#define IDOK 1
#define IDCANCEL 2
#define VS_VERSION_INFO 1
#endif
