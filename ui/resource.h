// Resource and control ids of the settings window (dialog 103).
#pragma once

#define IDD_SETTINGS 103
// Looked up at start; the program ships no such table, so the loop translates nothing.
#define IDA_SETTINGS 101

// IDOK (1) and IDCANCEL (2) are the dialog manager's own.
#define IDC_COMP_DESKTOP 1000
#define IDC_COMP_SAMEPLACE 1001
#define IDC_COMP_ASK 1002
#define IDC_COMP_OTHER 1003
#define IDC_COMP_PATH 1004
#define IDC_MELT_DESKTOP 1005
#define IDC_MELT_SAMEPLACE 1006
#define IDC_MELT_ASK 1007
#define IDC_MELT_OTHER 1008
#define IDC_MELT_PATH 1009
#define IDC_MELT_FOR_ALL_ARC 1010
#define IDC_MELT_MAKE_DIR 1011
#define IDC_MELT_OVERWRITE 1012
#define IDC_MELT_OPEN_DIR 1013
#define IDC_ASSO_LZH 1014
#define IDC_COMP_WARN 1015
#define IDC_FORMAT_LZH 1016
#define IDC_LZH_LH0 1017
#define IDC_LZH_LH5 1018
#define IDC_LZH_LH7 1019
#define IDC_COMP_OVERWRITE 1020
#define IDC_COMP_OPEN_DIR 1021
#define IDC_FORMAT_ZIP 1022
#define IDC_ZIP_CRYPT 1023
#define IDC_ZIP_PASSWORD 1024  // hidden, unused
#define IDC_COMP_WARN_SIZE 1025
#define IDC_COMP_WARN_SPIN 1026
#define IDC_FORMAT_CAB 1027
#define IDC_CAB_LZX21 1028
#define IDC_CAB_MSZIP 1029
#define IDC_FORMAT_TGZ 1030
#define IDC_MAKE_SFX 1031
#define IDC_FORMAT_BZ2 1032
#define IDC_ASSO_ZIP 1033
#define IDC_ASSO_CAB 1034
#define IDC_ASSO_TAR 1035
#define IDC_ASSO_BZ2 1036
#define IDC_ASSO_RAR 1037
#define IDC_ASSO_ARJ 1038
#define IDC_ASSO_GZIP 1039
#define IDC_ASSO_Z 1040
#define IDC_NO_ICON 1041
#define IDC_SEND_TO 1042
#define IDC_CONTEXT_MENU 1043  // hidden, unused
#define IDC_HELP_BUTTON 1046
#define IDC_NEWS 1047
#define IDC_MAIL 1048
