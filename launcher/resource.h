// Resource ids of the launcher. Icons from 101, dialogs from 102, controls
// from 1001 (the dialogs share the ids of their common controls), strings
// from 2001.
#pragma once

#define IDI_PIKRO 101
#define IDD_SETTINGS 102
#define IDD_CHOOSE 104

#define IDC_GRP_INSTALLED 1001
#define IDC_LST_EDITORS 1002
#define IDC_GRP_HOWTO 1003
#define IDC_CHK_DELVS 1004
#define IDC_RAD_VSMATCH 1005
#define IDC_RAD_VSFIX 1006
#define IDC_CBO_VSFIX 1007
#define IDC_CBO_NOVSFIX 1008
#define IDC_GRP_VS 1009
#define IDC_GRP_NOVS 1011
#define IDC_RAD_NOVSASK 1013
#define IDC_RAD_NOVSFIX 1015
#define IDC_TXT_CHOOSE 1016
#define IDC_RAD_NOVSLINE 1017

// The word that marks a prerelease editor's row, in each language. Both lie
// in a string bundle (16 ids from 2304) that holds nothing else.
#define IDS_PRERELEASE_EN 2304
#define IDS_PRERELEASE_JA 2305
// Lines that tell the user what to do and what is about to open.
#define IDC_TXT_DROPHINT 1040
#define IDC_TXT_SOLUTION 1041
// Strings the shell reads out of the launcher through indirect strings
// ("@<path of Pikro.exe>,-<id>") that setup and the installer write, so that
// every user sees them in their own language.
#define IDS_APP_DESCRIPTION 2001
#define IDS_APP_NAME 2002
#define IDS_SLN_TYPE_NAME 2003
#define IDS_SLNX_TYPE_NAME 2004
#define IDS_VERB_CHOOSE 2005
