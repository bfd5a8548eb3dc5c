// Resource and control identifiers shared by the resource script and the code.
// Plain #defines only: windres reads this file too.
#pragma once

#define IDD_SETUP 129
#define IDI_APP 130

#define IDC_PLUGIN_DIR 1000
#define IDC_SUB_DIR 1001
#define IDC_SRC_FILE 1002
#define IDC_INSTALL 1003
#define IDC_DESCRIPTION 1004
#define IDC_LAUNCH 1005
#define IDC_FILE_VERSION 1006
#define IDC_PLUGIN_LIST 1007
#define IDC_CREDIT 1008
#define IDC_BROWSE 1009
