/* Resource identifiers of wkpthdmi.dll, shared by its .rc file and its code (plain defines for windres). */
#pragma once

#define IDD_SETUP 102
#define IDD_CONFIRM 118
#define IDD_PANEL 129

#define IDB_BANNER_96 104
#define IDB_BANNER_120 146
#define IDB_BANNER_144 147

#define IDS_ACTION_LINE 106
#define IDS_PAGE_LINE 107
#define IDS_MENU_ITEM 117
#define IDS_APP_TITLE 119
#define IDS_COUNTDOWN 120
#define IDS_NO_PANEL 121
#define IDS_L1011_TV 122
#define IDS_L1012_TV 123
#define IDS_L1013_TV 124
#define IDS_L1014 125
#define IDS_L1014_EXTENDED 126
#define IDS_L1011_MAKER 127
#define IDS_L1012_MAKER 128
#define IDS_L1012_OLD 129
#define IDS_L1013_MAKER 130
#define IDS_1360_OLD 131

#define IDC_1920 1000
#define IDC_1360 1001
#define IDC_1280 1002
#define IDC_BANNER 1005
#define IDC_NOTIFY 1006
#define IDC_SHOW_PANEL 1007
#define IDC_SHOW_PAGE 1008
#define IDC_DISPLAY_SETTINGS 1008
#define IDC_SCALING 1009
#define IDC_SOUND_SETTINGS 1010
#define IDC_LABEL_1920 1011
#define IDC_LABEL_1360 1012
#define IDC_LABEL_1280 1013
#define IDC_LABEL_SCALING 1014
#define IDC_COUNTDOWN 1015
