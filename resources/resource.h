// Resource identifiers of nomaclip.rc, shared with the C++ sources.
// Plain #defines only: windres and rc.exe read this file as well as the compiler.
#ifndef NOMACLIP_RESOURCE_H
#define NOMACLIP_RESOURCE_H

// Program icon (window, taskbar and notification area).
#define IDI_APP 201

// Settings dialog.
#define IDD_SETTINGS 101
#define IDC_HISTORY_LIMIT_EDIT 1001
#define IDC_MAX_HISTORY_EDIT 1002
#define IDC_AREA_COMBO 1003
#define IDC_HOTKEY_EDIT 1005
#define IDC_DUPLICATE_CHECK 1007
#define IDC_AUTOSTART_CHECK 1008
#define IDC_FONT_BUTTON 1011
#define IDC_MAX_HISTORY_LABEL 2001
#define IDC_HISTORY_LIMIT_LABEL 2002
#define IDC_DUPLICATE_LABEL 2003
#define IDC_AREA_LABEL 1010
#define IDC_HOTKEY_LABEL 1006
#define IDC_FONT_LABEL 105
#define IDC_AUTOSTART_LABEL 2004
#define IDC_IGNORE_PROGRAMS_EDIT 1012
#define IDC_PASTE_KEYS_EDIT 1013
#define IDC_IGNORE_PROGRAMS_LABEL 2007
#define IDC_PASTE_KEYS_LABEL 2008

// Item edit dialog (its caption is replaced when it opens).
#define IDD_ITEM_EDIT 2005
#define IDC_ITEM_TEXT 2006

// Tab settings dialog.
#define IDD_TAB_SETTINGS 40011
#define IDC_TAB_NAME 40012
#define IDC_TAB_KIND_TEMPLATE 40013
#define IDC_TAB_KIND_MEMOLIST 40014
#define IDC_TAB_KIND_MEMOPAD 40015
#define IDC_TAB_NAME_LABEL 10001
#define IDC_TAB_KIND_GROUP 10002

#endif // NOMACLIP_RESOURCE_H
