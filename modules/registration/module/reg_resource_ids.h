/* Resource identifiers of wkptreg.dll, shared by its .rc file and its code (plain defines for windres). */
#pragma once

/* Settings-page templates, one per offer. */
#define IDD_SETUP_OWNER 103
#define IDD_SETUP_WARRANTY3 104
#define IDD_SETUP_SPECIAL3 105
#define IDD_SETUP_WARRANTY4 106

/* The settings page's banners and controls are the kit's. */
#include "modules/kit/module/kit_offer_ids.h"

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
