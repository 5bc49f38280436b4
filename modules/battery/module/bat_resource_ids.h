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

/* String table: the condition texts by field (recal, halfcapa, nocapa). */
#define IDS_TITLE_RECAL 101
#define IDS_BODY_RECAL 102
#define IDS_TITLE_HALFCAPA 103
#define IDS_BODY_HALFCAPA 104
#define IDS_TITLE_NOCAPA 105
#define IDS_BODY_NOCAPA 106
#define IDS_MINIPOP 109
#define IDS_TITLE_MAIN 112

/* String table: the other texts. */
#define IDS_NO_MANUAL 107
#define IDS_DURATION 108
#define IDS_SEVERAL 110
#define IDS_APP_TITLE 119
#define IDS_INITIAL_MESSAGE 121
#define IDS_AGAIN 129
#define IDS_NO_MORE 130
#define IDS_EVERY_DAY 131
#define IDS_EVERY_7_DAYS 132
#define IDS_EVERY_30_DAYS 133
#define IDS_INFORM 134
#define IDS_SECOND_BUTTON 140
#define IDS_NO_UTILITY 152
#define IDS_SECOND_TITLE_EXTENDED 153
#define IDS_SECOND_TITLE_BATTERY2 154
#define IDS_DEBUG_RECAL 155
#define IDS_DEBUG_HALFCAPA 156
#define IDS_DEBUG_NOCAPA 157

/* String table: battery names, plain, possessive and pack. */
#define IDS_NAME_BATTERY 135
#define IDS_NAME_INTERNAL 136
#define IDS_NAME_EXTENDED 137
#define IDS_NAME_BATTERY1 138
#define IDS_NAME_BATTERY2 139
#define IDS_OF_BATTERY 141
#define IDS_OF_INTERNAL 142
#define IDS_OF_EXTENDED 143
#define IDS_OF_BATTERY1 144
#define IDS_OF_BATTERY2 145
#define IDS_PACK_BATTERY 146
#define IDS_PACK_INTERNAL 147
#define IDS_PACK_EXTENDED 148
#define IDS_PACK_BATTERY1 149
#define IDS_PACK_BATTERY2 150
