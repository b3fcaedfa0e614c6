// Resource and control ids shared by the resource scripts and the code.
#pragma once

#define IDD_PROGRESS_PAGE 101
#define IDD_FINISH_PAGE 102
#define IDB_SIDE_PICTURE 102
#define IDI_PROGRAM 103
#define IDI_STEP_MARK 104

#define IDC_INTRO_TEXT 2
// The step marks, each named after the step whose end it shows.
#define IDC_MARK_USER_MODULES 3    // "Removing user modules"
#define IDC_MARK_SHARED_MODULES 4  // "Removing shared modules"
#define IDC_MARK_RESTORE 5         // "Restoring previous configurations"
#define IDC_PROGRESS_BAR 1000

#define IDS_INTRO 1
#define IDS_SYSTEM_AGENT_KEY 2
#define IDS_WIZARD_CAPTION 6
#define IDS_RESTART 7
#define IDS_EXIT 8
#define IDS_CONFIRM_CAPTION 9
#define IDS_CONFIRM_TEXT 10
#define IDS_MANIFEST_NAME 11
#define IDS_MAIL_WARNING 12
#define IDS_MAIL_WARNING_CAPTION 13
