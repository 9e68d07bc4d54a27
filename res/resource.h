#pragma once
// Resource and control ids, shared by the resource script and the code.

#define IDD_SETUP_DIALOG 102
#define IDD_EXTRACT_DIALOG 130
#define IDD_REMOVE_DIALOG 131
#define IDD_UNPACK_DIALOG 132
#define IDR_MAINFRAME 128
#define IDS_BROWSE_TITLE 1
#define IDC_STATIC -1

#define IDC_PICTURE 1000
#define IDC_LOCATION 1001
#define IDC_BROWSE 1002
#define IDC_DEST_FILE 1003
#define IDC_PROGRESS 1004
