/* Resource identifiers of wkptxwpk.dll, shared by its .rc file and its code (plain defines for windres). */
#pragma once

/* The settings page. */
#define IDD_SETUP 103

/* The settings page's banners and controls are the kit's. */
#include "modules/kit/module/kit_offer_ids.h"
