/* Resource identifiers of wkptbat.dll, shared by its .rc file and its code (plain defines for windres). */
#pragma once

#define IDD_SETUP 102
#define IDD_SECOND_BATTERY 106

/* Banner bitmaps by screen DPI: below 120, 120 to 143, 144 and more. */
#define IDB_BANNER_96 121
#define IDB_BANNER_120 146
#define IDB_BANNER_144 147

#define IDC_BANNER 1001
#define IDC_ENABLE 1002
#define IDC_AUTO_RECAL 1011
#define IDC_AUTO_HALFCAPA 1012
#define IDC_LIST_RECAL 1013
#define IDC_LIST_HALFCAPA 1014
#define IDC_AUTO_NOCAPA 1015
#define IDC_LIST_NOCAPA 1016
#define IDC_NOTIFY_RECAL 1017
#define IDC_NOTIFY_HALFCAPA 1018
#define IDC_NOTIFY_NOCAPA 1019
#define IDC_SECOND 1020
