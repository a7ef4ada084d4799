// Resource numbers of the setup launchers (both programs use the same ones).
#pragma once

#define IDI_SETUP 101

#define IDS_TITLE 103          // title of the hidden window
#define IDS_CLASS 109          // class name of the hidden window
#define IDS_COMMAND_LINE 110   // application manager's command line
#define IDS_SOURCE_INI 111     // source path of Setup.ini
#define IDS_SOURCE_CAB 112     // source path of TRVPA01.CAB
#define IDS_STAGED_INI 113     // staged path of Setup.ini
#define IDS_STAGED_CAB 114     // staged path of TRVPA01.CAB
#define IDS_FAIL_INI 115       // Setup.ini could not be staged
#define IDS_FAIL_CAB 116       // TRVPA01.CAB could not be staged
#define IDS_FOLDER_NAME 117    // staging folder (setup_folder only)
