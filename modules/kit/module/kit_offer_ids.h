/* The offer modules' settings page (kit_offer.h): its controls and banner bitmaps, shared by
   their .rc files and code (plain defines for windres). */
#pragma once

/* Banner bitmaps by screen DPI: below 120, 120 to 143, 144 and more. */
#define IDB_BANNER_96 104
#define IDB_BANNER_120 146
#define IDB_BANNER_144 147

/* Controls: banner, "Notify" box, show-now button. */
#define IDC_BANNER 1001
#define IDC_NOTIFY 1006
#define IDC_SHOW_NOW 1007
