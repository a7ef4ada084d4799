// Declarations of the handheld SDK that the desktop SDK lacks, so that the
// programs also compile against MinGW-w64 headers. On this host they are
// provided by platform/window (menubar.cpp).
#pragma once

#ifndef SHCMBF_EMPTYBAR
// The shell's menu bar (Pocket PC). With SHCMBF_EMPTYBAR it shows no commands.
#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010

typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

// Gives hwndParent the shell's menu bar and stores its window in hwndMB.
// Only the empty bar is supported: a toolbar resource is refused.
BOOL SHCreateMenuBar(SHMENUBARINFO *info);
#endif
