/* Resource identifiers of wkptreg.dll, shared by its .rc file and its code (plain defines for windres). */
#pragma once

/* Settings-page templates, one per offer. */
#define IDD_SETUP_OWNER 103
#define IDD_SETUP_WARRANTY3 104
#define IDD_SETUP_SPECIAL3 105
#define IDD_SETUP_WARRANTY4 106

/* Banner bitmaps by screen DPI: below 120, 120 to 143, 144 and more. */
#define IDB_BANNER_96 104
#define IDB_BANNER_120 146
#define IDB_BANNER_144 147

/* Settings-page controls. */
#define IDC_BANNER 1001
#define IDC_NOTIFY 1006
#define IDC_SHOW_NOW 1007

/* Mini-popup lines and the page title. */
#define IDS_URGENT_OWNER 106
#define IDS_NOTIFY_OWNER 107
#define IDS_URGENT_WARRANTY3 108
#define IDS_NOTIFY_WARRANTY3 109
#define IDS_URGENT_SPECIAL3 113
#define IDS_NOTIFY_SPECIAL3 114
#define IDS_URGENT_WARRANTY4 116
#define IDS_NOTIFY_WARRANTY4 117
#define IDS_PAGE_TITLE 119
