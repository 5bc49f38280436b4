/* Resource identifiers of wkptxwpk.dll, shared by its .rc file and its code (plain defines for windres). */
#pragma once

/* The settings page. */
#define IDD_SETUP 103

/* Banner bitmaps by screen DPI: below 120, 120 to 143, 144 and more. */
#define IDB_BANNER_96 104
#define IDB_BANNER_120 146
#define IDB_BANNER_144 147

/* Settings-page controls (the kit's offer page). */
#define IDC_BANNER 1001
#define IDC_NOTIFY 1006
#define IDC_SHOW_NOW 1007
