// Resource ids of wkptrss.dll, shared by its resource script and its code.
#pragma once

#define IDS_MENU_HISTORY 101
#define IDS_MENU_UPDATE 102
#define IDS_APP_TITLE 103
#define IDS_PAGE_LINE 107
#define IDS_INITIAL_MESSAGE 108
#define IDS_NOT_CONNECTED 113
#define IDS_NO_HISTORY 115

#define IDD_SETUP 102
#define IDB_BANNER_96 104
#define IDB_BANNER_120 146
#define IDB_BANNER_144 147

#define IDC_BANNER 1001
#define IDC_ENABLE 1002
#define IDC_DAILY 1003
#define IDC_HOUR_LABEL 1004
#define IDC_MINUTE_LABEL 1005
#define IDC_CATEGORIES 1006
#define IDC_HOUR 1013
#define IDC_MINUTE 1014
#define IDC_IMPORTANT 1015
#define IDC_SUPPORT 1016
#define IDC_TOPICS 1017
#define IDC_FIXED_TIME 1018
#define IDC_ON_CONNECTION 1019
#define IDC_NO_CHECK 1020
