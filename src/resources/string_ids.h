// Identifiers of the starter's string table, shared by the resource scripts and the code.
#pragma once

#define IDS_SEARCH_PATH_TEMPLATE 1
#define IDS_MISSING_COMPONENTS 9
#define IDS_CORRUPT_MAIN_MODULE 10
#define IDS_ERROR_PREFIX 11
#define IDS_REINSTALL_LINE 12
#define IDS_UNSUPPORTED_DISPLAY 14
#define IDS_NO_PLATFORM 15
#define IDS_UPGRADE_INSTRUCTION 16
#define IDS_UPGRADE_CONTENT 17
#define IDS_UPGRADE_KEEP_CHOICE 18
#define IDS_UPGRADE_RESET_TEMPLATE 19
