#pragma once
#define IDS_SVR_NAME 100
#define IDS_SVR_PROMPT_NAME 101
#define IDI_SVR_PROMPT 202
